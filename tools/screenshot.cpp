// Starts the main window as a user sees it, with a settings file of its own, and saves a
// picture of it. Run under a display (for example Xvfb): screenshot <output.png> [settings]
#include "app/mainwindow.h"
#include "app/qtdialogs.h"
#include "app/settings.h"
#include "app/userenvironment.h"

#include <QApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    if (argc < 2) {
        qWarning("usage: screenshot <output.png> [settings-file]");
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir scratch;
    SettingsStore settings(argc > 2 ? QString::fromLocal8Bit(argv[2])
                                    : scratch.filePath(QStringLiteral("Quillmere.conf")));
    QtDialogs dialogs;
    MainWindowEnvironment environment = UserEnvironment(dialogs, settings);
    // A fixed draw: the picture is never taken with the web site opening.
    environment.randomFraction = [] { return 0.5; };
    MainWindow form(environment);
    dialogs.setOwner(&form);
    form.startUp();
    form.show();

    int status = 1;
    QTimer::singleShot(1500, &form, [&] {
        const QPixmap picture =
            form.screen()->grabWindow(0, form.x(), form.y(), form.width(), form.height());
        status = picture.save(output) ? 0 : 1;
        QApplication::quit();
    });
    QApplication::exec();
    return status;
}
