// The conversion engine on its own, without a window: this program links the core only.
#include "audiocheck.h"
#include "convert/job.h"
#include "convert/songbuffer.h"
#include "convert/staging.h"
#include "convert/workspace.h"
#include "songfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <cmath>
#include <memory>
#include <sys/stat.h>

namespace {

using Staging::Resource;

QByteArray Contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList Names(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::Dirs | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

void Stage(Workspace& workspace)
{
    Staging::WriteConfigFor(Staging::ResourceSource(Resource::SoundFont), workspace, false);
}

// One entry through the steps the window takes, or rendered straight into the encoder.
Conversion::Outcome Convert(Workspace& workspace, const QString& source, const QString& mp3,
                            bool piped)
{
    Conversion::Job job({source, mp3, workspace.path()});
    if (piped) {
        job.renderIntoEncoder(QStringLiteral("timidity"), QStringLiteral("lame"), 64);
        return job.finish();
    }
    job.removeWav();
    job.clearPartialMp3();
    job.render(Staging::RunnableRenderer(Staging::ResourceSource(Resource::Renderer), workspace),
               {});
    if (job.renderedMusic())
        job.encode(Staging::ResourceSource(Resource::Encoder), 64, {});
    job.removeWav();
    return job.finish();
}

// Checks an MP3 file's frames and sound against the song it was made from.
void CheckMp3(const QString& mp3, double seconds, const QString& scratch)
{
    const AudioCheck::Mp3Frames frames = AudioCheck::ReadMp3Frames(mp3);
    QVERIFY2(frames.frames > 10, qPrintable(mp3));
    for (const int kbps : frames.bitrates)
        QCOMPARE(kbps, 64);
    const AudioCheck::Pcm pcm = AudioCheck::DecodeMp3(mp3, scratch);
    QVERIFY(pcm.ok && pcm.rms > 0.003);
    // The renderer lets the last notes ring out for a moment.
    QVERIFY2(pcm.seconds > seconds - 0.5 && pcm.seconds < seconds + 4.5,
             qPrintable(QStringLiteral("%1 s for %2 s").arg(pcm.seconds).arg(seconds)));
}

} // namespace

Q_DECLARE_METATYPE(Smf::Song)

class TestEngine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void convertsAndLeavesOnlyTheMp3_data();
    void convertsAndLeavesOnlyTheMp3();
    void failedReconversionKeepsTheEarlierMp3_data();
    void failedReconversionKeepsTheEarlierMp3();
    void replacedMp3KeepsItsPermissionBits_data();
    void replacedMp3KeepsItsPermissionBits();
    void twoRunsAtOnceShareNothing();
    void wavStreamCountsTheSamplesPassingBy();
    void windowRestoresTheRenderersLevelWithoutClipping_data();
    void windowRestoresTheRenderersLevelWithoutClipping();
    void songBufferSpillsBeyondItsBoundAndRemovesIt();

private:
    std::unique_ptr<QTemporaryDir> m_temp;
    std::unique_ptr<QTemporaryDir> m_work;
};

void TestEngine::init()
{
    m_temp = std::make_unique<QTemporaryDir>();
    m_work = std::make_unique<QTemporaryDir>();
    qputenv("TEMP", QFile::encodeName(m_temp->path()));
}

void TestEngine::cleanup()
{
    m_work.reset();
    m_temp.reset();
}

void TestEngine::convertsAndLeavesOnlyTheMp3_data()
{
    QTest::addColumn<bool>("piped");
    QTest::newRow("step by step") << false;
    QTest::newRow("rendered into the encoder") << true;
}

void TestEngine::convertsAndLeavesOnlyTheMp3()
{
    QFETCH(bool, piped);
    const SongFile song = WriteSongFile(m_work->path(), QStringLiteral("Song.mid"), 4.0);
    const QString mp3 = m_work->filePath(QStringLiteral("Song_64 kbps.mp3"));
    {
        Workspace workspace;
        Stage(workspace);
        const Conversion::Outcome outcome = Convert(workspace, song.path, mp3, piped);
        QVERIFY2(outcome.converted(), qPrintable(outcome.reason));
        QCOMPARE(outcome.mp3, mp3);
        QVERIFY(outcome.facts.wav.audioBytes > 4 * 44100 * 4 - 44100);
    }
    CheckMp3(mp3, song.seconds, m_temp->path());
    QCOMPARE(Names(m_work->path()),
             (QStringList{QStringLiteral("Song.mid"), QStringLiteral("Song_64 kbps.mp3")}));
    QCOMPARE(Names(m_temp->path()), QStringList());
}

void TestEngine::failedReconversionKeepsTheEarlierMp3_data()
{
    QTest::addColumn<bool>("piped");
    QTest::addColumn<QByteArray>("laterSource");
    QTest::addColumn<QString>("reason");
    const QByteArray corrupt = QByteArray("MThd not really a MIDI file").repeated(30);
    QTest::newRow("corrupt, step by step") << false << corrupt << "no music could be rendered";
    QTest::newRow("corrupt, piped") << true << corrupt << "no music could be rendered";
    QTest::newRow("gone") << false << QByteArray() << "the file was not found";
}

