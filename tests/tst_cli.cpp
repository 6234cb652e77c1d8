// The command line, end to end: the tunepress program with the real tools.
#include "audiocheck.h"
#include "songfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <csignal>

Q_DECLARE_METATYPE(Smf::Song)

namespace {

struct Result
{
    int status = -1;
    QString out;
    QString err;
};

QByteArray Contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QStringList Names(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

QString Song(const QString& folder, const QString& name, double seconds, int seed = 1)
{
    return WriteSongFile(folder, name, seconds, seed).path;
}

QByteArray Vlq(quint32 value)
{
    QByteArray bytes(1, char(value & 0x7f));
    while (value >>= 7)
        bytes.prepend(char(0x80 | (value & 0x7f)));
    return bytes;
}

QByteArray Meta(int type, const QByteArray& text)
{
    return QByteArray(1, '\0') + char(0xff) + char(type) + Vlq(quint32(text.size())) + text;
}

// A karaoke file: a title, a copyright notice in Latin-1, and syllables as text events.
QByteArray Karaoke()
{
    QByteArray track = Meta(0x03, "Sing Along") + Meta(0x02, "\xa9 2026 Quillmere") +
                       Meta(0x01, "@KMIDI KARAOKE FILE") + Meta(0x01, "@TSing Along");
    for (const QByteArray& syllable :
         {QByteArray("\\Twin"), QByteArray("kle "), QByteArray("twin"), QByteArray("kle"),
          QByteArray("/lit"), QByteArray("tle star")}) {
        track += Meta(0x01, syllable);
        track += QByteArray("\x00\x90\x3c\x60", 4) + Vlq(480) + QByteArray("\x80\x3c\x00", 3);
    }
    track += QByteArray("\x00\xff\x2f\x00", 4);
    QByteArray length(4, '\0');
    for (int i = 0; i < 4; ++i)
        length[i] = char((track.size() >> (24 - 8 * i)) & 0xff);
    return QByteArray("MThd\x00\x00\x00\x06\x00\x00\x00\x01\x01\xe0", 14) + "MTrk" + length + track;
}

// The ReplayGain figures of an MP3 file, read by mutagen: its user text frames, "NAME=value" a
// line, and the encoder's own figure in its header, if it has one.
QStringList ReplayGainFrames(const QString& mp3)
{
    QProcess reader;
    reader.start(
        QStringLiteral("/usr/bin/python3"),
        {QStringLiteral("-c"),
         QStringLiteral("import sys\nfrom mutagen.id3 import ID3\nfrom mutagen.mp3 import MP3\n"
                        "for f in ID3(sys.argv[1]).getall('TXXX'):\n"
                        "    print(f.desc + '=' + f.text[0])\n"
                        "if MP3(sys.argv[1]).info.track_gain is not None:\n"
                        "    print('encoder header=%s' % MP3(sys.argv[1]).info.track_gain)\n"),
         mp3});
    reader.waitForFinished(60000);
    return QString::fromUtf8(reader.readAllStandardOutput())
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void usageErrorsConvertNothing_data();
    void usageErrorsConvertNothing();
    void batchNamesFailuresReportsAndResumes();
    void clashIsDecidedByOrder();
    void tagsCarryTheSongsTexts();
    void chosenSoundFontIsUsedWhateverItsName();
    void interruptStopsCleanly();
    void processesUnderParallelShareOneTemp();
    void songsReachTheirLoudnessUnclipped_data();
    void songsReachTheirLoudnessUnclipped();
    void songKeepsItsLeadingRestAndEndsSoonAfterItsSound();
    void loudnessOffKeepsTheBareToolsLevel();

private:
    Result run(const QStringList& arguments, const QByteArray& input = QByteArray());
    QString m_program;
    std::unique_ptr<QTemporaryDir> m_temp;
    std::unique_ptr<QTemporaryDir> m_work;
};

void TestCli::init()
{
    m_program = QCoreApplication::applicationDirPath() + QStringLiteral("/tunepress");
    QVERIFY(QFileInfo(m_program).isExecutable());
    m_temp = std::make_unique<QTemporaryDir>();
    m_work = std::make_unique<QTemporaryDir>();
    qputenv("TEMP", QFile::encodeName(m_temp->path()));
}

void TestCli::cleanup()
{
    // Whatever happened, no run leaves its workspace behind.
    QCOMPARE(QDir(m_temp->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList());
    m_work.reset();
    m_temp.reset();
}

Result TestCli::run(const QStringList& arguments, const QByteArray& input)
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

void TestCli::usageErrorsConvertNothing_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("said");
    QTest::newRow("bitrate not offered")
        << QStringList{QStringLiteral("-b"), QStringLiteral("100")} << "invalid bitrate '100'";
    QTest::newRow("output folder that cannot be made")
        << QStringList{QStringLiteral("-o"), QStringLiteral("/etc/passwd/mp3")}
        << "cannot create the output folder '/etc/passwd/mp3': Not a directory";
    QTest::newRow("flat without an output folder")
        << QStringList{QStringLiteral("--flat")} << "--flat needs an output folder";
    QTest::newRow("empty extension in a list")
        << QStringList{QStringLiteral("-e"), QStringLiteral("mid,,kar")}
        << "invalid extension 'mid,,kar'";
    QTest::newRow("no jobs") << QStringList{QStringLiteral("-j"), QStringLiteral("0")}
                             << "invalid number of jobs";
    QTest::newRow("not a SoundFont")
        << QStringList{QStringLiteral("--soundfont"), QStringLiteral("/etc/passwd")}
        << "is not a SoundFont";
    QTest::newRow("unknown option")
        << QStringList{QStringLiteral("--frobnicate")} << "Unknown option 'frobnicate'";
    QTest::newRow("missing list") << QStringList{QStringLiteral("--files-from"),
                                                 QStringLiteral("/no/list")}
                                  << "cannot read /no/list";
    for (const char* loudness : {"-40.5", "-4", "0", "loud", "nan", ""})
        QTest::newRow(qPrintable(QStringLiteral("loudness '%1'").arg(QLatin1String(loudness))))
            << QStringList{QStringLiteral("--loudness"), QLatin1String(loudness)}
            << "invalid loudness";
}

void TestCli::usageErrorsConvertNothing()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, said);
    const QString song = Song(m_work->path(), QStringLiteral("Song.mid"), 2.0);
    const Result result = run(arguments << song);
    QCOMPARE(result.status, 2);
    QVERIFY2(result.err.contains(said), qPrintable(result.err));
    QVERIFY(result.err.contains(QStringLiteral("Try 'tunepress --help'")));
    QCOMPARE(Names(m_work->path()), QStringList{QStringLiteral("Song.mid")});

