#include "app/mainwindow.h"
#include "app/progressbar.h"
#include "audiocheck.h"
#include "convert/conversion.h"
#include "filelist/filelistview.h"
#include "reliability.h"
#include "songfile.h"
#include "testwindow.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <sys/stat.h>

namespace {

bool WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

QStringList FilesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// What the window showed at one moment of a run.
struct Sight
{
    QString barText;
    long long barValue = 0;
    int pointer = 0;
    bool converting = false;
    QStringList tempFiles;
};

} // namespace

class TestConversion : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void outputNames_data();
    void outputNames();
    void wavInspectionCountsOnlySamplesPresent_data();
    void wavInspectionCountsOnlySamplesPresent();

    void convertsToTheExactNameAtTheChosenBitrate_data();
    void convertsToTheExactNameAtTheChosenBitrate();
    void sourceFolderOptionWritesBesideTheSource();
    void existingReadOnlyMp3IsReplacedAsAnUnprivilegedUser();
    void failedReconversionKeepsTheEarlierMp3();
    void twoSourcesWithOneBaseNameLeaveTheLaterResult();
    void refusalsStageNothing_data();
    void refusalsStageNothing();
    void progressShowsEachEntryAndSecondClickDoesNothing();
    void failedEntriesAreListedAndTheRunGoesOn();
    void manyFailuresAreCounted();
    void noSaveOptionConvertsNothing();
    void awkwardNamesConvert_data();
    void awkwardNamesConvert();
    void removalDuringTheRunNamesTheEntryLeftOut();
    void missedEntriesAreNamed();
    void entriesAddedDuringTheRunWaitAndClearingIsRefused();
    void missingRendererIsReportedAndNoEntryPasses();
    void plantedRendererIsNeverRun();

private:
    MainWindow& makeForm(const QString& bitrate = QStringLiteral("128 kbps"));
    Sight look() const;
    void checkMp3(const QString& path, int kbps, double midiSeconds);

    QTemporaryDir* m_temp = nullptr;
    QTemporaryDir* m_work = nullptr;
    QString m_music;
    QString m_out;
    TestWindow* m_test = nullptr;
    QByteArray m_savedPath;
};

void TestConversion::init()
{
    // A TEMP with blanks and shell characters in it must not matter.
    m_temp = new QTemporaryDir(QDir::tempPath() + QStringLiteral("/conv temp $`' XXXXXX"));
    m_work = new QTemporaryDir;
    QVERIFY(m_temp->isValid() && m_work->isValid());
    qputenv("TEMP", QFile::encodeName(m_temp->path()));
    m_savedPath = qgetenv("PATH");
    m_music = m_work->path() + QStringLiteral("/music");
    m_out = m_work->path() + QStringLiteral("/out");
    QVERIFY(QDir().mkpath(m_music) && QDir().mkpath(m_out));
    m_test = new TestWindow;
}

void TestConversion::cleanup()
{
    qputenv("PATH", m_savedPath);
    delete m_test;
    delete m_work;
    delete m_temp;
    m_test = nullptr;
}

MainWindow& TestConversion::makeForm(const QString& bitrate)
{
    MainWindow& form = m_test->load();
    form.bitrateBox->setCurrentText(bitrate);
    form.saveToFolderOption->setChecked(true);
    form.outputFolderBox->setText(m_out);
    return form;
}

Sight TestConversion::look() const
{
    const MainWindow& form = *m_test->form;
    return {form.progressBar->Text(), form.progressBar->Value(), form.mousePointer(),
            form.isConverting(), FilesIn(m_temp->path())};
}

void TestConversion::checkMp3(const QString& path, int kbps, double midiSeconds)
{
    QVERIFY2(QFile::exists(path), qPrintable(path));
    const AudioCheck::Mp3Frames frames = AudioCheck::ReadMp3Frames(path);
    QVERIFY(frames.frames > 10);
    QVERIFY(frames.stereo);
    for (const int frameKbps : frames.bitrates)
        QCOMPARE(frameKbps, kbps);
    const AudioCheck::Pcm pcm = AudioCheck::DecodeMp3(path, m_work->path());
    QVERIFY(pcm.ok);
    QVERIFY2(pcm.rms > 0.003, qPrintable(QString::number(pcm.rms)));
    // The renderer lets the last notes ring out for a moment.
    QVERIFY2(
        pcm.seconds > midiSeconds - 0.5 && pcm.seconds < midiSeconds + 4.5,
        qPrintable(
            QStringLiteral("%1 s of audio for %2 s of music").arg(pcm.seconds).arg(midiSeconds)));
}

