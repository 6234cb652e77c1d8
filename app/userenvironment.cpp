#include "app/userenvironment.h"

#include "convert/paths.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QStandardPaths>

QString DesktopFolder()
{
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (Paths::FolderExists(desktop))
        return desktop;
    const QString home = QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
    return Paths::FolderExists(home) ? home : QString();
}

MainWindowEnvironment UserEnvironment(tp::Dialogs& dialogs, SettingsStore& settings)
{
    MainWindowEnvironment environment;
    environment.dialogs = &dialogs;
    environment.settings = &settings;
    environment.randomFraction = [] { return QRandomGenerator::system()->generateDouble(); };
    environment.programFolder = QCoreApplication::applicationDirPath();
    environment.desktopFolder = DesktopFolder;
    return environment;
}
