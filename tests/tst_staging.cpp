#include "convert/applicationerror.h"
#include "convert/conversion.h"
#include "convert/platform.h"
#include "convert/runner.h"
#include "convert/staging.h"
#include "convert/workspace.h"
#include "smf/smfwriter.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

using Staging::Resource;

namespace {

// Finds the installed tools and prepares the workspace as a run does; answers the failures'
// descriptions.
QStringList StageAll(Workspace& workspace)
{
    QStringList failures;
    for (const Resource resource : {Resource::Renderer, Resource::SoundFont, Resource::Encoder}) {
        try {
            const QString installed = Staging::ResourceSource(resource);
            if (resource == Resource::SoundFont)
                Staging::LinkSoundFont(installed, workspace);
            else
                Staging::CheckProgram(installed, resource);
        } catch (const tp::ApplicationError& error) {
            failures << error.description();
        }
    }
    Staging::WriteConfig(workspace);
    return failures;
}

QByteArray Contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteFile(const QString& path, const QByteArray& bytes, mode_t mode)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    file.write(bytes);
    file.close();
    return ::chmod(QFile::encodeName(path).constData(), mode) == 0;
}

mode_t ModeOf(const QString& path)
{
    struct stat facts
    {
    };
    ::lstat(QFile::encodeName(path).constData(), &facts);
    return facts.st_mode & 07777;
}

} // namespace

class TestStaging : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void workspaceHoldsOnlyTheConfigurationAndTheSoundFontLink();
    void configIsOneLineRewrittenOnEveryRun();
    void plantedConfigurationIsReplacedAndNeverRead_data();
    void plantedConfigurationIsReplacedAndNeverRead();
    void missingToolIsReportedWithItsPackage();
    void soundFontIsTheFirstRealBank();
    void workspacesOfRunsAreApartAndAbandonedOnesGo();
    void installedToolsRunWithTheWorkspaceConfiguration();

    void rendererCommandLine();
    void encoderCommandLine();
    void namesNeverBecomeOptions();

private:
    QTemporaryDir* m_temp = nullptr;
    QString m_tempPath;
    Workspace* m_workspace = nullptr;
    // The workspace's folder, made.
    QString m_work;
    QByteArray m_savedPath;
};

void TestStaging::init()
{
    // A TEMP with blanks, as a user's may have.
    m_temp = new QTemporaryDir(QDir::tempPath() + QStringLiteral("/staging test XXXXXX"));
    QVERIFY(m_temp->isValid());
    m_tempPath = m_temp->path();
    qputenv("TEMP", QFile::encodeName(m_tempPath));
    m_savedPath = qgetenv("PATH");
    m_workspace = new Workspace;
    m_workspace->create();
    m_work = m_workspace->path();
}

void TestStaging::cleanup()
{
    qputenv("PATH", m_savedPath);
    delete m_workspace;
    m_workspace = nullptr;
    delete m_temp;
    m_temp = nullptr;
}

void TestStaging::workspaceHoldsOnlyTheConfigurationAndTheSoundFontLink()
{
    QCOMPARE(StageAll(*m_workspace), QStringList());

    const QString link = m_work + QStringLiteral("/8MBGMSFX.SF2");
    QCOMPARE(QFileInfo(link).symLinkTarget(), Staging::ResourceSource(Resource::SoundFont));
    QCOMPARE(ModeOf(m_work + QStringLiteral("/timidity.cfg")), mode_t(0600));
    // Nothing else is in the folder but its lock: no tools, no half-written files.
    QCOMPARE(QDir(m_work).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name),
             (QStringList{QStringLiteral(".lock"), QStringLiteral("8MBGMSFX.SF2"),
                          QStringLiteral("timidity.cfg")}));
    QCOMPARE(ModeOf(m_work), mode_t(0700));
}

void TestStaging::configIsOneLineRewrittenOnEveryRun()
{
    const QString config = m_work + QStringLiteral("/timidity.cfg");
    QVERIFY(WriteFile(config, "source /etc/evil.cfg\nsoundfont other.sf2\n", 0600));
    QCOMPARE(StageAll(*m_workspace), QStringList());
    QCOMPARE(
        Contents(config),
        (QStringLiteral("soundfont \"") + m_work + QStringLiteral("/8MBGMSFX.SF2\"\r\n")).toUtf8());
}