void TestEngine::failedReconversionKeepsTheEarlierMp3()
{
    QFETCH(bool, piped);
    QFETCH(QByteArray, laterSource);
    QFETCH(QString, reason);
    const SongFile song = WriteSongFile(m_work->path(), QStringLiteral("Song.mid"), 3.0);
    const QString mp3 = m_work->filePath(QStringLiteral("Song_64 kbps.mp3"));
    Workspace workspace;
    Stage(workspace);
    QVERIFY(Convert(workspace, song.path, mp3, piped).converted());
    const QByteArray earlier = Contents(mp3);

    QVERIFY(QFile::remove(song.path));
    if (!laterSource.isEmpty()) {
        QFile file(song.path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(laterSource) == laterSource.size());
    }
    const Conversion::Outcome outcome = Convert(workspace, song.path, mp3, piped);
    QVERIFY2(outcome.reason.startsWith(reason), qPrintable(outcome.reason));
    QVERIFY(outcome.mp3.isEmpty());
    QCOMPARE(Contents(mp3), earlier);
    QCOMPARE(Names(m_work->path()),
             (QStringList{QStringLiteral("Song.mid"), QStringLiteral("Song_64 kbps.mp3")})
                 .mid(laterSource.isEmpty() ? 1 : 0));
}

void TestEngine::replacedMp3KeepsItsPermissionBits_data()
{
    QTest::addColumn<bool>("piped");
    QTest::addColumn<int>("mode");
    QTest::newRow("shared with the group, step by step") << false << 0664;
    QTest::newRow("read-only, piped") << true << 0444;
}

void TestEngine::replacedMp3KeepsItsPermissionBits()
{
    QFETCH(bool, piped);
    QFETCH(int, mode);
    const SongFile song = WriteSongFile(m_work->path(), QStringLiteral("Song.mid"), 2.0);
    const QString mp3 = m_work->filePath(QStringLiteral("Song_64 kbps.mp3"));
    QFile earlier(mp3);
    QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write("an earlier result") > 0);
    earlier.close();
    QVERIFY(::chmod(QFile::encodeName(mp3).constData(), mode_t(mode)) == 0);
    Workspace workspace;
    Stage(workspace);

    QVERIFY(Convert(workspace, song.path, mp3, piped).converted());
    struct stat facts = {};
    QVERIFY(::stat(QFile::encodeName(mp3).constData(), &facts) == 0);
    QCOMPARE(int(facts.st_mode & 07777), mode);
    QVERIFY(facts.st_size > 1000);
}

void TestEngine::twoRunsAtOnceShareNothing()
{
    // Two runs in one TEMP folder, over the same sources, each into a folder of its own.
    const QStringList names{QStringLiteral("A.mid"), QStringLiteral("B.mid"),
                            QStringLiteral("C.mid")};
    QList<SongFile> songs;
    for (const QString& name : names)
        songs << WriteSongFile(m_work->path(), name, 3.0, int(songs.size()) + 1);
    const QString outs[] = {m_work->filePath(QStringLiteral("one")),
                            m_work->filePath(QStringLiteral("two"))};
    QStringList reasons[2];
    auto run = [&](int which, bool piped) {
        Workspace workspace;
        Stage(workspace);
        for (const SongFile& song : std::as_const(songs)) {
            const QString mp3 = outs[which] + QLatin1Char('/') + Conversion::BaseName(song.path) +
                                QStringLiteral("_64 kbps.mp3");
            reasons[which] << Convert(workspace, song.path, mp3, piped).reason;
        }
    };
    for (const QString& out : outs)
        QVERIFY(QDir().mkdir(out));
    std::unique_ptr<QThread> first(QThread::create(run, 0, false));
    std::unique_ptr<QThread> second(QThread::create(run, 1, true));
    first->start();
    second->start();
    QVERIFY(first->wait(QDeadlineTimer(300000)) && second->wait(QDeadlineTimer(300000)));

    for (int which = 0; which < 2; ++which) {
        QCOMPARE(reasons[which], QStringList(names.size(), QString()));
        for (const SongFile& song : std::as_const(songs))
            CheckMp3(outs[which] + QLatin1Char('/') + Conversion::BaseName(song.path) +
                         QStringLiteral("_64 kbps.mp3"),
                     song.seconds, m_temp->path());
    }
    // Both workspaces are gone: nothing of either run is left in TEMP.
    QCOMPARE(Names(m_temp->path()), QStringList());
}

