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

const Resource AllResources[] = {Resource::Renderer, Resource::SoundFont, Resource::Encoder};

// Stages every resource and the configuration; answers the failures' descriptions.
QStringList StageAll(Workspace& workspace)
{
    QStringList failures;
    for (const Resource resource : AllResources) {
        try {
            Staging::StageResource(Staging::LoadResource(resource), resource, workspace);
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

    void firstStagingCopiesTheInstalledFilesExactly();
    void configIsOneLineRewrittenOnEveryRun();
    void leftoverPrivateFileIsUsedAsItIs();
    void plantedFileIsReplacedAndNeverRun_data();
    void plantedFileIsReplacedAndNeverRun();
    void missingToolIsReportedWithItsPackage();
    void soundFontIsTheFirstRealBank();
    void workspacesOfRunsAreApartAndAbandonedOnesGo();
    void stagedToolsRunFromTheWorkspace();

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

void TestStaging::firstStagingCopiesTheInstalledFilesExactly()
{
    QCOMPARE(StageAll(*m_workspace), QStringList());

    for (const Resource resource : AllResources) {
        const QString staged = m_work + QLatin1Char('/') + Staging::StagedName(resource);
        QCOMPARE(Contents(staged), Contents(Staging::ResourceSource(resource)));
        QVERIFY(Platform::IsPrivateToUser(staged));
        const bool program = resource != Resource::SoundFont;
        QCOMPARE(ModeOf(staged), program ? mode_t(0700) : mode_t(0600));
    }
    QCOMPARE(Staging::StagedName(Resource::Renderer), QStringLiteral("timidity.exe"));
    QCOMPARE(Staging::StagedName(Resource::SoundFont), QStringLiteral("8MBGMSFX.SF2"));
    QCOMPARE(Staging::StagedName(Resource::Encoder), QStringLiteral("lame.exe"));
    // Nothing else is left in the folder but its lock: no half-written files.
    QCOMPARE(QDir(m_work).entryList(QDir::Files | QDir::Hidden).size(), 5);
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

void TestStaging::leftoverPrivateFileIsUsedAsItIs()
{
    const QString lame = m_work + QStringLiteral("/lame.exe");
    QVERIFY(WriteFile(lame, "left over", 0700));
    QCOMPARE(StageAll(*m_workspace), QStringList());
    QCOMPARE(Contents(lame), QByteArray("left over"));
    QCOMPARE(Staging::RunnableProgram(Resource::Encoder, *m_workspace), lame);
}

void TestStaging::plantedFileIsReplacedAndNeverRun_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("others may write it") << QStringLiteral("world-writable");
    QTest::newRow("its group may write it") << QStringLiteral("group-writable");
    QTest::newRow("another user owns it") << QStringLiteral("foreign");
    QTest::newRow("a link to elsewhere") << QStringLiteral("link");
}

void TestStaging::plantedFileIsReplacedAndNeverRun()
{
    QFETCH(QString, how);
    const QString renderer = m_work + QStringLiteral("/timidity.exe");
    const QByteArray planted = "#!/bin/sh\ntouch planted-ran\n";
    if (how == QStringLiteral("link")) {
        const QString target = m_work + QStringLiteral("/target");
        QVERIFY(WriteFile(target, planted, 0700));
        QVERIFY(QFile::link(target, renderer));
    } else {
        QVERIFY(WriteFile(renderer, planted,
                          how == QStringLiteral("world-writable")   ? 0777
                          : how == QStringLiteral("group-writable") ? 0770
                                                                    : 0700));
    }
    if (how == QStringLiteral("foreign")) {
        if (::geteuid() != 0)
            QSKIP("Handing a file to another user needs root");
        QVERIFY(::chown(QFile::encodeName(renderer).constData(), 65534, 65534) == 0);
    }

    // Before staging, the planted file is refused.
    QCOMPARE(Staging::RunnableProgram(Resource::Renderer, *m_workspace), QString());

    QCOMPARE(StageAll(*m_workspace), QStringList());
    QCOMPARE(Contents(renderer), Contents(Staging::ResourceSource(Resource::Renderer)));
    QVERIFY(Platform::IsPrivateToUser(renderer));
    QCOMPARE(Staging::RunnableProgram(Resource::Renderer, *m_workspace), renderer);
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
    // Nothing is written for a resource that could not be loaded; the rest is staged.
    QVERIFY(!QFile::exists(m_work + QStringLiteral("/timidity.exe")));
    QVERIFY(!QFile::exists(m_work + QStringLiteral("/lame.exe")));
    QVERIFY(QFile::exists(m_work + QStringLiteral("/8MBGMSFX.SF2")));
    QVERIFY(QFile::exists(m_work + QStringLiteral("/timidity.cfg")));
    QCOMPARE(Staging::RunnableProgram(Resource::Renderer, *m_workspace), QString());
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

void TestStaging::stagedToolsRunFromTheWorkspace()
{
    QCOMPARE(StageAll(*m_workspace), QStringList());

    QTemporaryDir music;
    const QString midi = music.path() + QStringLiteral("/Song.mid");
    QVERIFY(Smf::Write(Smf::Demo(2.0, 3), midi));
    const QString wav = m_work + QStringLiteral("/Song.wav");
    const QString mp3 = music.path() + QStringLiteral("/Song_64 kbps.mp3");

    Runner::Outcome rendered;
    QCOMPARE(Runner::RunAndWait(
                 Staging::RendererCommand(
                     Staging::RunnableProgram(Resource::Renderer, *m_workspace), m_work, midi, wav),
                 {}, &rendered),
             0);
    QVERIFY2(Conversion::InspectWav(wav).audioBytes > 100000, qPrintable(rendered.lastOutput));

    QCOMPARE(Runner::RunAndWait(Staging::EncoderCommand(
                 Staging::RunnableProgram(Resource::Encoder, *m_workspace), 64, wav, mp3)),
             0);
    QVERIFY(QFileInfo(mp3).size() > 1000);
}

void TestStaging::rendererCommandLine()
{
    const Runner::Command command = Staging::RendererCommand(
        QStringLiteral("/t m/timidity.exe"), QStringLiteral("/t m"),
        QStringLiteral("/music/My Song.mid"), QStringLiteral("/t m/My Song.wav"));
    QCOMPARE(command.program, QStringLiteral("/t m/timidity.exe"));
    QCOMPARE(command.arguments,
             (QStringList{QStringLiteral("-c"), QStringLiteral("/t m/timidity.cfg"),
                          QStringLiteral("-Ow"), QStringLiteral("-o"),
                          QStringLiteral("/t m/My Song.wav"), QStringLiteral("-")}));
    QCOMPARE(command.standardInputFile, QStringLiteral("/music/My Song.mid"));
    QCOMPARE(command.DisplayText(),
             QStringLiteral("\"/t m/timidity.exe\" -c \"/t m/timidity.cfg\" -Ow -o \"/t m/My "
                            "Song.wav\" - < \"/music/My Song.mid\""));
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
    for (const QString& argument : renderer.arguments)
        QVERIFY2(!argument.startsWith(QLatin1Char('-')) || argument.size() <= 3,
                 qPrintable(argument));
    QCOMPARE(renderer.standardInputFile, here + QStringLiteral("/--help.mid"));
}

QTEST_MAIN(TestStaging)
#include "tst_staging.moc"
