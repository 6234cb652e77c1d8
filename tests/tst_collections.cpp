// The command line on whole collections, end to end with the real tools: trees, lists, the
// report of a run that dies, and how signals stop a run.
#include "audiocheck.h"
#include "nobody.h"
#include "songfile.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Result
{
    int status = -1;
    QString out;
    QString err;
};

QString Song(const QString& folder, const QString& name, double seconds, int seed = 1)
{
    return WriteSongFile(folder, name, seconds, seed).path;
}

// The report's objects by source, and its sources in the order of the lines.
struct Report
{
    QHash<QString, QJsonObject> bySource;
    QStringList order;
};

Report ReadReport(const QByteArray& bytes)
{
    Report report;
    for (const QByteArray& line : bytes.split('\n'))
        if (!line.isEmpty()) {
            const QJsonObject object = QJsonDocument::fromJson(line).object();
            report.order << object[QStringLiteral("source")].toString();
            report.bySource.insert(report.order.last(), object);
        }
    return report;
}

QByteArray Contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every file under the folder, by its path below it.
QStringList Tree(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(folder).relativeFilePath(it.next());
    files.sort();
    return files;
}

// The names of the programs a process has started and that still run.
QStringList ChildNames(qint64 pid)
{
    QStringList names;
    QDirIterator tasks(QStringLiteral("/proc/%1/task").arg(pid), QDir::Dirs | QDir::NoDotAndDotDot);
    while (tasks.hasNext())
        for (const QByteArray& child :
             Contents(tasks.next() + QStringLiteral("/children")).split(' '))
            if (!child.trimmed().isEmpty())
                names << QString::fromUtf8(
                    Contents(
                        QStringLiteral("/proc/%1/comm").arg(QString::fromLatin1(child.trimmed())))
                        .trimmed());
    return names;
}

} // namespace

class TestCollections : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void treeIsMirroredOrFlattened_data();
    void treeIsMirroredOrFlattened();
    void eachEntryIsCountedOnceUnderTwoJobs();
    void nulSeparatedListKeepsItsPlace();
    void soundFontBesideTheSongPlaysIt();
    void killedRunLeavesTheReportOfWhatEnded();
    void reportGoesToStandardOutputOrEndsTheRun();
    void signalStopsTheRunAndSaysSo_data();
    void signalStopsTheRunAndSaysSo();
    void nextSongRendersWhileOneIsEncoded();
    void unreadableFileInAFolderFailsAndSaysSo();

private:
    Result run(const QStringList& arguments, const QByteArray& input = QByteArray());
    std::unique_ptr<QProcess> start(const QStringList& arguments, bool ownGroup);
    QString m_program;
    std::unique_ptr<QTemporaryDir> m_temp;
    std::unique_ptr<QTemporaryDir> m_work;
};

void TestCollections::init()
{
    m_program = QCoreApplication::applicationDirPath() + QStringLiteral("/tunepress");
    QVERIFY(QFileInfo(m_program).isExecutable());
    m_temp = std::make_unique<QTemporaryDir>();
    m_work = std::make_unique<QTemporaryDir>();
    qputenv("TEMP", QFile::encodeName(m_temp->path()));
}

