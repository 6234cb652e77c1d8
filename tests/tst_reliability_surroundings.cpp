// Bad surroundings of a run: output folder and TEMP folder unusable or full, TEMP unset, a
// tool or the SoundFont not installed. Each run is a process of its own, as the unprivileged
// user where rights matter; the user is told why the file was not converted, and nothing of
// the user's is touched.

#include "audiocheck.h"
#include "convert/platform.h"
#include "convert/staging.h"
#include "reliability.h"
#include "smf/smfwriter.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace Reliability;

namespace {

// A snapshot without its folders: the files that are there and what they hold.
Snapshot FilesOf(Snapshot snapshot)
{
    for (auto it = snapshot.begin(); it != snapshot.end();)
        it = it.value().startsWith("folder ") ? snapshot.erase(it) : std::next(it);
    return snapshot;
}

bool ChangeOwner(const QString& path, unsigned user)
{
    return ::lchown(QFile::encodeName(path).constData(), user, user) == 0;
}

} // namespace

class TestReliabilitySurroundings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void unusableSurroundingFailsCleanly_data();
    void unusableSurroundingFailsCleanly();
    void unsetTempUsesAPrivateFolder_data();
    void unsetTempUsesAPrivateFolder();
    void twoWindowsConvertAtOnce();
    void tempMountedNoexecConverts();
};

void TestReliabilitySurroundings::unusableSurroundingFailsCleanly_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<bool>("asNobody");
    // The lines of the run named by its error reports, a text every report holds, and the
    // beginning of the reason the final message gives for the entry.
    QTest::addColumn<QList<int>>("errorLines");
    QTest::addColumn<QString>("errorText");
    QTest::addColumn<QString>("reason");
    // The steps that need the workspace: the SoundFont link and the configuration.
    const QList<int> staging{116, 122};
    const QList<int> noWorkspace{116, 122, 146, 172, 174};

    QTest::newRow("output folder not writable")
        << "out-readonly" << true << QList<int>() << QString()
        << "the encoder failed (exit code 255): Can't init outfile";
    // The encoder's own words, without the progress figures it draws on a terminal.
    QTest::newRow("output disk full") << "out-full" << false << QList<int>() << QString()
                                      << "the encoder failed (exit code 1): Error writing mp3 "
                                         "output";
    QTest::newRow("TEMP not writable") << "temp-readonly" << true << staging << "Permission denied"
                                       << "the renderer could not be started";
    QTest::newRow("TEMP names a missing folder")
        << "temp-missing" << true << staging << "No such file or directory"
        << "the renderer could not be started";
    QTest::newRow("TEMP fills up while rendering")
        << "temp-full" << false << QList<int>() << QString() << "the renderer could not write";
    QTest::newRow("TEMP unset, private folder taken by another user")
        << "private-foreign" << false << noWorkspace << "is not a folder of this user"
        << "the temporary folder cannot be used";
    QTest::newRow("TEMP unset, link in place of the private folder")
        << "private-link" << false << noWorkspace << "is not a folder of this user"
        << "the temporary folder cannot be used";
    QTest::newRow("encoder not installed")
        << "no-encoder" << false << QList<int>{118} << "Install the Debian package lame"
        << "the encoder could not be started";
    QTest::newRow("SoundFont not installed") << "no-soundfont" << false << QList<int>{114}
                                             << "Install the Debian package timgm6mb-soundfont"
                                             << "the renderer could not be started";
}