    const Result help = run({QStringLiteral("--help")});
    QCOMPARE(help.status, 0);
    QVERIFY(help.out.contains(QStringLiteral("--files-from")));
}

void TestCli::batchNamesFailuresReportsAndResumes()
{
    const QString music = m_work->filePath(QStringLiteral("music"));
    const QString out = m_work->filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkpath(out));
    Song(music + QStringLiteral("/deep"), QStringLiteral("One.mid"), 3.0, 1);
    Song(music, QStringLiteral("Two.mid"), 3.0, 2);
    QVERIFY(WriteBytes(music + QStringLiteral("/notes.txt"), "not taken from the folder"));
    QVERIFY(WriteBytes(music + QStringLiteral("/Broken.mid"),
                       QByteArray("MThd not a MIDI file").repeated(30)));
    const QString text = m_work->filePath(QStringLiteral("letter.txt"));
    QVERIFY(WriteBytes(text, "Dear reader,\n"));
    const QString listed = Song(m_work->filePath(QStringLiteral("odd $name\\")),
                                QStringLiteral("Three 'x'.mid"), 3.0, 3);
    const QString report = m_work->filePath(QStringLiteral("report.jsonl"));

    const QStringList arguments{QStringLiteral("--flat"),
                                QStringLiteral("-o"),
                                out,
                                QStringLiteral("--report"),
                                report,
                                QStringLiteral("--files-from"),
                                QStringLiteral("-"),
                                music,
                                text};
    const Result first = run(arguments, QFile::encodeName(listed) + '\n');
    QCOMPARE(first.status, 1);
    QVERIFY2(first.err.contains(QStringLiteral("Broken.mid: no music could be rendered")),
             qPrintable(first.err));
    QVERIFY(first.err.contains(QStringLiteral("letter.txt: no music could be rendered")));
    QVERIFY2(first.err.contains(QStringLiteral("3 converted, 2 failed, 0 skipped in ")),
             qPrintable(first.err));
    QCOMPARE(Names(out), (QStringList{QStringLiteral("One_128 kbps.mp3"),
                                      QStringLiteral("Three 'x'_128 kbps.mp3"),
                                      QStringLiteral("Two_128 kbps.mp3")}));
    QVERIFY(AudioCheck::ReadMp3Frames(out + QStringLiteral("/One_128 kbps.mp3")).frames > 50);

    // The report: one object a source, each written as it ended.
    QStringList statuses;
    for (const QByteArray& line : Contents(report).split('\n')) {
        if (line.isEmpty())
            continue;
        const QJsonObject object = QJsonDocument::fromJson(line).object();
        statuses << QFileInfo(object[QStringLiteral("source")].toString()).fileName() +
                        QLatin1Char('=') + object[QStringLiteral("status")].toString();
        QVERIFY(object.contains(QStringLiteral("mp3")) &&
                object.contains(QStringLiteral("reason")) &&
                object[QStringLiteral("seconds")].toDouble() >= 0);
    }
    statuses.sort();
    QCOMPARE(
        statuses,
        (QStringList{QStringLiteral("Broken.mid=failed"), QStringLiteral("One.mid=converted"),
                     QStringLiteral("Three 'x'.mid=converted"), QStringLiteral("Two.mid=converted"),
                     QStringLiteral("letter.txt=failed")}));

    // Run again with --skip-existing: nothing is converted again.
    const QByteArray before = Contents(out + QStringLiteral("/Two_128 kbps.mp3"));
    const Result again = run(QStringList{QStringLiteral("-k"), QStringLiteral("-q")} + arguments,
                             QFile::encodeName(listed) + '\n');
    QVERIFY2(again.err.contains(QStringLiteral("0 converted, 2 failed, 3 skipped")),
             qPrintable(again.err));
    QCOMPARE(Contents(out + QStringLiteral("/Two_128 kbps.mp3")), before);
}

