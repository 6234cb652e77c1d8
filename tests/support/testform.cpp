#include "testform.h"

#include <QDir>

TestForm::TestForm()
{
    settings = std::make_unique<SettingsStore>(settingsFile());
    desktop = folder.path() + QStringLiteral("/Desktop");
    QDir().mkpath(desktop);
}

QString TestForm::ProgramFolder()
{
    const QString installed = qEnvironmentVariable("TUNEPRESS_TEST_PROGRAM_DIR");
    return installed.isEmpty() ? QCoreApplication::applicationDirPath() : installed;
}

QString TestForm::settingsFile() const
{
    return folder.path() + QStringLiteral("/Quillmere.conf");
}

Form1& TestForm::create(const QString& programFolder)
{
    Form1Environment environment;
    environment.dialogs = &dialogs;
    environment.settings = settings.get();
    environment.randomFraction = [this] { return randomFraction; };
    environment.programFolder = programFolder;
    environment.desktopFolder = [this] { return desktop; };
    form = std::make_unique<Form1>(environment);
    return *form;
}

Form1& TestForm::load(const QString& programFolder)
{
    create(programFolder);
    form->Form_Load();
    return *form;
}