void TestReliabilitySurroundings::unusableSurroundingFailsCleanly()
{
    QFETCH(QString, situation);
    QFETCH(bool, asNobody);
    QFETCH(QList<int>, errorLines);
    QFETCH(QString, errorText);
    QFETCH(QString, reason);
    if (asNobody && !CanRunAsNobody())
        QSKIP("needs root and setpriv to run as a user without the rights");

    // music/Song.mid, out/ with files of the user's, and tmp/ shared like /tmp, where the
    // TEMP folders of the rows live.
    QTemporaryDir root;
    QVERIFY(::chmod(QFile::encodeName(root.path()).constData(), 0755) == 0);
    const QString music = root.filePath(QStringLiteral("music"));
    const QString out = root.filePath(QStringLiteral("out"));
    const QString tmp = root.filePath(QStringLiteral("tmp"));
    QVERIFY(QDir().mkpath(music) && QDir().mkpath(out) && QDir().mkpath(tmp));
    QVERIFY(::chmod(QFile::encodeName(tmp).constData(), 01777) == 0);
    const QString source = WriteSong(music, QStringLiteral("Song.mid"), 10.0);
    QVERIFY(!source.isEmpty());

    std::optional<SmallDisk> disk;
    QString temp = tmp + QStringLiteral("/temp folder");
    const bool privateTemp = situation == QStringLiteral("out-readonly") ||
                             situation.startsWith(QStringLiteral("private-"));
    if (privateTemp)
        temp = tmp + QStringLiteral("/tunepress-studio-") +
               QString::number(asNobody ? Nobody::User : ::getuid());
    else if (situation != QStringLiteral("temp-missing"))
        QVERIFY(QDir().mkdir(temp));
    if (asNobody && QFileInfo(temp).isDir() && situation != QStringLiteral("temp-readonly") &&
        !privateTemp)
        QVERIFY(ChangeOwner(temp, Nobody::User));
    ChildRun run;
    run.entries = {source};
    run.outputFolder = out;
    run.asNobody = asNobody;
    if (situation == QStringLiteral("out-full")) {
        disk.emplace(out, 64 * 1024);
    } else if (situation == QStringLiteral("temp-full")) {
        disk.emplace(temp, 256 * 1024);
    } else if (situation.startsWith(QStringLiteral("private-"))) {
        const QString elsewhere = tmp + QStringLiteral("/elsewhere");
        QVERIFY(QDir().mkdir(elsewhere) && ChangeOwner(elsewhere, Nobody::User));
        QVERIFY(::chmod(QFile::encodeName(elsewhere).constData(), 0777) == 0);
        QVERIFY(WriteBytes(elsewhere + QStringLiteral("/timidity.exe"), "#!/bin/sh\ntouch ran\n"));
        if (situation == QStringLiteral("private-link"))
            QVERIFY(QFile::link(elsewhere, temp) && ChangeOwner(temp, Nobody::User));
        else
            QVERIFY(QDir().rename(elsewhere, temp));
    } else if (situation == QStringLiteral("no-encoder")) {
        const QString bin = root.filePath(QStringLiteral("bin"));
        QVERIFY(QDir().mkdir(bin) &&
                QFile::link(QStandardPaths::findExecutable(QStringLiteral("timidity")),
                            bin + QStringLiteral("/timidity")));
        run.environment.insert(QStringLiteral("PATH"), bin);
    } else if (situation == QStringLiteral("no-soundfont")) {
        run.hideSoundFonts = true;
    }
    if (disk && !disk->mounted())
        QSKIP(qPrintable(QStringLiteral("mounting a small tmpfs is not permitted here: ") +
                         disk->error()));
    if (asNobody && situation != QStringLiteral("out-readonly"))
        QVERIFY(ChangeOwner(out, Nobody::User));
    QVERIFY(WriteBytes(out + QStringLiteral("/keep.txt"), "a file of the user's\n"));
    QVERIFY(WriteBytes(out + QStringLiteral("/Song_128 kbps.mp3"), "an earlier result"));
    run.environment.insert(QStringLiteral("TMPDIR"), tmp);
    run.environment.insert(QStringLiteral("TEMP"), privateTemp ? QString() : temp);
    const Snapshot musicBefore = TakeSnapshot(music);
    const Snapshot outBefore = TakeSnapshot(out);
    const Snapshot tmpBefore = FilesOf(TakeSnapshot(tmp));

    const ChildResult result = RunChild(run);
    if (result.exitCode == CannotHide)
        QSKIP("no mount namespace can be made here to hide the SoundFonts; the search for a "
              "SoundFont among candidates that do not exist is covered by "
              "tst_staging::soundFontIsTheFirstRealBank");
    QVERIFY2(result.finished && result.exitCode == 0, result.errors.constData());

    // What the user sees: an error report for each step that could not be done, then the
    // final message naming the entry and why it was not converted.
    QStringList shown;
    for (const Shown& message : result.messages)
        shown << message.title + QStringLiteral(": ") + message.text;
    QCOMPARE(result.messages.size(), errorLines.size() + 1);
    for (qsizetype i = 0; i < errorLines.size(); ++i) {
        QCOMPARE(result.messages[i].title, QStringLiteral("Application Error"));
        QVERIFY2(result.messages[i].text.contains(errorText) &&
                     result.messages[i].text.contains(
                         QStringLiteral("PushButton2_Click at line %1\r").arg(errorLines[i])),
                 qPrintable(shown.join(u'\n')));
    }
    QVERIFY2(result.messages.last().text.startsWith(OneFailure(QStringLiteral("Song.mid"), reason)),
             qPrintable(shown.join(u'\n')));

    // What is on disk: the sources, the earlier result and the other files as they were;
    // nothing left in any TEMP folder.
    QCOMPARE(TakeSnapshot(music), musicBefore);
    QCOMPARE(TakeSnapshot(out), outBefore);
    QCOMPARE(FilesOf(TakeSnapshot(tmp)), tmpBefore);
}

void TestReliabilitySurroundings::unsetTempUsesAPrivateFolder_data()
{
    QTest::addColumn<int>("modeBefore");
    QTest::newRow("first use: the folder is made") << -1;
    QTest::newRow("left open to others: it is closed") << 0777;
}