void TestConversion::outputNames_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("mp3");
    QTest::addColumn<QString>("wav");
    QTest::newRow("plain") << "/out"
                           << "/music/Song.mid"
                           << "/out/Song_128 kbps.mp3"
                           << "/t/Song.wav";
    QTest::newRow("folder ending in a separator") << "/out/"
                                                  << "/music/Song.mid"
                                                  << "/out/Song_128 kbps.mp3"
                                                  << "/t/Song.wav";
    QTest::newRow("several dots") << "/out"
                                  << "/m/My.Song.mid"
                                  << "/out/My.Song_128 kbps.mp3"
                                  << "/t/My.Song.wav";
    QTest::newRow("only a leading dot") << "/out"
                                        << "/m/.mid"
                                        << "/out/.mid_128 kbps.mp3"
                                        << "/t/.mid.wav";
    QTest::newRow("no extension") << "/out"
                                  << "/m/Song"
                                  << "/out/Song_128 kbps.mp3"
                                  << "/t/Song.wav";
    QTest::newRow("source folder option") << "/music/"
                                          << "/music/Song.mid"
                                          << "/music/Song_128 kbps.mp3"
                                          << "/t/Song.wav";
}

void TestConversion::outputNames()
{
    QFETCH(QString, folder);
    QFETCH(QString, source);
    QFETCH(QString, mp3);
    QFETCH(QString, wav);
    const QString base = Conversion::BaseName(source);
    QCOMPARE(Conversion::Mp3Path(folder, base, QStringLiteral("128 kbps")), mp3);
    QCOMPARE(Conversion::WavPath(QStringLiteral("/t"), base), wav);
}

void TestConversion::wavInspectionCountsOnlySamplesPresent_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("isWave");
    QTest::addColumn<qint64>("audioBytes");
    const QByteArray format =
        QByteArray("fmt ") + QByteArray::fromHex("10000000") + QByteArray(16, '\x01');
    const auto riff = [](const QByteArray& chunks) {
        return QByteArray("RIFF") + QByteArray::fromHex("00000000") + "WAVE" + chunks;
    };
    QTest::newRow("header only") << riff(format + "data" + QByteArray::fromHex("00000000")) << true
                                 << qint64(0);
    QTest::newRow("samples") << riff(format + "data" + QByteArray::fromHex("08000000") +
                                     QByteArray(8, '\x05'))
                             << true << qint64(8);
    QTest::newRow("cut short") << riff(format + "data" + QByteArray::fromHex("00100000") +
                                       QByteArray(6, '\x05'))
                               << true << qint64(6);
    QTest::newRow("odd chunk before the data")
        << riff(format + "LIST" + QByteArray::fromHex("03000000") + "abc" + '\0' + "data" +
                QByteArray::fromHex("04000000") + "wxyz")
        << true << qint64(4);
    QTest::newRow("no data chunk") << riff(format) << true << qint64(0);
    QTest::newRow("not a wave") << QByteArray("MThd\0\0\0\x06") << false << qint64(0);
    QTest::newRow("empty") << QByteArray() << false << qint64(0);
}

void TestConversion::wavInspectionCountsOnlySamplesPresent()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, isWave);
    QFETCH(qint64, audioBytes);
    const QString path = m_work->path() + QStringLiteral("/x.wav");
    QVERIFY(WriteBytes(path, bytes));
    const Conversion::WavFacts facts = Conversion::InspectWav(path);
    QCOMPARE(facts.isWave, isWave);
    QCOMPARE(facts.audioBytes, audioBytes);
    QCOMPARE(Conversion::InspectWav(path + QStringLiteral(".gone")).isWave, false);
}

void TestConversion::convertsToTheExactNameAtTheChosenBitrate_data()
{
    QTest::addColumn<QString>("bitrate");
    QTest::addColumn<int>("kbps");
    QTest::newRow("128 kbps") << QStringLiteral("128 kbps") << 128;
    QTest::newRow("8 kbps") << QStringLiteral("8 kbps") << 8;
    QTest::newRow("320 kbps") << QStringLiteral("320 kbps") << 320;
}