void TestCli::clashIsDecidedByOrder()
{
    const QString first =
        Song(m_work->filePath(QStringLiteral("a")), QStringLiteral("Song.mid"), 9.0, 1);
    const QString later =
        Song(m_work->filePath(QStringLiteral("b")), QStringLiteral("Song.mid"), 2.0, 2);
    const QString out = m_work->filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkdir(out));
    const Result result =
        run({QStringLiteral("-j"), QStringLiteral("2"), QStringLiteral("-o"), out, first, later});
    QCOMPARE(result.status, 1);
    QVERIFY2(result.err.contains(later + QStringLiteral(": its MP3 file is written from ") + first),
             qPrintable(result.err));
    const AudioCheck::Pcm pcm =
        AudioCheck::DecodeMp3(out + QStringLiteral("/Song_128 kbps.mp3"), m_work->path());
    QVERIFY2(pcm.ok && pcm.seconds > 8.5, qPrintable(QString::number(pcm.seconds)));
}

void TestCli::tagsCarryTheSongsTexts()
{
    if (!QFileInfo(QStringLiteral("/usr/bin/python3")).isExecutable())
        QSKIP("the tag reader python3-mutagen is not installed");
    const QString karaoke = m_work->filePath(QStringLiteral("song.kar"));
    QVERIFY(WriteBytes(karaoke, Karaoke()));
    const QString plain = Song(m_work->path(), QStringLiteral("Plain.mid"), 2.0);
    const Result result = run({QStringLiteral("-e"), QStringLiteral("kar"), karaoke, plain});
    QCOMPARE(result.status, 0);

    QProcess reader;
    reader.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import sys\nfrom mutagen.id3 import ID3\n"
                                 "for path in sys.argv[1:]:\n"
                                 "    t = ID3(path)\n"
                                 "    print(repr((str(t.get('TIT2')), str(t.get('TCOP')), "
                                 "[str(f) for f in t.getall('USLT')])))\n"),
                  m_work->filePath(QStringLiteral("song_128 kbps.mp3")),
                  m_work->filePath(QStringLiteral("Plain_128 kbps.mp3"))});
    QVERIFY(reader.waitForFinished(60000));
    const QStringList lines =
        QString::fromUtf8(reader.readAllStandardOutput()).split(QLatin1Char('\n'));
    QVERIFY2(reader.exitCode() == 0 && lines.size() >= 2,
             reader.readAllStandardError().constData());
    QCOMPARE(lines[0], QStringLiteral("('Sing Along', '\u00a9 2026 Quillmere', "
                                      "['Twinkle twinkle\\nlittle star'])"));
    // Without a title of its own, a song is named after its file.
    QVERIFY2(lines[1].startsWith(QStringLiteral("('")), qPrintable(lines[1]));
}

