// Faults: the program killed in the middle of a run and started again, and tools planted in
// a shared TEMP folder by another user.

#include "app/mainwindow.h"
#include "audiocheck.h"
#include "convert/staging.h"
#include "filelist/filelistview.h"
#include "reliability.h"
#include "smf/smfwriter.h"
#include "testwindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

using namespace Reliability;
using Staging::Resource;

namespace {

QByteArray Contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The processes a process has started, read before it is killed.
QList<pid_t> ChildrenOf(qint64 pid)
{
    QList<pid_t> children;
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    for (const QString& task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        for (const QByteArray& child :
             Contents(tasks + QLatin1Char('/') + task + QStringLiteral("/children")).split(' '))
            if (child.toInt() > 0)
                children.append(child.toInt());
    return children;
}

QString CommandName(pid_t pid)
{
    return QString::fromLocal8Bit(Contents(QStringLiteral("/proc/%1/comm").arg(pid))).trimmed();
}

// Whether a process still runs (a zombie no longer does).
bool IsRunning(pid_t pid)
{
    const QByteArray stat = Contents(QStringLiteral("/proc/%1/stat").arg(pid));
    const qsizetype close = stat.lastIndexOf(')');
    return close > 0 && stat.mid(close + 2, 1) != "Z";
}

qint64 SizeOf(const QString& path)
{
    return QFileInfo(path).size();
}

} // namespace

class TestReliabilityFaults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void killedRunLeavesNothingHalfWrittenAndTheNextRunWorks();
    void plantedFileInSharedTempIsNeverUsed_data();
    void plantedFileInSharedTempIsNeverUsed();
};

