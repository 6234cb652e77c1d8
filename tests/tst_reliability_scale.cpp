// Scale: a run over 500 files keeps its memory and open files level, and a list of 100,000
// entries fills and clears.

#include "app/mainwindow.h"
#include "app/progressbar.h"
#include "app/pushbutton.h"
#include "filelist/filelistview.h"
#include "reliability.h"
#include "testwindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

using namespace Reliability;

namespace {

// Under AddressSanitizer freed memory is held back in quarantine, so resident memory grows
// with any work; its leak checker covers that build instead.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool MemoryIsHeldBack = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool MemoryIsHeldBack = true;
#else
constexpr bool MemoryIsHeldBack = false;
#endif
#else
constexpr bool MemoryIsHeldBack = false;
#endif

bool g_rendererQuiet = false;

struct Sample
{
    qint64 kilobytes = 0;
    int descriptors = 0;
};

Sample TakeSample()
{
    return {ResidentKilobytes(), OpenDescriptors()};
}

} // namespace

class TestReliabilityScale : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fiveHundredFilesKeepMemoryAndDescriptorsLevel();
    void hundredThousandEntriesFillAndClear();
};

void TestReliabilityScale::fiveHundredFilesKeepMemoryAndDescriptorsLevel()
{
    if (!g_rendererQuiet)
        QSKIP("500 renders need the renderer without its one-second pause over the system's "
              "configuration, and no mount namespace could be made for that");
    constexpr int Files = 500;
    QTemporaryDir temp;
    QTemporaryDir work;
    qputenv("TEMP", QFile::encodeName(temp.path()));
    const QString music = work.path() + QStringLiteral("/music");
    const QString out = work.path() + QStringLiteral("/out");
    QVERIFY(QDir().mkpath(music) && QDir().mkpath(out));

    TestWindow test;
    MainWindow& form = test.load();
    form.bitrateBox->setCurrentText(QStringLiteral("32 kbps"));
    form.saveToFolderOption->setChecked(true);
    form.outputFolderBox->setText(out);
    QStringList names;
    for (int i = 1; i <= Files; ++i) {
        names << QStringLiteral("s%1.mid").arg(i, 3, 10, QLatin1Char('0'));
        QVERIFY(!WriteSong(music, names.last(), 1.0, i).isEmpty());
        form.fileList->append(music + QLatin1Char('/') + names.last());
    }
    const Snapshot sources = TakeSnapshot(music);

    // Sampled as the passes of entries 51 and 500 begin, with 50 and 499 entries converted.
    Sample atStart = TakeSample();
    Sample after50;
    Sample after499;
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, this, [&] {
        const QString text = form.progressBar->Text();
        if (after50.descriptors == 0 && text == QStringLiteral("Processing: s051.mid"))
            after50 = TakeSample();
        if (after499.descriptors == 0 && text == QStringLiteral("Processing: s500.mid"))
            after499 = TakeSample();
    });
    watcher.start(1);
    form.startConverting();
    watcher.stop();
    const Sample atEnd = TakeSample();

    QCOMPARE(test.dialogs.messageTexts(), QStringList{QStringLiteral("Done.")});
    QVERIFY(after50.descriptors > 0 && after499.descriptors > 0);
    qInfo("after 50 entries: %lld kB, %d descriptors; after 499: %lld kB, %d descriptors; "
          "at start %d, at the end %d descriptors",
          after50.kilobytes, after50.descriptors, after499.kilobytes, after499.descriptors,
          atStart.descriptors, atEnd.descriptors);
    QVERIFY2(after499.descriptors <= after50.descriptors + 2, "descriptors grow with the entries");
    QVERIFY2(atEnd.descriptors <= atStart.descriptors + 2, "the run leaves descriptors open");
    if (!MemoryIsHeldBack)
        QVERIFY2(after499.kilobytes - after50.kilobytes < 4 * 1024,
                 "resident memory grows with the entries");

    QStringList expected;
    for (const QString& name : std::as_const(names))
        expected << name.chopped(4) + QStringLiteral("_32 kbps.mp3");
    QCOMPARE(FilesUnder(out), expected);
    QCOMPARE(TakeSnapshot(music), sources);
    QCOMPARE(FilesUnder(temp.path()), QStringList());
    QCOMPARE(form.fileList->count(), Files);
}

void TestReliabilityScale::hundredThousandEntriesFillAndClear()
{
    constexpr int Folders = 100;
    constexpr int FilesEach = 1000;
    QTemporaryDir work;
    QStringList first;
    for (int folder = 0; folder < Folders; ++folder) {
        const QString path =
            work.path() + QStringLiteral("/music/%1").arg(folder, 3, 10, QLatin1Char('0'));
        QVERIFY(QDir().mkpath(path));
        for (int file = 0; file < FilesEach; ++file) {
            QFile created(path + QStringLiteral("/%1.mid").arg(file, 4, 10, QLatin1Char('0')));
            QVERIFY(created.open(QIODevice::WriteOnly));
        }
    }

    // The user drops the folder on the list: every file of its tree is listed.
    TestWindow test;
    MainWindow& form = test.load();
    QMimeData dropped;
    dropped.setUrls({QUrl::fromLocalFile(work.path() + QStringLiteral("/music"))});
    form.fileListDropped(&dropped);
    QCoreApplication::processEvents();

    FileListView& list = *form.fileList;
    QCOMPARE(list.count(), Folders * FilesEach);
    QCOMPARE(list.topLevelItemCount(), Folders * FilesEach);
    QCOMPARE(list.entryText(1), work.path() + QStringLiteral("/music/000/0000.mid"));
    QCOMPARE(list.entryText(list.count()), work.path() + QStringLiteral("/music/099/0999.mid"));
    list.scrollToPosition(list.count());
    QCoreApplication::processEvents();

    QTest::mouseClick(form.clearListButton, Qt::LeftButton);
    QCOMPARE(list.count(), 0);
    QCOMPARE(list.topLevelItemCount(), 0);
    QCOMPARE(test.dialogs.shown.size(), 0);

    // The window goes on working: a start with the empty list says so.
    form.startConverting();
    QCOMPARE(test.dialogs.messageTexts(), QStringList{QStringLiteral("No files added.")});
}

int main(int argc, char** argv)
{
    if (const int code = RunChildIfAsked(argc, argv); code >= 0)
        return code;
    g_rendererQuiet = EmptyRendererSystemConfig();
    QApplication application(argc, argv);
    TestReliabilityScale test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_reliability_scale.moc"