void TestConversion::convertsToTheExactNameAtTheChosenBitrate()
{
    QFETCH(QString, bitrate);
    QFETCH(int, kbps);
    MainWindow& form = makeForm(bitrate);
    const SongFile song = WriteSongFile(m_music, QStringLiteral("Song.mid"), 4.0, kbps);
    form.fileList->append(song.path);

    Sight atDone;
    m_test->dialogs.onMessage = [&](const ScriptedDialogs::Shown&) { atDone = look(); };
    form.startConverting();

    QCOMPARE(m_test->dialogs.messageTexts(), QStringList{QStringLiteral("Done.")});
    const auto done = m_test->dialogs.messages().first();
    QCOMPARE(done.title, form.appTitle());
    QCOMPARE(done.buttons, tp::MessageButtons::Ok);
    QCOMPARE(done.icon, tp::MessageIcon::None);
    // While "Done." shows, the run has tidied up but still counts as running.
    QCOMPARE(atDone.barText, QStringLiteral("Progress Bar"));
    QCOMPARE(atDone.barValue, 0);
    QCOMPARE(atDone.pointer, Pointer::Default);
    QVERIFY(atDone.converting);
    QCOMPARE(atDone.tempFiles, QStringList());
    QVERIFY(!form.isConverting());

    QCOMPARE(FilesIn(m_out),
             QStringList{QStringLiteral("Song_") + bitrate + QStringLiteral(".mp3")});
    checkMp3(m_out + QStringLiteral("/Song_") + bitrate + QStringLiteral(".mp3"), kbps,
             song.seconds);
    QCOMPARE(form.fileList->count(), 1);
}

void TestConversion::sourceFolderOptionWritesBesideTheSource()
{
    MainWindow& form = makeForm();
    form.saveBesideSourceOption->setChecked(true);
    // With the source folder chosen, the output folder text is not looked at.
    form.outputFolderBox->setText(m_work->path() + QStringLiteral("/nowhere"));
    const SongFile song = WriteSongFile(m_music, QStringLiteral("My.Song.mid"), 3.0);
    form.fileList->append(song.path);
    form.startConverting();

    QCOMPARE(m_test->dialogs.messageTexts(), QStringList{QStringLiteral("Done.")});
    checkMp3(m_music + QStringLiteral("/My.Song_128 kbps.mp3"), 128, song.seconds);
    QCOMPARE(FilesIn(m_out), QStringList());
}

void TestConversion::existingReadOnlyMp3IsReplacedAsAnUnprivilegedUser()
{
    // Root may write any file, so the run is made by a user whom the permissions bind.
    if (!Reliability::CanRunAsNobody())
        QSKIP("needs root and setpriv to run as an unprivileged user");
    QVERIFY(::chmod(QFile::encodeName(m_work->path()).constData(), 0755) == 0);
    QVERIFY(::chmod(QFile::encodeName(m_music).constData(), 0755) == 0);
    QVERIFY(::chown(QFile::encodeName(m_out).constData(), Nobody::User, Nobody::Group) == 0);
    const SongFile song = WriteSongFile(m_music, QStringLiteral("Song.mid"), 3.0);
    QVERIFY(::chmod(QFile::encodeName(song.path).constData(), 0644) == 0);
    const QString mp3 = m_out + QStringLiteral("/Song_128 kbps.mp3");
    QVERIFY(WriteBytes(mp3, "an older result"));
    QVERIFY(::chown(QFile::encodeName(mp3).constData(), Nobody::User, Nobody::Group) == 0);
    QVERIFY(QFile::setPermissions(mp3, QFileDevice::ReadOwner));

    Reliability::ChildRun run;
    run.entries = {song.path};
    run.outputFolder = m_out;
    run.asNobody = true;
    run.environment.insert(QStringLiteral("TEMP"), QString());
    const Reliability::ChildResult result = Reliability::RunChild(run);
    QVERIFY2(result.finished && result.exitCode == 0, result.errors.constData());
    QCOMPARE(result.messages.size(), 1);
    QCOMPARE(result.messages[0].text, QStringLiteral("Done."));
    checkMp3(mp3, 128, song.seconds);
    QCOMPARE(FilesIn(m_out), QStringList{QStringLiteral("Song_128 kbps.mp3")});
}