void TestReliabilitySurroundings::unsetTempUsesAPrivateFolder()
{
    QFETCH(int, modeBefore);
    QTemporaryDir root;
    const QString tmp = root.filePath(QStringLiteral("tmp"));
    QVERIFY(QDir().mkdir(tmp) && ::chmod(QFile::encodeName(tmp).constData(), 01777) == 0);
    const QString own = tmp + QStringLiteral("/tunepress-studio-") + QString::number(::getuid());
    if (modeBefore >= 0)
        QVERIFY(QDir().mkdir(own) &&
                ::chmod(QFile::encodeName(own).constData(), static_cast<mode_t>(modeBefore)) == 0);
    const QString source = WriteSong(root.path(), QStringLiteral("Song.mid"), 2.0);

    ChildRun run;
    run.entries = {source};
    run.environment.insert(QStringLiteral("TMPDIR"), tmp);
    run.environment.insert(QStringLiteral("TEMP"), QString());
    const ChildResult result = RunChild(run);
    QVERIFY2(result.finished && result.exitCode == 0, result.errors.constData());
    QCOMPARE(result.messages.size(), 1);
    QCOMPARE(result.messages[0].text, QStringLiteral("Done."));
    QVERIFY(QFile::exists(root.filePath(QStringLiteral("Song_128 kbps.mp3"))));

    struct stat facts
    {
    };
    QVERIFY(::lstat(QFile::encodeName(own).constData(), &facts) == 0);
    QVERIFY(S_ISDIR(facts.st_mode));
    QCOMPARE(facts.st_uid, ::getuid());
    QCOMPARE(facts.st_mode & 07777, mode_t(0700));
    QCOMPARE(FilesUnder(tmp), QStringList());
}

void TestReliabilitySurroundings::twoWindowsConvertAtOnce()
{
    // Two windows of one user, one TEMP folder, the same sources, each into a folder of its
    // own, started together.
    QTemporaryDir root;
    const QString temp = root.filePath(QStringLiteral("temp"));
    QVERIFY(QDir().mkdir(temp));
    QStringList sources;
    QList<double> seconds;
    for (const QString& name :
         {QStringLiteral("One.mid"), QStringLiteral("Two.mid"), QStringLiteral("Three.mid")}) {
        sources << WriteSong(root.path(), name, 6.0, int(sources.size()) + 1);
        seconds << Smf::DurationSeconds(Smf::Demo(6.0, int(sources.size())));
    }
    std::vector<std::unique_ptr<QProcess>> children;
    QStringList outs;
    for (int window = 0; window < 2; ++window) {
        outs << root.filePath(QStringLiteral("out%1").arg(window));
        QVERIFY(QDir().mkdir(outs.last()));
        ChildRun run;
        run.entries = sources;
        run.outputFolder = outs.last();
        run.environment.insert(QStringLiteral("TEMP"), temp);
        children.push_back(StartChild(run));
    }
    for (const auto& child : children) {
        QVERIFY(child->waitForFinished(300000));
        QCOMPARE(child->exitCode(), 0);
        QVERIFY2(child->readAllStandardOutput().contains("\"Done.\""),
                 child->readAllStandardError().constData());
    }
    for (const QString& out : std::as_const(outs))
        for (qsizetype i = 0; i < sources.size(); ++i) {
            const QString mp3 = out + QLatin1Char('/') + QFileInfo(sources[i]).completeBaseName() +
                                QStringLiteral("_128 kbps.mp3");
            const AudioCheck::Pcm pcm = AudioCheck::DecodeMp3(mp3, root.path());
            QVERIFY2(pcm.ok && pcm.seconds > seconds[i] - 0.5, qPrintable(mp3));
        }
    QCOMPARE(FilesUnder(temp), QStringList());
}

void TestReliabilitySurroundings::tempMountedNoexecConverts()
{
    // A hardened system mounts /tmp so that nothing in it may be run: the tools run where
    // they are installed, and the workspace holds only what the renderer reads.
    QTemporaryDir root;
    QVERIFY(::chmod(QFile::encodeName(root.path()).constData(), 0755) == 0);
    const QString temp = root.filePath(QStringLiteral("temp"));
    const QString out = root.filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkpath(temp) && QDir().mkpath(out));
    const SmallDisk disk(temp, 64 * 1024 * 1024, true);
    if (!disk.mounted())
        QSKIP(qPrintable(QStringLiteral("mounting a noexec tmpfs is not permitted here: ") +
                         disk.error()));
    ChildRun run;
    run.entries = {WriteSong(root.path(), QStringLiteral("Song.mid"), 3.0)};
    run.outputFolder = out;
    run.environment.insert(QStringLiteral("TEMP"), temp);
    const ChildResult result = RunChild(run);
    QVERIFY2(result.finished && result.exitCode == 0, result.errors.constData());

    QCOMPARE(result.messages.size(), 1);
    QCOMPARE(result.messages[0].text, QStringLiteral("Done."));
    const AudioCheck::Pcm pcm =
        AudioCheck::DecodeMp3(out + QStringLiteral("/Song_128 kbps.mp3"), root.path());
    QVERIFY2(pcm.ok && pcm.seconds > 2.5, qPrintable(QString::number(pcm.seconds)));
    QCOMPARE(FilesUnder(temp), QStringList());
}

RELIABILITY_MAIN(TestReliabilitySurroundings)
#include "tst_reliability_surroundings.moc"
