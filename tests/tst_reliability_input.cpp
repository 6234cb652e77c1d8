// Bad input to a conversion run: each bad entry ends with a clear reason in the final message
// or converts, the good entry after it converts, and nothing of the user's is touched.

#include "app/mainwindow.h"
#include "app/progressbar.h"
#include "filelist/filelistview.h"
#include "reliability.h"
#include "smf/smfwriter.h"
#include "testwindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <climits>
#include <sys/resource.h>

using namespace Reliability;

namespace {

// The peak resident memory of this process in kB.
long PeakKilobytes()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// A folder inside `root` whose path is `length` bytes long, made of names of at most 200.
QString DeepFolder(const QString& root, int length)
{
    QString folder = root;
    while (folder.size() < length) {
        const int room = length - static_cast<int>(folder.size()) - 1;
        folder += QLatin1Char('/') + QString(std::min(room, 200), QLatin1Char('d'));
    }
    return QDir().mkpath(folder) ? folder : QString();
}

} // namespace

class TestReliabilityInput : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void badEntryFailsCleanlyAndTheRunGoesOn_data();
    void badEntryFailsCleanlyAndTheRunGoesOn();

private:
    QTemporaryDir* m_temp = nullptr;
    QTemporaryDir* m_work = nullptr;
    TestWindow* m_test = nullptr;
};

void TestReliabilityInput::init()
{
    m_temp = new QTemporaryDir;
    m_work = new QTemporaryDir;
    QVERIFY(m_temp->isValid() && m_work->isValid());
    qputenv("TEMP", QFile::encodeName(m_temp->path()));
    QVERIFY(QDir(m_work->path()).mkpath(QStringLiteral("music")));
    QVERIFY(QDir(m_work->path()).mkpath(QStringLiteral("out")));
    m_test = new TestWindow;
}

void TestReliabilityInput::cleanup()
{
    delete m_test;
    delete m_work;
    delete m_temp;
    m_test = nullptr;
}

void TestReliabilityInput::badEntryFailsCleanlyAndTheRunGoesOn_data()
{
    // How the entry is made, its file name, where its result goes ("out" or "beside"), and
    // the beginning of the reason the final message gives for it, or "" when it converts.
    QTest::addColumn<QString>("make");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("saveTo");
    QTest::addColumn<QString>("reason");
    // The encoder names the output file it cannot make (a path this long only in part).
    const QString encoderFailed = QStringLiteral("the encoder failed (exit code 255): ");
    const QString cannotWrite = encoderFailed + QStringLiteral("Can't init outfile '");
    const QString noMusic =
        QStringLiteral("no music could be rendered from it (is it a MIDI file?)");

    QTest::newRow("truncated MIDI") << "truncated"
                                    << "Cut.mid"
                                    << "out" << QString();
    QTest::newRow("text file named .mid") << "text"
                                          << "Notes.mid"
                                          << "out" << noMusic;
    QTest::newRow("200 MB sparse file") << "sparse"
                                        << "Huge.mid"
                                        << "out" << noMusic;
    QTest::newRow("line break and tab in the name") << "song"
                                                    << "two\nlines\tand tab.mid"
                                                    << "beside" << QString();
    QTest::newRow("backslash, colon, percent, ampersand") << "song"
                                                          << "a\\b:c %20 & d.mid"
                                                          << "beside" << QString();
    QTest::newRow("blanks and dots at both ends") << "song"
                                                  << " . spaced . .mid "
                                                  << "beside" << QString();
    QTest::newRow("characters beyond the basic plane") << "song"
                                                       << "🎹 𝄞 song.mid"
                                                       << "beside" << QString();
    QTest::newRow("name at the file name limit, result too long")
        << "song" << QString(NAME_MAX - 4, QLatin1Char('n')) + QStringLiteral(".mid") << "out"
        << QStringLiteral("the MP3 file could not be put in place: File name too long");
    QTest::newRow("path near the platform limit, result elsewhere") << "deep"
                                                                    << "Song.mid"
                                                                    << "out" << QString();
    QTest::newRow("path near the platform limit, result beside it too long")
        << "deep"
        << "Song.mid"
        << "beside" << encoderFailed;
}