void TestCli::chosenSoundFontIsUsedWhateverItsName()
{
    const QString fluid = QStringLiteral("/usr/share/sounds/sf2/FluidR3_GM.sf2");
    const QString small = QStringLiteral("/usr/share/sounds/sf2/TimGM6mb.sf2");
    if (!QFileInfo(fluid).isFile() || !QFileInfo(small).isFile())
        QSKIP("needs two SoundFonts (fluid-soundfont-gm, timgm6mb-soundfont)");
    // A quote and a line break would break the renderer's configuration if they reached it.
    const QString odd = m_work->filePath(QStringLiteral("my \"font\"\nsource x.sf2"));
    QVERIFY(QFile::link(small, odd));
    const QString song = Song(m_work->path(), QStringLiteral("Song.mid"), 3.0);
    const QString mp3 = m_work->filePath(QStringLiteral("Song_128 kbps.mp3"));
    QList<QByteArray> sounds;
    for (const QString& font : {odd, fluid}) {
        const Result result =
            run({QStringLiteral("--no-tags"), QStringLiteral("--soundfont"), font, song});
        QVERIFY2(result.status == 0, qPrintable(result.err));
        QVERIFY(AudioCheck::ReadMp3Frames(mp3).frames > 50);
        sounds << Contents(mp3);
    }
    // Each SoundFont plays every instrument, whatever the system's configuration maps: the
    // two sound apart.
    QVERIFY(sounds[0] != sounds[1]);
}

void TestCli::interruptStopsCleanly()
{
    const QString out = m_work->filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkdir(out));
    QStringList songs;
    for (int i = 0; i < 3; ++i)
        songs << Song(m_work->path(), QStringLiteral("Long%1.mid").arg(i), 240.0, i + 1);
    QProcess process;
    process.start(
        m_program,
        QStringList{QStringLiteral("-j"), QStringLiteral("2"), QStringLiteral("-o"), out} + songs);
    QVERIFY(process.waitForStarted());
    // Once the encoders write, the run is stopped as Ctrl-C stops it.
    QTRY_VERIFY_WITH_TIMEOUT(!Names(out).isEmpty() || process.state() == QProcess::NotRunning,
                             120000);
    QCOMPARE(process.state(), QProcess::Running);
    ::kill(pid_t(process.processId()), SIGINT);
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 130);
    QCOMPARE(Names(out), QStringList());
}

