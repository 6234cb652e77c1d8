#include "testwindow.h"

#include <QDir>

TestWindow::TestWindow()
{
    settings = std::make_unique<SettingsStore>(settingsFile());
    desktop = folder.path() + QStringLiteral("/Desktop");
    QDir().mkpath(desktop);
}

QString TestWindow::ProgramFolder()
{
    const QString installed = qEnvironmentVariable("TUNEPRESS_TEST_PROGRAM_DIR");
    return installed.isEmpty() ? QCoreApplication::applicationDirPath() : installed;
}

QString TestWindow::settingsFile() const
{
    return folder.path() + QStringLiteral("/Quillmere.conf");
}

MainWindow& TestWindow::create(const QString& programFolder)
{
    MainWindowEnvironment environment;
    environment.dialogs = &dialogs;
    environment.settings = settings.get();
    environment.randomFraction = [this] { return randomFraction; };
    environment.programFolder = programFolder;
    environment.desktopFolder = [this] { return desktop; };
    form = std::make_unique<MainWindow>(environment);
    return *form;
}

MainWindow& TestWindow::load(const QString& programFolder)
{
    create(programFolder);
    form->startUp();
    return *form;
}
