#include "app/form1.h"
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
    Form1 form(UserEnvironment(dialogs, settings));
    dialogs.setOwner(&form);
    form.Form_Load();
    form.show();
    return QApplication::exec();
}