void TestConversion::failedReconversionKeepsTheEarlierMp3()
{
    MainWindow& form = makeForm();
    const SongFile song = WriteSongFile(m_music, QStringLiteral("Song.mid"), 3.0);
    form.fileList->append(song.path);
    form.startConverting();
    const QString mp3 = m_out + QStringLiteral("/Song_128 kbps.mp3");
    QFile first(mp3);
    QVERIFY(first.open(QIODevice::ReadOnly));
    const QByteArray earlier = first.readAll();
    first.close();

    // The source is replaced by a corrupt file of the same name, and converted again.
    QVERIFY(WriteBytes(song.path, QByteArray("MThd no longer a MIDI file").repeated(40)));
    m_test->dialogs.clear();
    form.startConverting();
    QCOMPARE(m_test->dialogs.messageTexts(),
             QStringList{QStringLiteral("Done.\n\n1 file was not converted:\nSong.mid: no music "
                                        "could be rendered from it (is it a MIDI file?)")});
    QFile again(mp3);
    QVERIFY(again.open(QIODevice::ReadOnly));
    QCOMPARE(again.readAll(), earlier);
    QCOMPARE(FilesIn(m_out), QStringList{QStringLiteral("Song_128 kbps.mp3")});
}

void TestConversion::twoSourcesWithOneBaseNameLeaveTheLaterResult()
{
    MainWindow& form = makeForm(QStringLiteral("64 kbps"));
    QVERIFY(QDir().mkpath(m_music + QStringLiteral("/a")) &&
            QDir().mkpath(m_music + QStringLiteral("/b")));
    const SongFile first =
        WriteSongFile(m_music + QStringLiteral("/a"), QStringLiteral("Song.mid"), 2.0);
    const SongFile later =
        WriteSongFile(m_music + QStringLiteral("/b"), QStringLiteral("Song.mid"), 9.0);
    form.fileList->append(first.path);
    form.fileList->append(later.path);
    form.startConverting();

    QCOMPARE(m_test->dialogs.messageTexts(), QStringList{QStringLiteral("Done.")});
    QCOMPARE(FilesIn(m_out), QStringList{QStringLiteral("Song_64 kbps.mp3")});
    checkMp3(m_out + QStringLiteral("/Song_64 kbps.mp3"), 64, later.seconds);
}

void TestConversion::refusalsStageNothing_data()
{
    QTest::addColumn<bool>("withEntry");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty list") << false << QStringLiteral("out")
                                << QStringLiteral("No files added.");
    QTest::newRow("missing output folder")
        << true << QStringLiteral("missing")
        << QStringLiteral("Folder does not exist. Please select another folder.");
    QTest::newRow("empty output folder text")
        << true << QString()
        << QStringLiteral("Folder does not exist. Please select another folder.");
}

void TestConversion::refusalsStageNothing()
{
    QFETCH(bool, withEntry);
    QFETCH(QString, folder);
    QFETCH(QString, message);
    MainWindow& form = makeForm();
    form.outputFolderBox->setText(folder.isEmpty() ? QString()
                                                   : m_work->path() + QLatin1Char('/') + folder);
    const SongFile song = WriteSongFile(m_music, QStringLiteral("Song.mid"), 2.0);
    if (withEntry)
        form.fileList->append(song.path);
    form.progressBar->setText(QStringLiteral("Progress Bar"));

    form.startConverting();
    QCOMPARE(m_test->dialogs.messageTexts(), QStringList{message});
    const auto shown = m_test->dialogs.messages().first();
    QCOMPARE(shown.title, form.appTitle());
    QCOMPARE(shown.buttons, tp::MessageButtons::Ok);
    QCOMPARE(shown.icon, tp::MessageIcon::None);
    const Sight after = look();
    QCOMPARE(after.tempFiles, QStringList());
    QCOMPARE(after.barText, QStringLiteral("Progress Bar"));
    QCOMPARE(after.barValue, 0);
    QCOMPARE(after.pointer, Pointer::Default);
    QVERIFY(!after.converting);

    // Once the cause is gone, the next click converts.
    m_test->dialogs.clear();
    if (!withEntry)
        form.fileList->append(song.path);
    form.outputFolderBox->setText(m_out);
    form.startConverting();
    QCOMPARE(m_test->dialogs.messageTexts(), QStringList{QStringLiteral("Done.")});
    QVERIFY(QFile::exists(m_out + QStringLiteral("/Song_128 kbps.mp3")));
}