void TestCli::processesUnderParallelShareOneTemp()
{
    const QString parallel = QStandardPaths::findExecutable(QStringLiteral("parallel"));
    if (parallel.isEmpty())
        QSKIP("GNU parallel is not installed");
    const QString out = m_work->filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkdir(out));
    QByteArray list;
    for (int i = 0; i < 4; ++i)
        list += QFile::encodeName(
                    Song(m_work->path(), QStringLiteral("Song %1.mid").arg(i), 3.0, i + 1)) +
                '\n';
    QProcess process;
    // Each process gets two sources; the two processes run at once in one TEMP folder.
    process.start(parallel,
                  {QStringLiteral("--will-cite"), QStringLiteral("-j2"), QStringLiteral("-N2"),
                   m_program, QStringLiteral("-q"), QStringLiteral("-o"), out,
                   QStringLiteral("::::"), QStringLiteral("-")});
    process.write(list);
    process.closeWriteChannel();
    QVERIFY(process.waitForFinished(300000));
    QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());
    QCOMPARE(Names(out).size(), 4);
    for (const QString& name : Names(out))
        QVERIFY(AudioCheck::ReadMp3Frames(out + QLatin1Char('/') + name).frames > 50);
}

void TestCli::songsReachTheirLoudnessUnclipped_data()
{
    QTest::addColumn<Smf::Song>("song");
    QTest::addColumn<QString>("loudness");
    QTest::addColumn<double>("target");
    QTest::addColumn<bool>("capped");
    QTest::newRow("every channel at full volume and velocity")
        << Songs::Loud(12) << "-16" << -16.0 << false;
    QTest::newRow("sparse loud drums over a soft piano")
        << Songs::SparseDrums(16) << "-16" << -16.0 << false;
    QTest::newRow("another target") << Smf::Demo(12, 4) << "-23" << -23.0 << false;
    QTest::newRow("the limiter at work all through") << Smf::Demo(12, 1) << "-16" << -16.0 << false;
    Smf::Song whisper = Smf::Demo(12, 2);
    for (Smf::Track& track : whisper.tracks) {
        track.volume = 60;
        for (Smf::Note& note : track.notes)
            note.velocity = 60;
    }
    QTest::newRow("a near-silent song stays below") << whisper << "-16" << -16.0 << true;
}

void TestCli::songsReachTheirLoudnessUnclipped()
{
    QFETCH(Smf::Song, song);
    QFETCH(QString, loudness);
    QFETCH(double, target);
    QFETCH(bool, capped);
    const QString midi = WriteSongFile(m_work->path(), QStringLiteral("Song.mid"), song).path;
    const QString report = m_work->filePath(QStringLiteral("report.jsonl"));
    const Result result =
        run({QStringLiteral("--loudness"), loudness, QStringLiteral("--report"), report, midi});
    QVERIFY2(result.status == 0, qPrintable(result.err));
    const QString mp3 = m_work->filePath(QStringLiteral("Song_128 kbps.mp3"));
    const AudioCheck::Level level = AudioCheck::MeasureLevel(mp3);
    QVERIFY2(level.ok, "ffmpeg could not measure the MP3 file");
    const QString said = QStringLiteral("%1 LUFS, %2 dBTP").arg(level.lufs).arg(level.truePeak);
    QVERIFY2(level.truePeak <= -1.0, qPrintable(said));
    const QJsonObject object = QJsonDocument::fromJson(Contents(report)).object();
    if (capped) {
        QVERIFY2(level.lufs < target - 0.5, qPrintable(said));
        QVERIFY(object[QStringLiteral("note")].toString().contains(QStringLiteral("below")));
        QVERIFY(result.out.contains(QStringLiteral("below the target")));
    } else {
        QVERIFY2(std::abs(level.lufs - target) <= 0.5, qPrintable(said));
    }
    // The report and the finished line tell what the meter reads.
    QVERIFY2(std::abs(object[QStringLiteral("lufs")].toDouble() - level.lufs) <= 0.3,
             Contents(report).constData());
    QVERIFY(result.out.contains(QString::number(object[QStringLiteral("lufs")].toDouble(), 'f', 1) +
                                QStringLiteral(" LUFS")));
    QVERIFY(object[QStringLiteral("true_peak")].toDouble() <= -1.0);
    QVERIFY(object[QStringLiteral("limited_db")].toDouble() >= 0);
    QVERIFY(object.contains(QStringLiteral("gain_db")));

    // Players that level by tag agree: the gain to -18 LUFS and the peak, as ReplayGain 2.0
    // writes them, and no other figure of the encoder's own.
    const QStringList frames = ReplayGainFrames(mp3);
    QCOMPARE(frames.size(), 2);
    static const QRegularExpression gainForm(
        QStringLiteral("^REPLAYGAIN_TRACK_GAIN=([-+][0-9]+\\.[0-9]{2}) dB$"));
    const auto gain = gainForm.match(frames.filter(QStringLiteral("GAIN")).value(0));
    QVERIFY2(gain.hasMatch(), qPrintable(frames.join(QLatin1Char(' '))));
    QVERIFY(std::abs(gain.captured(1).toDouble() - (-18 - level.lufs)) <= 0.5);
    const double peak =
        frames.filter(QStringLiteral("PEAK")).value(0).section(QLatin1Char('='), 1).toDouble();
    QVERIFY2(peak > 0 && peak <= std::pow(10, -1.0 / 20),
             qPrintable(frames.join(QLatin1Char(' '))));
}