void TestReliabilityInput::badEntryFailsCleanlyAndTheRunGoesOn()
{
    QFETCH(QString, make);
    QFETCH(QString, name);
    QFETCH(QString, saveTo);
    QFETCH(QString, reason);
    const QString music = m_work->path() + QStringLiteral("/music");
    const QString out = m_work->path() + QStringLiteral("/out");

    QString folder = music;
    if (make == QStringLiteral("deep")) {
        // Room for "/Song.mid" within the limit, but not for "/Song_128 kbps.mp3".
        folder = DeepFolder(music, PATH_MAX - 12);
        QVERIFY(!folder.isEmpty());
    }
    const QString bad = folder + QLatin1Char('/') + name;
    if (make == QStringLiteral("truncated")) {
        const QByteArray whole = Smf::Encode(Smf::Demo(4.0));
        QVERIFY(WriteBytes(bad, whole.left(whole.size() / 2)));
    } else if (make == QStringLiteral("text")) {
        QVERIFY(WriteBytes(bad, QByteArray("Ideas for the next song: slower, in D minor.\n")));
    } else if (make == QStringLiteral("sparse")) {
        QFile file(bad);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(200LL * 1024 * 1024));
    } else {
        QVERIFY(!WriteSong(folder, name, 2.0).isEmpty());
    }
    QVERIFY(!WriteSong(music, QStringLiteral("Good.mid"), 1.5).isEmpty());
    const Snapshot before = TakeSnapshot(music);

    MainWindow& form = m_test->load();
    form.bitrateBox->setCurrentText(QStringLiteral("128 kbps"));
    (saveTo == QStringLiteral("out") ? form.saveToFolderOption : form.saveBesideSourceOption)
        ->setChecked(true);
    form.outputFolderBox->setText(out);
    form.fileList->append(bad);
    form.fileList->append(music + QStringLiteral("/Good.mid"));
    const long peakBefore = PeakKilobytes();
    form.startConverting();

    // What the user sees: one message, and the window at rest.
    const QStringList texts = m_test->dialogs.messageTexts();
    QCOMPARE(texts.size(), 1);
    if (reason.isEmpty()) {
        QCOMPARE(texts.first(), QStringLiteral("Done."));
    } else {
        QVERIFY2(texts.first().startsWith(OneFailure(name, reason)), qPrintable(texts.first()));
    }
    QCOMPARE(form.progressBar->Text(), QStringLiteral("Progress Bar"));
    QCOMPARE(form.progressBar->Value(), 0);
    QCOMPARE(form.mousePointer(), Pointer::Default);
    QVERIFY(!form.isConverting());
    QCOMPARE(form.fileList->count(), 2);
    // No source was read into memory.
    QVERIFY2(PeakKilobytes() - peakBefore < 100 * 1024,
             qPrintable(QStringLiteral("peak grew by %1 kB").arg(PeakKilobytes() - peakBefore)));

    // What is on disk: the sources as they were, the results and nothing else.
    const QString base = name.left(name.lastIndexOf(QLatin1Char('.')));
    const QString result = base + QStringLiteral("_128 kbps.mp3");
    QStringList expected{saveTo == QStringLiteral("out")
                             ? QStringLiteral("out/Good_128 kbps.mp3")
                             : QStringLiteral("music/Good_128 kbps.mp3")};
    if (reason.isEmpty())
        expected << QDir(m_work->path())
                        .relativeFilePath((saveTo == QStringLiteral("out") ? out : folder) +
                                          QLatin1Char('/') + result);
    expected.sort();
    QCOMPARE(FilesUnder(m_work->path(), QStringLiteral(".mp3")), expected);
    Snapshot after = TakeSnapshot(music);
    if (saveTo == QStringLiteral("beside")) {
        after.remove(QStringLiteral("Good_128 kbps.mp3"));
        after.remove(QDir(music).relativeFilePath(folder + QLatin1Char('/') + result));
    }
    QCOMPARE(after, before);
    QCOMPARE(FilesUnder(m_temp->path()), QStringList());
}

RELIABILITY_MAIN(TestReliabilityInput)
#include "tst_reliability_input.moc"