void TestConversion::progressShowsEachEntryAndSecondClickDoesNothing()
{
    MainWindow& form = makeForm();
    const SongFile first = WriteSongFile(m_music, QStringLiteral("First.mid"), 3.0, 1);
    const SongFile second = WriteSongFile(m_music, QStringLiteral("Second.mid"), 3.0, 2);
    form.fileList->append(first.path);
    form.fileList->append(second.path);

    QList<QPair<QString, long long>> seen;
    QList<int> pointers;
    int secondClicks = 0;
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, this, [&] {
        const QPair<QString, long long> now{form.progressBar->Text(), form.progressBar->Value()};
        if (seen.isEmpty() || seen.last() != now)
            seen << now;
        pointers << form.mousePointer();
        // A second click while the first run works returns at once and changes nothing.
        if (form.isConverting() && secondClicks == 0 && m_test->dialogs.shown.isEmpty()) {
            ++secondClicks;
            form.startConverting();
            QVERIFY(form.isConverting());
            QCOMPARE(form.progressBar->Text(), now.first);
            QCOMPARE(form.progressBar->Value(), now.second);
        }
    });
    watcher.start(5);
    form.startConverting();
    watcher.stop();

    QCOMPARE(secondClicks, 1);
    QCOMPARE(m_test->dialogs.messageTexts(), QStringList{QStringLiteral("Done.")});
    QVERIFY(seen.contains(qMakePair(QStringLiteral("Processing: First.mid"), 50LL)));
    QVERIFY(seen.contains(qMakePair(QStringLiteral("Processing: Second.mid"), 100LL)));
    QVERIFY(pointers.contains(Pointer::Hourglass));
    QCOMPARE(FilesIn(m_out), (QStringList{QStringLiteral("First_128 kbps.mp3"),
                                          QStringLiteral("Second_128 kbps.mp3")}));
}

void TestConversion::failedEntriesAreListedAndTheRunGoesOn()
{
    MainWindow& form = makeForm();
    const QString broken = m_music + QStringLiteral("/Broken.mid");
    QVERIFY(WriteBytes(broken, QByteArray("MThd this is not really a MIDI file").repeated(40)));
    const QString empty = m_music + QStringLiteral("/Empty.mid");
    QVERIFY(WriteBytes(empty, QByteArray()));
    const SongFile good = WriteSongFile(m_music, QStringLiteral("Good.mid"), 3.0);
    const QString missing = m_music + QStringLiteral("/Missing.mid");
    const QString pipe = m_music + QStringLiteral("/Pipe.mid");
    QVERIFY(::mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
    for (const QString& path : {broken, good.path, empty, missing, m_music, pipe})
        form.fileList->append(path);
    form.startConverting();

    const QStringList texts = m_test->dialogs.messageTexts();
    QCOMPARE(texts.size(), 1);
    const QString expected =
        QStringLiteral("Done.\n\n5 files were not converted:\n"
                       "Broken.mid: no music could be rendered from it (is it a MIDI file?)\n"
                       "Empty.mid: no music could be rendered from it (is it a MIDI file?)\n"
                       "Missing.mid: the file was not found\n") +
        QDir(m_music).dirName() + QStringLiteral(": it is a folder, not a file\n") +
        QStringLiteral("Pipe.mid: it is not a regular file");
    QCOMPARE(texts.first(), expected);
    // Nothing half-made is left: only the good entry became an MP3.
    QCOMPARE(FilesIn(m_out), QStringList{QStringLiteral("Good_128 kbps.mp3")});
    checkMp3(m_out + QStringLiteral("/Good_128 kbps.mp3"), 128, good.seconds);
    QCOMPARE(FilesIn(m_temp->path()), QStringList());
}

void TestConversion::manyFailuresAreCounted()
{
    MainWindow& form = makeForm();
    for (int i = 1; i <= 13; ++i)
        form.fileList->append(m_music + QStringLiteral("/gone%1.mid").arg(i));
    form.startConverting();
    const QStringList lines = m_test->dialogs.messageTexts().value(0).split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 3 + 10 + 1);
    QCOMPARE(lines[0], QStringLiteral("Done."));
    QCOMPARE(lines[2], QStringLiteral("13 files were not converted:"));
    QCOMPARE(lines[3], QStringLiteral("gone1.mid: the file was not found"));
    QCOMPARE(lines[12], QStringLiteral("gone10.mid: the file was not found"));
    QCOMPARE(lines[13], QStringLiteral("and 3 more."));
}