void TestEngine::wavStreamCountsTheSamplesPassingBy()
{
    const QByteArray format =
        QByteArray("fmt ") + QByteArray::fromHex("10000000") + QByteArray(16, '\x01');
    // As a renderer writes to a pipe: sizes it cannot know are left at their largest.
    const QByteArray stream = QByteArray("RIFF") + QByteArray::fromHex("ffffffff") + "WAVE" +
                              format + "LIST" + QByteArray::fromHex("03000000") + "abc" + '\0' +
                              "data" + QByteArray::fromHex("ffffffff") + QByteArray(1000, '\x07');
    // Fed in any pieces, the count is the same.
    for (const qsizetype piece : {qsizetype(1), qsizetype(7), stream.size()}) {
        Conversion::WavStream wav;
        for (qsizetype at = 0; at < stream.size(); at += piece)
            wav.feed(QByteArrayView(stream).sliced(at, std::min(piece, stream.size() - at)));
        QVERIFY(wav.facts().isWave);
        QCOMPARE(wav.facts().audioBytes, qint64(1000));
    }
    Conversion::WavStream header;
    header.feed(stream.left(stream.size() - 1000));
    QCOMPARE(header.facts().audioBytes, qint64(0));
    Conversion::WavStream text;
    text.feed(QByteArray("Not a MIDI file!\n").repeated(10000));
    QVERIFY(!text.facts().isWave);
    QCOMPARE(text.facts().audioBytes, qint64(0));
}

void TestEngine::windowRestoresTheRenderersLevelWithoutClipping_data()
{
    QTest::addColumn<Smf::Song>("song");
    QTest::addColumn<bool>("clipsAtTheRenderersLevel");
    QTest::newRow("every channel at full volume and velocity") << Songs::Loud(8) << true;
    QTest::newRow("a song that does not clip") << Smf::Demo(8, 3) << false;
}

void TestEngine::windowRestoresTheRenderersLevelWithoutClipping()
{
    QFETCH(Smf::Song, song);
    QFETCH(bool, clipsAtTheRenderersLevel);
    const QString midi = WriteSongFile(m_work->path(), QStringLiteral("Song.mid"), song).path;
    const QString mp3 = m_work->filePath(QStringLiteral("Song_64 kbps.mp3"));
    Workspace workspace;
    Stage(workspace);
    const Conversion::Outcome outcome = Convert(workspace, midi, mp3, false);
    QVERIFY2(outcome.converted(), qPrintable(outcome.reason));
    // Rendered with headroom: no sample reached full scale.
    QVERIFY2(outcome.facts.wav.peak > 0.001 && outcome.facts.wav.peak < 0.9,
             qPrintable(QString::number(outcome.facts.wav.peak)));

    const AudioCheck::Level ours = AudioCheck::MeasureLevel(mp3);
    const AudioCheck::Level bare = AudioCheck::MeasureLevel(AudioCheck::BareMp3(
        midi, m_work->path(), Staging::ResourceSource(Resource::SoundFont), 64));
    QVERIFY(ours.ok && bare.ok);
    const QString said = QStringLiteral("%1 LUFS, %2 dBTP; the bare tools: %3 LUFS, %4 dBTP")
                             .arg(ours.lufs)
                             .arg(ours.truePeak)
                             .arg(bare.lufs)
                             .arg(bare.truePeak);
    QVERIFY2(ours.truePeak <= 0.0, qPrintable(said));
    if (clipsAtTheRenderersLevel)
        QVERIFY2(bare.truePeak > 0.0 && ours.lufs < bare.lufs, qPrintable(said));
    else
        QVERIFY2(std::abs(ours.lufs - bare.lufs) <= 0.3, qPrintable(said));
}

void TestEngine::songBufferSpillsBeyondItsBoundAndRemovesIt()
{
    QByteArray song;
    for (int i = 0; i < 5000; ++i)
        song.append(char(i * 7 % 251));
    for (const qint64 limit : {qint64(1000), qint64(1) << 20}) {
        SongBuffer buffer(m_temp->path(), limit);
        for (qsizetype at = 0; at < song.size(); at += 1234)
            QVERIFY(buffer.append(
                QByteArrayView(song).sliced(at, std::min<qsizetype>(1234, song.size() - at))));
        QCOMPARE(buffer.size(), song.size());
        // Only what outgrew memory is in the workspace.
        const QString spill = buffer.spillPath();
        QCOMPARE(spill.isEmpty(), limit > song.size());
        if (!spill.isEmpty())
            QCOMPARE(QFileInfo(spill).absolutePath(), QFileInfo(m_temp->path()).absoluteFilePath());
        // Read as often as needed, in any pieces.
        for (const qint64 piece : {qint64(999), qint64(4096)}) {
            SongBuffer::Reader reader(buffer);
            QByteArray back;
            for (QByteArray more = reader.read(piece); !more.isEmpty(); more = reader.read(piece))
                back += more;
            QVERIFY(reader.ok());
            QCOMPARE(back, song);
        }
        if (!spill.isEmpty())
            QCOMPARE(QFileInfo(spill).size(), song.size() - limit);
        buffer.release();
        QCOMPARE(Names(m_temp->path()), QStringList());
    }
}

QTEST_GUILESS_MAIN(TestEngine)
#include "tst_engine.moc"