void TestStaging::plantedConfigurationIsReplacedAndNeverRead_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("others may write it") << QStringLiteral("world-writable");
    QTest::newRow("its group may write it") << QStringLiteral("group-writable");
    QTest::newRow("another user owns it") << QStringLiteral("foreign");
    QTest::newRow("a link to elsewhere") << QStringLiteral("link");
}

void TestStaging::plantedConfigurationIsReplacedAndNeverRead()
{
    QFETCH(QString, how);
    const QString config = m_work + QStringLiteral("/timidity.cfg");
    const QByteArray planted = "source /etc/evil.cfg\n";
    if (how == QStringLiteral("link")) {
        const QString target = m_work + QStringLiteral("/target");
        QVERIFY(WriteFile(target, planted, 0600));
        QVERIFY(QFile::link(target, config));
    } else {
        QVERIFY(WriteFile(config, planted,
                          how == QStringLiteral("world-writable")   ? 0666
                          : how == QStringLiteral("group-writable") ? 0660
                                                                    : 0600));
    }
    if (how == QStringLiteral("foreign")) {
        if (::geteuid() != 0)
            QSKIP("Handing a file to another user needs root");
        QVERIFY(::chown(QFile::encodeName(config).constData(), 65534, 65534) == 0);
    }
    const QString renderer = Staging::ResourceSource(Resource::Renderer);

    // Before the run writes its own, the planted configuration is refused.
    QCOMPARE(Staging::RunnableRenderer(renderer, *m_workspace), QString());

    QCOMPARE(StageAll(*m_workspace), QStringList());
    QVERIFY(Contents(config).startsWith("soundfont "));
    QVERIFY(Platform::IsPrivateToUser(config));
    QCOMPARE(Staging::RunnableRenderer(renderer, *m_workspace), renderer);
}

void TestStaging::missingToolIsReportedWithItsPackage()
{
    QTemporaryDir emptyPath;
    qputenv("PATH", QFile::encodeName(emptyPath.path()));
    const QStringList failures = StageAll(*m_workspace);

    QCOMPARE(failures.size(), 2);
    QVERIFY2(failures[0].contains(QStringLiteral("Debian package timidity")),
             qPrintable(failures[0]));
    QVERIFY2(failures[1].contains(QStringLiteral("Debian package lame")), qPrintable(failures[1]));
    // The rest of the workspace is made all the same.
    QVERIFY(QFileInfo(m_work + QStringLiteral("/8MBGMSFX.SF2")).isSymLink());
    QVERIFY(QFile::exists(m_work + QStringLiteral("/timidity.cfg")));

    // A program that is there but may not be run is as good as missing.
    const QString notRunnable = m_tempPath + QStringLiteral("/lame");
    QVERIFY(WriteFile(notRunnable, "#!/bin/sh\n", 0644));
    QString description;
    try {
        Staging::CheckProgram(notRunnable, Resource::Encoder);
    } catch (const tp::ApplicationError& error) {
        description = error.description();
    }
    QVERIFY2(description.contains(QStringLiteral("Debian package lame")), qPrintable(description));
}

void TestStaging::soundFontIsTheFirstRealBank()
{
    const QString notABank = m_tempPath + QStringLiteral("/fake.sf2");
    QVERIFY(WriteFile(notABank, "RIFF\0\0\0\0WAVEfmt ", 0644));
    const QString folder = m_tempPath + QStringLiteral("/folder.sf2");
    QVERIFY(QDir().mkdir(folder));
    const QString real = QStringLiteral("/usr/share/sounds/sf2/TimGM6mb.sf2");
    QCOMPARE(
        Staging::FindSoundFont({m_tempPath + QStringLiteral("/none.sf2"), notABank, folder, real}),
        real);
    QCOMPARE(Staging::FindSoundFont({notABank, folder}), QString());
    QCOMPARE(Staging::SoundFontCandidates().first(), real);

    QString description;
    try {
        Staging::ResourceSource(Resource::SoundFont);
    } catch (const tp::ApplicationError& error) {
        description = error.description();
    }
    QVERIFY2(description.isEmpty(), qPrintable(description));
}

