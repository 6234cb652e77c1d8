#include "app/mainwindow.h"
#include "app/qtdialogs.h"
#include "app/settings.h"
#include "app/userenvironment.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tunepress Studio"));

    QtDialogs dialogs;
    SettingsStore settings;
    MainWindow form(UserEnvironment(dialogs, settings));
    dialogs.setOwner(&form);
    form.startUp();
    form.show();
    return QApplication::exec();
}