void TestCollections::cleanup()
{
    // However a run ended, its workspace went with it.
    QCOMPARE(QDir(m_temp->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
    m_work.reset();
    m_temp.reset();
}

Result TestCollections::run(const QStringList& arguments, const QByteArray& input)
{
    QProcess process;
    process.start(m_program, arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(300000))
        process.kill();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

std::unique_ptr<QProcess> TestCollections::start(const QStringList& arguments, bool ownGroup)
{
    auto process = std::make_unique<QProcess>();
    // As a shell starts a job: its own process group, which a terminal's Ctrl-C reaches whole.
    if (ownGroup)
        process->setChildProcessModifier([] { ::setpgid(0, 0); });
    process->start(m_program, arguments);
    return process;
}

void TestCollections::treeIsMirroredOrFlattened_data()
{
    QTest::addColumn<bool>("flat");
    QTest::addColumn<QStringList>("made");
    QTest::addColumn<QString>("said");
    QTest::newRow("mirrored") << false
                              << QStringList{QStringLiteral("a/b/track_128 kbps.mp3"),
                                             QStringLiteral("c/track_128 kbps.mp3"),
                                             QStringLiteral("top_128 kbps.mp3")}
                              << "3 converted, 0 failed";
    // One folder: the second track clashes with the first and fails.
    QTest::newRow("flat") << true
                          << QStringList{QStringLiteral("top_128 kbps.mp3"),
                                         QStringLiteral("track_128 kbps.mp3")}
                          << "2 converted, 1 failed";
}

void TestCollections::treeIsMirroredOrFlattened()
{
    QFETCH(bool, flat);
    QFETCH(QStringList, made);
    QFETCH(QString, said);
    const QString music = m_work->filePath(QStringLiteral("music"));
    const QString deep = Song(music + QStringLiteral("/a/b"), QStringLiteral("track.mid"), 2.0, 1);
    Song(music + QStringLiteral("/c"), QStringLiteral("track.KAR"), 2.0, 2);
    Song(music, QStringLiteral("top.midi"), 2.0, 3);
    QVERIFY(QFile(deep).copy(music + QStringLiteral("/c/notes.txt")));
    // The same file again: through a link deeper in the tree, and by its own path.
    QVERIFY(QDir().mkpath(music + QStringLiteral("/z/y/x")));
    QVERIFY(QFile::link(deep, music + QStringLiteral("/z/y/x/again.mid")));
    const QString out = m_work->filePath(QStringLiteral("out/new"));
    QStringList arguments{QStringLiteral("-j2"), QStringLiteral("-o"), out, music, deep};
    if (flat)
        arguments.prepend(QStringLiteral("--flat"));

    const Result dry = run(QStringList{QStringLiteral("-n")} + arguments);
    QCOMPARE(dry.status, flat ? 1 : 0);
    QCOMPARE(dry.out.count(QStringLiteral(" -> ")), 3);
    QVERIFY2(dry.out.contains(deep + QStringLiteral(" -> ") + out +
                              (flat ? QStringLiteral("/track") : QStringLiteral("/a/b/track"))),
             qPrintable(dry.out));
    QVERIFY(!QFileInfo::exists(m_work->filePath(QStringLiteral("out"))));

    const Result result = run(arguments);
    QVERIFY2(result.err.contains(said), qPrintable(result.err));
    QCOMPARE(Tree(out), made);
    for (const QString& mp3 : made)
        QVERIFY(AudioCheck::ReadMp3Frames(out + QLatin1Char('/') + mp3).frames > 30);
}

void TestCollections::eachEntryIsCountedOnceUnderTwoJobs()
{
    // Sources that fail at once end while the other job still starts: the order in which
    // starts and ends reach the counter is as mixed as it gets.
    QStringList sources;
    for (int i = 0; i < 40; ++i)
        sources << m_work->filePath(QStringLiteral("missing%1.mid").arg(i));
    sources.insert(20, Song(m_work->path(), QStringLiteral("Real.mid"), 1.0));
    const QString report = m_work->filePath(QStringLiteral("report.jsonl"));
    const Result result = run(QStringList{QStringLiteral("-j2"), QStringLiteral("--report"), report,
                                          QStringLiteral("--no-tags")} +
                              sources);
    QCOMPARE(result.status, 1);
    const QStringList lines = result.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QStringList counts;
    QStringList expected;
    static const QRegularExpression count(QStringLiteral("^\\[(\\d+)/41\\] "));
    for (const QString& line : lines)
        counts << count.match(line).captured(1);
    for (int i = 1; i <= 41; ++i)
        expected << QString::number(i);
    QCOMPARE(counts, expected);
    QCOMPARE(result.err.count(QStringLiteral("missing7.mid: the file was not found")), 1);
    QVERIFY2(result.err.contains(QStringLiteral("1 converted, 40 failed, 0 skipped")),
             qPrintable(result.err));
    const Report read = ReadReport(Contents(report));
    QCOMPARE(read.order.size(), 41);
    QCOMPARE(read.bySource.size(), 41);
}

void TestCollections::nulSeparatedListKeepsItsPlace()
{
    const QString first = Song(m_work->path(), QStringLiteral("First.mid"), 1.0, 1);
    const QString odd = Song(m_work->path(), QStringLiteral("Line\nbreak.mid"), 1.0, 2);
    const QString listed = Song(m_work->path(), QStringLiteral("Listed.mid"), 1.0, 3);
    const QString last = Song(m_work->path(), QStringLiteral("Last.mid"), 1.0, 4);
    const QString report = m_work->filePath(QStringLiteral("report.jsonl"));
    const Result result =
        run({QStringLiteral("-j1"), QStringLiteral("-0"), QStringLiteral("--report"), report, first,
             QStringLiteral("--files-from"), QStringLiteral("-"), last},
            QFile::encodeName(odd) + '\0' + QFile::encodeName(listed) + '\0');
    QVERIFY2(result.status == 0, qPrintable(result.err));
    QCOMPARE(ReadReport(Contents(report)).order, (QStringList{first, odd, listed, last}));
    QVERIFY(AudioCheck::ReadMp3Frames(m_work->filePath(QStringLiteral("Line\nbreak_128 kbps.mp3")))
                .frames > 20);
}

void TestCollections::soundFontBesideTheSongPlaysIt()
{
    const QString fluid = QStringLiteral("/usr/share/sounds/sf2/FluidR3_GM.sf2");
    const QString small = QStringLiteral("/usr/share/sounds/sf2/TimGM6mb.sf2");
    if (!QFileInfo(fluid).isFile() || !QFileInfo(small).isFile())
        QSKIP("needs two SoundFonts (fluid-soundfont-gm, timgm6mb-soundfont)");
    const QString band = m_work->filePath(QStringLiteral("Band"));
    const QString alone = Song(m_work->path(), QStringLiteral("Alone.mid"), 2.0, 1);
    const QString own = Song(band, QStringLiteral("Own.mid"), 2.0, 1);
    const QString shared = Song(band, QStringLiteral("Shared.mid"), 2.0, 1);
    const QString broken = Song(band, QStringLiteral("Broken.mid"), 2.0, 1);
    QVERIFY(QFile::link(fluid, band + QStringLiteral("/Own.sf2")));
    QVERIFY(QFile::link(small, band + QStringLiteral("/Band.sf2")));
    QVERIFY(QFile(own).copy(band + QStringLiteral("/Broken.sf2")));
    const QString report = m_work->filePath(QStringLiteral("report.jsonl"));
    const Result result = run({QStringLiteral("--no-tags"), QStringLiteral("--soundfont"), fluid,
                               QStringLiteral("--report"), report, band});
    QCOMPARE(result.status, 1);
    const Report read = ReadReport(Contents(report));
    QCOMPARE(read.bySource[own][QStringLiteral("soundfont")].toString(),
             band + QStringLiteral("/Own.sf2"));
    QCOMPARE(read.bySource[shared][QStringLiteral("soundfont")].toString(),
             band + QStringLiteral("/Band.sf2"));
    QVERIFY(read.bySource[broken][QStringLiteral("reason")].toString().contains(
        QStringLiteral("Broken.sf2 beside it is not a SoundFont 2 file")));

    // One song three times: the folder's SoundFont sounds as --soundfont with it does, and
    // the song's own one otherwise.
    const QByteArray folderSound = Contents(band + QStringLiteral("/Shared_128 kbps.mp3"));
    QVERIFY(AudioCheck::ReadMp3Frames(band + QStringLiteral("/Shared_128 kbps.mp3")).frames > 30);
    QVERIFY(Contents(band + QStringLiteral("/Own_128 kbps.mp3")) != folderSound);
    QCOMPARE(run({QStringLiteral("--no-tags"), QStringLiteral("--soundfont"), small, alone}).status,
             0);
    QCOMPARE(Contents(m_work->filePath(QStringLiteral("Alone_128 kbps.mp3"))), folderSound);
}

void TestCollections::killedRunLeavesTheReportOfWhatEnded()
{
    const QString out = m_work->filePath(QStringLiteral("out"));
    const QString report = m_work->filePath(QStringLiteral("report.jsonl"));
    QStringList songs{Song(m_work->path(), QStringLiteral("Short.mid"), 1.0, 1),
                      Song(m_work->path(), QStringLiteral("Long.mid"), 600.0, 2)};
    QVERIFY(QDir().mkpath(out));
    const std::unique_ptr<QProcess> process =
        start(QStringList{QStringLiteral("-j1"), QStringLiteral("-o"), out,
                          QStringLiteral("--report"), report} +
                  songs,
              false);
    QTRY_VERIFY_WITH_TIMEOUT(!Contents(report).isEmpty(), 60000);
    QCOMPARE(process->state(), QProcess::Running);
    ::kill(pid_t(process->processId()), SIGKILL);
    QVERIFY(process->waitForFinished());

    const Report read = ReadReport(Contents(report));
    QCOMPARE(read.order, QStringList{songs[0]});
    const QJsonObject entry = read.bySource[songs[0]];
    QCOMPARE(entry[QStringLiteral("status")].toString(), QStringLiteral("converted"));
    QVERIFY(AudioCheck::ReadMp3Frames(entry[QStringLiteral("mp3")].toString()).frames > 20);
    // The next run in the same TEMP folder removes what the killed one left behind.
    QCOMPARE(run({QStringLiteral("-k"), QStringLiteral("-o"), out, songs[0]}).status, 0);
    QTRY_COMPARE(Tree(out), QStringList{QStringLiteral("Short_128 kbps.mp3")});
}

void TestCollections::reportGoesToStandardOutputOrEndsTheRun()
{
    const QStringList songs{Song(m_work->path(), QStringLiteral("One.mid"), 1.0, 1),
                            Song(m_work->path(), QStringLiteral("Two.mid"), 1.0, 2)};
    const Result piped =
        run(QStringList{QStringLiteral("-j1"), QStringLiteral("--report"), QStringLiteral("-")} +
            songs);
    QCOMPARE(piped.status, 0);
    QCOMPARE(ReadReport(piped.out.toUtf8()).order, songs);
    QVERIFY2(piped.err.contains(QStringLiteral("[2/2] converted ")), qPrintable(piped.err));

    // A report that cannot be kept ends the run at the first line it cannot take.
    const Result full = run(QStringList{QStringLiteral("-j1"), QStringLiteral("--report"),
                                        QStringLiteral("/dev/full")} +
                            songs);
    QCOMPARE(full.status, 1);
    QVERIFY2(full.err.contains(
                 QStringLiteral("cannot write the report /dev/full: No space left on device")),
             qPrintable(full.err));
    QVERIFY(full.err.contains(QStringLiteral("1 converted, 1 failed")));
}

void TestCollections::signalStopsTheRunAndSaysSo_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<bool>("wholeGroup");
    QTest::addColumn<bool>("twice");
    QTest::newRow("hang-up") << int(SIGHUP) << false << false;
    // As a terminal's Ctrl-C: every process of the job's group gets it.
    QTest::newRow("Ctrl-C to the group") << int(SIGINT) << true << false;
    // The second may come while the first is still being served, or after: either way the
    // run ends without leaving a partial file, and says so of every entry.
    QTest::newRow("Ctrl-C twice") << int(SIGINT) << true << true;
}

void TestCollections::signalStopsTheRunAndSaysSo()
{
    QFETCH(int, signal);
    QFETCH(bool, wholeGroup);
    QFETCH(bool, twice);
    const QString out = m_work->filePath(QStringLiteral("out"));
    const QString report = m_work->filePath(QStringLiteral("report.jsonl"));
    // Two jobs hold at most four songs: two rendered and being encoded, the next two being
    // rendered; the fifth waits.
    QStringList songs;
    for (int i = 0; i < 5; ++i)
        songs << Song(m_work->path(), QStringLiteral("Long%1.mid").arg(i), 600.0, i + 1);
    QVERIFY(QDir().mkpath(out));
    const std::unique_ptr<QProcess> process =
        start(QStringList{QStringLiteral("-j2"), QStringLiteral("-o"), out,
                          QStringLiteral("--report"), report} +
                  songs,
              wholeGroup);
    // Once the first two songs' encoders write, the run is stopped. They write once both songs
    // are rendered and measured whole, which takes a while under a sanitizer on a busy machine.
    QTRY_VERIFY_WITH_TIMEOUT(Tree(out).size() == 2 || process->state() == QProcess::NotRunning,
                             180000);
    QCOMPARE(process->state(), QProcess::Running);
    const pid_t pid = pid_t(process->processId());
    ::kill(wholeGroup ? -pid : pid, signal);
    if (twice) {
        QTest::qSleep(10);
        ::kill(-pid, signal);
    }
    QVERIFY(process->waitForFinished(60000));
    QCOMPARE(process->exitStatus(), QProcess::NormalExit);
    QCOMPARE(process->exitCode(), 130);
    QCOMPARE(Tree(out), QStringList());

    const Report read = ReadReport(Contents(report));
    QCOMPARE(read.bySource.size(), 5);
    if (twice) {
        for (const QJsonObject& entry : read.bySource)
            QVERIFY(
                entry[QStringLiteral("reason")].toString().contains(QStringLiteral("was stopped")));
        return;
    }
    QCOMPARE(read.bySource[songs[0]][QStringLiteral("reason")].toString(),
             QStringLiteral("the conversion was stopped"));
    QCOMPARE(read.bySource[songs[1]][QStringLiteral("reason")].toString(),
             QStringLiteral("the conversion was stopped"));
    // The next two may have started rendering by the time the signal came, or not yet.
    for (int i : {2, 3})
        QVERIFY(read.bySource[songs[i]][QStringLiteral("reason")].toString().contains(
            QStringLiteral("was stopped")));
    QCOMPARE(read.bySource[songs[4]][QStringLiteral("reason")].toString(),
             QStringLiteral("the run was stopped before it was converted"));
}

void TestCollections::nextSongRendersWhileOneIsEncoded()
{
    // With one job, the next song's renderer (and its encoder, started with it) runs while the
    // song before is still levelled and encoded: two encoders at once, never two renderers.
    QList<SongFile> songs;
    QStringList arguments{
        QStringLiteral("-j1"),      QStringLiteral("--no-tags"),
        QStringLiteral("-o"),       m_work->filePath(QStringLiteral("out")),
        QStringLiteral("--report"), m_work->filePath(QStringLiteral("report.jsonl"))};
    for (int i = 0; i < 3; ++i) {
        songs << WriteSongFile(m_work->path(), QStringLiteral("Song%1.mid").arg(i), 20.0, i + 1);
        arguments << songs.last().path;
    }
    const std::unique_ptr<QProcess> process = start(arguments, false);
    QVERIFY(process->waitForStarted());
    const qint64 pid = process->processId();
    qsizetype mostRenderers = 0;
    qsizetype mostEncoders = 0;
    while (!process->waitForFinished(5)) {
        const QStringList names = ChildNames(pid);
        mostRenderers = std::max(mostRenderers, names.count(QStringLiteral("timidity")));
        mostEncoders = std::max(mostEncoders, names.count(QStringLiteral("lame")));
    }
    QCOMPARE(process->exitCode(), 0);
    QCOMPARE(mostRenderers, 1);
    QCOMPARE(mostEncoders, 2);

    const Report read = ReadReport(Contents(m_work->filePath(QStringLiteral("report.jsonl"))));
    QCOMPARE(read.order.size(), 3);
    for (const SongFile& song : std::as_const(songs)) {
        const QJsonObject entry = read.bySource[song.path];
        QCOMPARE(entry[QStringLiteral("status")].toString(), QStringLiteral("converted"));
        const AudioCheck::Pcm pcm =
            AudioCheck::DecodeMp3(entry[QStringLiteral("mp3")].toString(), m_work->path());
        QVERIFY2(pcm.ok && pcm.seconds > song.seconds - 0.5,
                 qPrintable(QString::number(pcm.seconds)));
    }
}

void TestCollections::unreadableFileInAFolderFailsAndSaysSo()
{
    if (!Nobody::CanRun())
        QSKIP("needs root and setpriv to have a file that the user cannot read");
    // The program, the songs and a TEMP folder where the unprivileged user reaches them.
    const QString program = m_work->filePath(QStringLiteral("tunepress"));
    const QString music = m_work->filePath(QStringLiteral("music"));
    const QString out = m_work->filePath(QStringLiteral("out"));
    QVERIFY(QFile::copy(m_program, program) && QDir().mkdir(music) && QDir().mkdir(out));
    const QString open = Song(music, QStringLiteral("Open.mid"), 1.0);
    const QString secret = Song(music, QStringLiteral("Secret.mid"), 1.0);
    for (const auto& [path, mode] : {std::pair{m_work->path(), 0755},
                                     {program, 0755},
                                     {music, 0755},
                                     {open, 0644},
                                     {secret, 0600}})
        QVERIFY(::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0);
    for (const QString& path : {out, m_temp->path()})
        QVERIFY(::chown(QFile::encodeName(path).constData(), Nobody::User, Nobody::Group) == 0);

    QProcess process;
    process.start(QStringLiteral("setpriv"), Nobody::Credentials()
                                                 << program << QStringLiteral("--no-tags")
                                                 << QStringLiteral("-o") << out << music);
    QVERIFY(process.waitForFinished(300000));
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QCOMPARE(process.exitCode(), 1);
    QVERIFY2(err.contains(secret + QStringLiteral(": the file cannot be read")), qPrintable(err));
    QVERIFY2(err.contains(QStringLiteral("1 converted, 1 failed")), qPrintable(err));
    QCOMPARE(Tree(out), QStringList{QStringLiteral("Open_128 kbps.mp3")});
}

QTEST_GUILESS_MAIN(TestCollections)
#include "tst_collections.moc"