void TestReliabilityFaults::killedRunLeavesNothingHalfWrittenAndTheNextRunWorks()
{
    QTemporaryDir temp(QDir::tempPath() + QStringLiteral("/killed run XXXXXX"));
    QTemporaryDir work;
    qputenv("TEMP", QFile::encodeName(temp.path()));
    const QString music = work.path() + QStringLiteral("/music");
    const QString out = work.path() + QStringLiteral("/out");
    QVERIFY(QDir().mkpath(music) && QDir().mkpath(out));
    const Smf::Song song = Smf::Demo(120.0, 7);
    const QString source = music + QStringLiteral("/Long.mid");
    QVERIFY(Smf::Write(song, source));
    QVERIFY(WriteBytes(out + QStringLiteral("/Other_128 kbps.mp3"), "an earlier result"));
    const Snapshot sources = TakeSnapshot(music);
    const Snapshot others = TakeSnapshot(out);
    // The run's WAV file, in the workspace of the run.
    auto wav = [&] {
        const QStringList found = FilesUnder(temp.path(), QStringLiteral("/Long.wav"));
        return found.isEmpty() ? QString() : temp.filePath(found.first());
    };

    // The first run, in a process of its own, is killed once rendering has begun.
    ChildRun run;
    run.entries = {source};
    run.outputFolder = out;
    const std::unique_ptr<QProcess> child = StartChild(run);
    QVERIFY(child->waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(SizeOf(wav()) > 1000000 || child->state() == QProcess::NotRunning,
                             120000);
    QCOMPARE(child->state(), QProcess::Running);
    const QList<pid_t> tools = ChildrenOf(child->processId());
    QVERIFY(::kill(static_cast<pid_t>(child->processId()), SIGKILL) == 0);
    QVERIFY(child->waitForFinished(60000));
    QCOMPARE(child->exitStatus(), QProcess::CrashExit);
    QStringList killedDuring;
    for (const pid_t tool : tools)
        killedDuring << CommandName(tool);
    qInfo("killed while running: %s, WAV at %lld bytes", qPrintable(killedDuring.join(u',')),
          SizeOf(wav()));

    // What is left: the run's workspace with its whole files, its lock and perhaps the WAV
    // file of the entry; nothing else; the user's files as they were. The tool that was
    // running goes on, as a tool left behind by a closed window does.
    const QString workspace = temp.filePath(QFileInfo(wav()).dir().dirName());
    QStringList left = FilesUnder(workspace);
    left.removeOne(QStringLiteral("Long.wav"));
    QCOMPARE(left, (QStringList{QStringLiteral(".lock"), QStringLiteral("8MBGMSFX.SF2"),
                                QStringLiteral("timidity.cfg")}));
    QCOMPARE(FilesUnder(temp.path()).size(), FilesUnder(workspace).size());
    QCOMPARE(QFileInfo(workspace + QStringLiteral("/8MBGMSFX.SF2")).symLinkTarget(),
             Staging::ResourceSource(Resource::SoundFont));
    QCOMPARE(Contents(workspace + QStringLiteral("/timidity.cfg")),
             (Staging::ConfigLine(workspace) + QStringLiteral("\r\n")).toUtf8());
    QCOMPARE(TakeSnapshot(music), sources);
    Snapshot outNow = TakeSnapshot(out);
    for (const QString& name : outNow.keys())
        if (name.startsWith(QLatin1Char('.')))
            outNow.remove(name);
    QCOMPARE(outNow, others);

    // Started again, the run converts the whole song, whatever the killed run left.
    TestWindow test;
    MainWindow& form = test.load();
    form.bitrateBox->setCurrentText(QStringLiteral("128 kbps"));
    form.saveToFolderOption->setChecked(true);
    form.outputFolderBox->setText(out);
    form.fileList->append(source);
    form.startConverting();
    QCOMPARE(test.dialogs.messageTexts(), QStringList{QStringLiteral("Done.")});
    // The killed run's workspace went with the next run.
    QVERIFY(!QFileInfo::exists(workspace));
    const AudioCheck::Pcm pcm =
        AudioCheck::DecodeMp3(out + QStringLiteral("/Long_128 kbps.mp3"), work.path());
    QVERIFY(pcm.ok);
    const double seconds = Smf::DurationSeconds(song);
    QVERIFY2(pcm.seconds > seconds - 0.5 && pcm.seconds < seconds + 4.5,
             qPrintable(QStringLiteral("%1 s of %2 s").arg(pcm.seconds).arg(seconds)));
    QCOMPARE(FilesUnder(temp.path()), QStringList());
    QCOMPARE(TakeSnapshot(music), sources);
    QFile::remove(out + QStringLiteral("/Long_128 kbps.mp3"));
    QCOMPARE(TakeSnapshot(out), others);

    for (const pid_t tool : tools) {
        QTRY_VERIFY_WITH_TIMEOUT(!IsRunning(tool), 120000);
    }
}

void TestReliabilityFaults::plantedFileInSharedTempIsNeverUsed_data()
{
    QTest::addColumn<QString>("planted");
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray script = "#!/bin/sh\ntouch \"$(dirname \"$0\")/planted-ran\"\n";
    QTest::newRow("renderer") << "timidity.exe" << script;
    QTest::newRow("encoder") << "lame.exe" << script;
    QTest::newRow("renderer configuration") << "timidity.cfg" << QByteArray("soundfont /x.sf2\n");
    QTest::newRow("SoundFont") << "8MBGMSFX.SF2" << QByteArray("RIFF\0\0\0\0sfbk", 12);
    // A folder under the name a workspace might have.
    QTest::newRow("workspace") << "tunepress-run-aaaaaaaaaaaa/timidity.exe" << script;
}

void TestReliabilityFaults::plantedFileInSharedTempIsNeverUsed()
{
    QFETCH(QString, planted);
    QFETCH(QByteArray, bytes);
    if (!CanRunAsNobody())
        QSKIP("needs root and setpriv to run as the unprivileged user whose TEMP is shared");

    // A TEMP shared like /tmp, where another user was first with a file under a staged name
    // that this user can neither change nor remove.
    QTemporaryDir shared;
    QTemporaryDir work;
    QVERIFY(::chmod(QFile::encodeName(shared.path()).constData(), 01777) == 0);
    QVERIFY(::chmod(QFile::encodeName(work.path()).constData(), 0755) == 0);
    const QString plantedPath = shared.filePath(planted);
    QVERIFY(QDir().mkpath(QFileInfo(plantedPath).path()));
    QVERIFY(WriteBytes(plantedPath, bytes));
    QVERIFY(::chmod(QFile::encodeName(plantedPath).constData(), 0755) == 0);
    const QString source = WriteSong(work.path(), QStringLiteral("Song.mid"), 2.0);
    QVERIFY(::chmod(QFile::encodeName(source).constData(), 0644) == 0);
    const QString out = work.filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkdir(out) &&
            ::chown(QFile::encodeName(out).constData(), Nobody::User, Nobody::Group) == 0);
    const Snapshot before = TakeSnapshot(shared.path());

    ChildRun run;
    run.entries = {source};
    run.outputFolder = out;
    run.asNobody = true;
    run.environment.insert(QStringLiteral("TEMP"), shared.path());
    const ChildResult result = RunChild(run);
    QVERIFY2(result.finished && result.exitCode == 0, result.errors.constData());

    // The run works in a folder of its own, where nobody else can have put anything.
    QCOMPARE(result.messages.size(), 1);
    QCOMPARE(result.messages[0].text, QStringLiteral("Done."));
    QVERIFY(FilesUnder(shared.path(), QStringLiteral("planted-ran")).isEmpty());
    // The other user's file is left as it was, and nothing of this user's stays behind.
    QCOMPARE(TakeSnapshot(shared.path()), before);
    QCOMPARE(FilesUnder(out), QStringList{QStringLiteral("Song_128 kbps.mp3")});
}

RELIABILITY_MAIN(TestReliabilityFaults)
#include "tst_reliability_faults.moc"