void TestStaging::workspacesOfRunsAreApartAndAbandonedOnesGo()
{
    // A second run beside the first has a folder of its own; each removes only its own.
    Workspace second;
    second.create();
    QVERIFY(second.path() != m_work);
    QCOMPARE(StageAll(second), QStringList());
    second.remove();
    QVERIFY(!QFileInfo::exists(second.path()));
    QVERIFY(QFileInfo(m_work).isDir());

    // A run that lives keeps its workspace; one whose process ended without removing it (here:
    // a child killed while it held its workspace) loses it to the next run.
    const QString dead = m_tempPath + QStringLiteral("/tunepress-run-dead");
    QVERIFY(QDir().mkdir(dead));
    QProcess child;
    // The lock is held by the flock process alone; "cat" ends when its input closes.
    child.start(QStringLiteral("flock"),
                {QStringLiteral("-o"), dead + QStringLiteral("/.lock"), QStringLiteral("cat")});
    QVERIFY(child.waitForStarted());
    QTRY_VERIFY(QProcess::execute(QStringLiteral("flock"),
                                  {QStringLiteral("-n"), dead + QStringLiteral("/.lock"),
                                   QStringLiteral("true")}) != 0);
    QCOMPARE(Workspace::RemoveAbandoned(m_tempPath), 0);
    child.kill();
    child.waitForFinished();
    child.close();
    // The dead run had noted a result it was writing, and a name that is not one of ours.
    QTemporaryDir out;
    const QString partial = out.filePath(QStringLiteral(".tunepress-dead.mp3.part"));
    const QString users = out.filePath(QStringLiteral("Song_128 kbps.mp3"));
    QVERIFY(WriteFile(partial, "half", 0644) && WriteFile(users, "whole", 0644));
    QVERIFY(WriteFile(dead + QStringLiteral("/.outside"),
                      QFile::encodeName(partial) + '\n' + QFile::encodeName(users) + '\n', 0600));
    const QString other = m_tempPath + QStringLiteral("/not-a-workspace");
    QVERIFY(QDir().mkdir(other));
    Workspace third;
    third.create();
    QVERIFY(!QFileInfo::exists(dead));
    QVERIFY(!QFileInfo::exists(partial));
    QCOMPARE(Contents(users), QByteArray("whole"));
    QVERIFY(QFileInfo(m_work).isDir());
    QVERIFY(QFileInfo(other).isDir());
}

void TestStaging::installedToolsRunWithTheWorkspaceConfiguration()
{
    QCOMPARE(StageAll(*m_workspace), QStringList());

    QTemporaryDir music;
    const QString midi = music.path() + QStringLiteral("/Song.mid");
    QVERIFY(Smf::Write(Smf::Demo(2.0, 3), midi));
    const QString wav = m_work + QStringLiteral("/Song.wav");
    const QString mp3 = music.path() + QStringLiteral("/Song_64 kbps.mp3");

    Runner::Outcome rendered;
    QCOMPARE(Runner::RunAndWait(Staging::RendererCommand(
                                    Staging::RunnableRenderer(
                                        Staging::ResourceSource(Resource::Renderer), *m_workspace),
                                    m_work, midi, wav),
                                {}, &rendered),
             0);
    QVERIFY2(Conversion::InspectWav(wav).audioBytes > 100000, qPrintable(rendered.lastOutput));

    QCOMPARE(Runner::RunAndWait(
                 Staging::EncoderCommand(Staging::ResourceSource(Resource::Encoder), 64, wav, mp3)),
             0);
    QVERIFY(QFileInfo(mp3).size() > 1000);
}