void TestConversion::noSaveOptionConvertsNothing()
{
    MainWindow& form = makeForm();
    // A stored pair of options may select neither.
    form.saveToFolderOption->setAutoExclusive(false);
    form.saveToFolderOption->setChecked(false);
    form.saveToFolderOption->setAutoExclusive(true);
    QVERIFY(!form.saveToFolderOption->isChecked() && !form.saveBesideSourceOption->isChecked());
    const SongFile song = WriteSongFile(m_music, QStringLiteral("Song.mid"), 2.0);
    form.fileList->append(song.path);
    form.startConverting();

    QCOMPARE(m_test->dialogs.messageTexts(),
             QStringList{QStringLiteral("Done.\n\n1 file was not converted:\n"
                                        "Song.mid: no save option is selected")});
    QCOMPARE(FilesIn(m_out), QStringList());
    QCOMPARE(FilesIn(m_music), QStringList{QStringLiteral("Song.mid")});
    QCOMPARE(FilesIn(m_temp->path()), QStringList());
}

void TestConversion::awkwardNamesConvert_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("mp3");
    const QStringList names{
        QStringLiteral("My Song.mid"),     QStringLiteral("say \"hi\" 'now'.mid"),
        QStringLiteral("cost $HOME.mid"),  QStringLiteral("back`id`tick.mid"),
        QStringLiteral("#1 hit.mid"),      QStringLiteral("why?.mid"),
        QStringLiteral("-h.mid"),          QStringLiteral("--help"),
        QStringLiteral("Ünïcödé 曲.mid"),  QStringLiteral("album.zip#track.mid"),
        QStringLiteral("x;touch PWNED;|"), QStringLiteral("~tilde.mid"),
        QStringLiteral("star*.mid")};
    for (const QString& name : names) {
        const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
        const QString base = dot >= 1 ? name.left(dot) : name;
        QTest::newRow(qPrintable(name)) << name << base + QStringLiteral("_128 kbps.mp3");
    }
}

void TestConversion::awkwardNamesConvert()
{
    QFETCH(QString, name);
    QFETCH(QString, mp3);
    MainWindow& form = makeForm();
    form.saveBesideSourceOption->setChecked(true);
    const SongFile song = WriteSongFile(m_music, name, 2.0);
    form.fileList->append(song.path);
    form.startConverting();

    QCOMPARE(m_test->dialogs.messageTexts(), QStringList{QStringLiteral("Done.")});
    QVERIFY2(QFile::exists(m_music + QLatin1Char('/') + mp3),
             qPrintable(FilesIn(m_music).join(QLatin1Char('|'))));
    const AudioCheck::Mp3Frames frames =
        AudioCheck::ReadMp3Frames(m_music + QLatin1Char('/') + mp3);
    QVERIFY(frames.frames > 10);
    // No part of a name was ever run as a command.
    QVERIFY(!QFile::exists(QStringLiteral("PWNED")));
    QVERIFY(!QFile::exists(m_music + QStringLiteral("/PWNED")));
}

void TestConversion::removalDuringTheRunNamesTheEntryLeftOut()
{
    MainWindow& form = makeForm();
    const SongFile first = WriteSongFile(m_music, QStringLiteral("First.mid"), 3.0);
    const SongFile second = WriteSongFile(m_music, QStringLiteral("Second.mid"), 3.0);
    form.fileList->append(first.path);
    form.fileList->append(second.path);

    const SongFile third = WriteSongFile(m_music, QStringLiteral("Third.mid"), 3.0);
    form.fileList->append(third.path);

    // Another job hands the pointer back while the first entry converts, and the user
    // removes the first entry: the others move up, out of reach of the passes that read by
    // position. The second pass takes Third.mid, the third finds nothing.
    bool removed = false;
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, this, [&] {
        if (!removed && form.progressBar->Text().startsWith(QStringLiteral("Processing: First"))) {
            removed = true;
            form.fileList->removeAt(1);
        }
    });
    watcher.start(5);
    form.startConverting();
    watcher.stop();

    QVERIFY(removed);
    QCOMPARE(m_test->dialogs.messageTexts(),
             QStringList{QStringLiteral("Done.\n\n1 file was not converted:\n"
                                        "Second.mid: it was not reached because the list changed "
                                        "during the run")});
    QCOMPARE(FilesIn(m_out), (QStringList{QStringLiteral("First_128 kbps.mp3"),
                                          QStringLiteral("Third_128 kbps.mp3")}));
    QCOMPARE(form.fileList->count(), 2);
}