void TestCli::songKeepsItsLeadingRestAndEndsSoonAfterItsSound()
{
    const QString midi =
        WriteSongFile(m_work->path(), QStringLiteral("Late.mid"), Songs::LateStart()).path;
    const Result result = run({QStringLiteral("--no-tags"), midi});
    QVERIFY2(result.status == 0, qPrintable(result.err));
    const AudioCheck::Pcm pcm = AudioCheck::DecodeMp3(
        m_work->filePath(QStringLiteral("Late_128 kbps.mp3")), m_work->path());
    QVERIFY(pcm.ok);
    const QString said = QStringLiteral("sound from %1 s to %2 s of %3 s")
                             .arg(pcm.firstSound)
                             .arg(pcm.lastSound)
                             .arg(pcm.seconds);
    // The first note sounds at its time, 2.25 s in.
    QVERIFY2(pcm.firstSound > 2.2 && pcm.firstSound < 2.35, qPrintable(said));
    // At most half a second below -60 dBFS at the end, and no sound above it cut.
    QVERIFY2(pcm.seconds - pcm.lastSound <= 0.55 && pcm.seconds - pcm.lastSound > 0.4,
             qPrintable(said));
}

void TestCli::loudnessOffKeepsTheBareToolsLevel()
{
    const QString midi = Song(m_work->path(), QStringLiteral("Song.mid"), 12.0, 5);
    const Result result = run({QStringLiteral("--loudness"), QStringLiteral("off"), midi});
    QVERIFY2(result.status == 0, qPrintable(result.err));
    const AudioCheck::Level ours =
        AudioCheck::MeasureLevel(m_work->filePath(QStringLiteral("Song_128 kbps.mp3")));
    const AudioCheck::Level bare = AudioCheck::MeasureLevel(AudioCheck::BareMp3(
        midi, m_work->path(), QStringLiteral("/usr/share/sounds/sf2/TimGM6mb.sf2"), 128));
    QVERIFY(ours.ok && bare.ok);
    // This song does not clip at the renderer's level, so nothing lowers it.
    QVERIFY2(bare.truePeak < -1.0, qPrintable(QString::number(bare.truePeak)));
    QVERIFY2(std::abs(ours.lufs - bare.lufs) <= 0.2,
             qPrintable(QStringLiteral("%1 against %2 LUFS").arg(ours.lufs).arg(bare.lufs)));
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