void TestStaging::rendererCommandLine()
{
    const Runner::Command command = Staging::RendererCommand(
        QStringLiteral("/t m/timidity.exe"), QStringLiteral("/t m"),
        QStringLiteral("/music/My Song.mid"), QStringLiteral("/t m/My Song.wav"));
    QCOMPARE(command.program, QStringLiteral("/t m/timidity.exe"));
    // A tenth of the renderer's own 70 per cent, in 24-bit samples: headroom that the gain
    // takes back later.
    QCOMPARE(command.arguments,
             (QStringList{QStringLiteral("-c"), QStringLiteral("/t m/timidity.cfg"),
                          QStringLiteral("-A7"), QStringLiteral("--output-24bit"),
                          QStringLiteral("-Ow"), QStringLiteral("-o"),
                          QStringLiteral("/t m/My Song.wav"), QStringLiteral("-")}));
    QCOMPARE(command.standardInputFile, QStringLiteral("/music/My Song.mid"));
    QCOMPARE(command.DisplayText(),
             QStringLiteral("\"/t m/timidity.exe\" -c \"/t m/timidity.cfg\" -A7 --output-24bit "
                            "-Ow -o \"/t m/My Song.wav\" - < \"/music/My Song.mid\""));
    const Runner::Command keeping =
        Staging::RendererCommand(QStringLiteral("timidity"), QStringLiteral("/t"),
                                 QStringLiteral("/a.mid"), QString(), true);
    QCOMPARE(keeping.arguments.mid(2),
             (QStringList{QStringLiteral("-A7"), QStringLiteral("--output-24bit"),
                          QStringLiteral("--preserve-silence"), QStringLiteral("-Ow"),
                          QStringLiteral("-o"), QStringLiteral("-"), QStringLiteral("-")}));
    // No personal configuration of the user takes part.
    QCOMPARE(command.environment.size(), 1);
    QCOMPARE(command.environment.first().first, QStringLiteral("HOME"));
    QCOMPARE(command.environment.first().second, QStringLiteral("/t m"));
    QCOMPARE(Staging::ConfigLine(QStringLiteral("/t m")),
             QStringLiteral("soundfont \"/t m/8MBGMSFX.SF2\""));
}

void TestStaging::encoderCommandLine()
{
    const Runner::Command command =
        Staging::EncoderCommand(QStringLiteral("/t/lame.exe"), 320, QStringLiteral("/t/a b.wav"),
                                QStringLiteral("/out/a b_320 kbps.mp3"));
    QCOMPARE(command.arguments,
             (QStringList{QStringLiteral("-h"), QStringLiteral("-m"), QStringLiteral("s"),
                          QStringLiteral("-b"), QStringLiteral("320"), QStringLiteral("/t/a b.wav"),
                          QStringLiteral("/out/a b_320 kbps.mp3")}));
    QVERIFY(command.standardInputFile.isEmpty());
    QCOMPARE(command.DisplayText(), QStringLiteral("/t/lame.exe -h -m s -b 320 \"/t/a b.wav\" "
                                                   "\"/out/a b_320 kbps.mp3\""));
    const Runner::Command scaled = Staging::EncoderCommand(
        QStringLiteral("lame"), 128, QStringLiteral("/t/a.wav"), QStringLiteral("/o/a.mp3"), 10);
    QCOMPARE(scaled.arguments.mid(5),
             (QStringList{QStringLiteral("--scale"), QStringLiteral("10.0000"),
                          QStringLiteral("/t/a.wav"), QStringLiteral("/o/a.mp3")}));
    const Runner::Command unanalysed = Staging::EncoderCommand(
        QStringLiteral("lame"), 128, QString(), QStringLiteral("/o/a.mp3"), 1.0, false);
    QCOMPARE(unanalysed.arguments.mid(5),
             (QStringList{QStringLiteral("--noreplaygain"), QStringLiteral("-"),
                          QStringLiteral("/o/a.mp3")}));
}

void TestStaging::namesNeverBecomeOptions()
{
    // Relative paths, even ones that begin with "-", reach the tools as absolute paths.
    const QString here = QDir::currentPath();
    const Runner::Command encoder = Staging::EncoderCommand(
        QStringLiteral("lame"), 8, QStringLiteral("-x.wav"), QStringLiteral("-h_8 kbps.mp3"));
    QCOMPARE(encoder.arguments.mid(5), (QStringList{here + QStringLiteral("/-x.wav"),
                                                    here + QStringLiteral("/-h_8 kbps.mp3")}));
    const Runner::Command renderer =
        Staging::RendererCommand(QStringLiteral("timidity"), QStringLiteral("-t"),
                                 QStringLiteral("--help.mid"), QStringLiteral("-t/--help.wav"));
    const QStringList options{QStringLiteral("--output-24bit")};
    for (const QString& argument : renderer.arguments)
        QVERIFY2(!argument.startsWith(QLatin1Char('-')) || argument.size() <= 3 ||
                     options.contains(argument),
                 qPrintable(argument));
    QCOMPARE(renderer.standardInputFile, here + QStringLiteral("/--help.mid"));
}

QTEST_MAIN(TestStaging)
#include "tst_staging.moc"