void TestConversion::missedEntriesAreNamed()
{
    using Conversion::MissedEntries;
    const QString a = QStringLiteral("/m/A.mid");
    const QString b = QStringLiteral("/m/B.mid");
    const QString c = QStringLiteral("/m/C.mid");
    QVERIFY(MissedEntries({a, b, c}, {a, b, c}, {a, b, c}).isEmpty());
    // B removed while A converted: every pass read what it found, nothing was skipped unseen.
    const auto removed = MissedEntries({a, b, c}, {a, c}, {a, c});
    QCOMPARE(removed.size(), 1);
    QCOMPARE(removed[0].name, QStringLiteral("B.mid"));
    QCOMPARE(removed[0].reason, QStringLiteral("it was removed from the list during the run"));
    // A moved below C: A was read twice, C never.
    const auto moved = MissedEntries({a, b, c}, {a, a, b}, {b, c, a});
    QCOMPARE(moved.size(), 1);
    QCOMPARE(moved[0].name, QStringLiteral("C.mid"));
    QVERIFY(moved[0].reason.contains(QStringLiteral("not reached")));
    // Duplicates count one by one.
    QCOMPARE(MissedEntries({a, a}, {a}, {a}).size(), 1);
}

void TestConversion::entriesAddedDuringTheRunWaitAndClearingIsRefused()
{
    MainWindow& form = makeForm();
    const SongFile first = WriteSongFile(m_music, QStringLiteral("First.mid"), 3.0);
    const SongFile added = WriteSongFile(m_music, QStringLiteral("Added.mid"), 3.0);
    form.fileList->append(first.path);

    bool acted = false;
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, this, [&] {
        if (!acted && form.progressBar->Text().startsWith(QStringLiteral("Processing: "))) {
            acted = true;
            form.fileList->append(added.path);
            form.clearList();
        }
    });
    watcher.start(5);
    form.startConverting();
    watcher.stop();

    QVERIFY(acted);
    QCOMPARE(m_test->dialogs.messageTexts(), QStringList{QStringLiteral("Done.")});
    QCOMPARE(FilesIn(m_out), QStringList{QStringLiteral("First_128 kbps.mp3")});
    QCOMPARE(form.fileList->count(), 2);
    QCOMPARE(form.fileList->entryText(2), added.path);
}

void TestConversion::missingRendererIsReportedAndNoEntryPasses()
{
    QTemporaryDir onlyLame;
    QVERIFY(
        QFile::link(QStringLiteral("/usr/bin/lame"), onlyLame.path() + QStringLiteral("/lame")));
    qputenv("PATH", QFile::encodeName(onlyLame.path()));
    MainWindow& form = makeForm();
    const SongFile song = WriteSongFile(m_music, QStringLiteral("Song.mid"), 2.0);
    form.fileList->append(song.path);
    form.startConverting();

    const auto shown = m_test->dialogs.messages();
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown[0].title, QStringLiteral("Application Error"));
    QVERIFY2(shown[0].text.contains(QStringLiteral("Debian package timidity")),
             qPrintable(shown[0].text));
    QVERIFY(shown[0].text.contains(QStringLiteral("PushButton2_Click at line 110\r")));
    QCOMPARE(shown[1].text, QStringLiteral("Done.\n\n1 file was not converted:\n"
                                           "Song.mid: the renderer could not be started"));
    QCOMPARE(FilesIn(m_out), QStringList());
    QCOMPARE(FilesIn(m_temp->path()), QStringList());
}

void TestConversion::plantedRendererIsNeverRun()
{
    const QString marker = m_work->path() + QStringLiteral("/planted-ran");
    const QString planted = m_temp->path() + QStringLiteral("/timidity.exe");
    QVERIFY(WriteBytes(planted, "#!/bin/sh\ntouch '" + QFile::encodeName(marker) + "'\n"));
    QVERIFY(::chmod(QFile::encodeName(planted).constData(), 0777) == 0);
    MainWindow& form = makeForm();
    const SongFile song = WriteSongFile(m_music, QStringLiteral("Song.mid"), 2.0);
    form.fileList->append(song.path);
    form.startConverting();

    QCOMPARE(m_test->dialogs.messageTexts(), QStringList{QStringLiteral("Done.")});
    QVERIFY(!QFile::exists(marker));
    QVERIFY(QFile::exists(m_out + QStringLiteral("/Song_128 kbps.mp3")));
}

RELIABILITY_MAIN(TestConversion)
#include "tst_conversion.moc"
