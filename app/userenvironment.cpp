#include "app/userenvironment.h"

#include "convert/main_paths.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QStandardPaths>

QString DesktopFolder()
{
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (Main::FolderExists(desktop))
        return desktop;
    const QString home = QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
    return Main::FolderExists(home) ? home : QString();
}

Form1Environment UserEnvironment(tp::Dialogs& dialogs, SettingsStore& settings)
{
    Form1Environment environment;
    environment.dialogs = &dialogs;
    environment.settings = &settings;
    environment.randomFraction = [] { return QRandomGenerator::system()->generateDouble(); };
    environment.programFolder = QCoreApplication::applicationDirPath();
    environment.desktopFolder = DesktopFolder;
    return environment;
}
