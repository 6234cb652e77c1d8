#include "app/form1.h"
#include "app/qtdialogs.h"
#include "app/settings.h"

#include <QApplication>
#include <QRandomGenerator>
#include <QStandardPaths>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tunepress Studio"));

    QtDialogs dialogs;
    SettingsStore settings;
    Form1Environment environment;
    environment.dialogs = &dialogs;
    environment.settings = &settings;
    environment.randomFraction = [] { return QRandomGenerator::system()->generateDouble(); };
    environment.programFolder = QCoreApplication::applicationDirPath();
    environment.desktopFolder = [] {
        return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    };

    Form1 form(environment);
    dialogs.setOwner(&form);
    form.Form_Load();
    form.show();
    return QApplication::exec();
}
