// Filling the file list: appending 100,000 entries one by one, as the adding operations do,
// against inserting the same items at once, in the same process. Prints entries per second,
// the ratio one-by-one / at-once, the time of scrolling steps afterwards and the peak memory.

#include "filelist/filelistview.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QScrollBar>
#include <QTreeWidgetItem>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace {

constexpr int Entries = 100000;
constexpr int Rounds = 3;

QStringList Paths()
{
    QStringList paths;
    paths.reserve(Entries);
    for (int i = 0; i < Entries; ++i)
        paths.append(QStringLiteral("/home/user/Music/Collection %1/Artist %2/Song number %3.mid")
                         .arg(i / 1000)
                         .arg(i % 97)
                         .arg(i));
    return paths;
}

// Lets the view lay out and paint what the fill changed, as the event loop would.
void Settle(FileListView& list)
{
    QCoreApplication::processEvents();
    list.viewport()->repaint();
}

double AppendOneByOne(FileListView& list, const QStringList& paths)
{
    QElapsedTimer timer;
    timer.start();
    for (const QString& path : paths)
        list.append(path);
    Settle(list);
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    if (list.count() != Entries || list.entryText(Entries) != paths.last())
        std::fprintf(stderr, "append lost entries: %d\n", list.count());
    return seconds;
}

double InsertAtOnce(FileListView& list, const QStringList& paths)
{
    QElapsedTimer timer;
    timer.start();
    QList<QTreeWidgetItem*> items;
    items.reserve(paths.size());
    for (const QString& path : paths) {
        auto* item = new QTreeWidgetItem;
        item->setText(0, path);
        item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        items.append(item);
    }
    list.insertTopLevelItems(list.topLevelItemCount(), items);
    Settle(list);
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    if (list.count() != Entries)
        std::fprintf(stderr, "insert lost entries: %d\n", list.count());
    return seconds;
}

double Clear(FileListView& list)
{
    QElapsedTimer timer;
    timer.start();
    list.removeAll();
    Settle(list);
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

// Milliseconds per scrolling step through the full list, each step painted.
double ScrollStep(FileListView& list)
{
    constexpr int Steps = 200;
    QElapsedTimer timer;
    timer.start();
    for (int step = 0; step < Steps; ++step) {
        list.scrollToPosition(
            1 + static_cast<int>(static_cast<long long>(step) * (Entries - 1) / (Steps - 1)));
        list.viewport()->repaint();
    }
    return static_cast<double>(timer.nsecsElapsed()) / 1e6 / Steps;
}

// Milliseconds per append when the window handles its events after each one, as happens
// while a folder search or a conversion run lets events through.
double PumpedAppend(FileListView& list)
{
    constexpr int Appends = 200;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < Appends; ++i) {
        list.append(QStringLiteral("/home/user/Music/Added while busy %1.mid").arg(i));
        Settle(list);
    }
    return static_cast<double>(timer.nsecsElapsed()) / 1e6 / Appends;
}

long PeakKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);

    FileListView list;
    list.setHeaderLabels({QStringLiteral("MIDI File(s)")});
    list.header()->resizeSection(0, 7000 / 15);
    list.resize(520, 169);
    list.show();
    QCoreApplication::processEvents();

    const QStringList paths = Paths();
    const long baseKilobytes = PeakKilobytes();

    double bestAppend = 1e9;
    double bestInsert = 1e9;
    double bestClear = 1e9;
    double scrollMs = 0;
    double pumpedMs = 0;
    for (int round = 0; round < Rounds; ++round) {
        bestInsert = std::min(bestInsert, InsertAtOnce(list, paths));
        bestClear = std::min(bestClear, Clear(list));
        bestAppend = std::min(bestAppend, AppendOneByOne(list, paths));
        if (round == Rounds - 1) {
            scrollMs = ScrollStep(list);
            pumpedMs = PumpedAppend(list);
        }
        bestClear = std::min(bestClear, Clear(list));
    }

    std::printf("entries                      %d\n", Entries);
    std::printf("append one by one            %.3f s  %.0f entries/s\n", bestAppend,
                Entries / bestAppend);
    std::printf("insertTopLevelItems at once  %.3f s  %.0f entries/s\n", bestInsert,
                Entries / bestInsert);
    std::printf("ratio one-by-one / at-once   %.2f (aim: at most 2)\n", bestAppend / bestInsert);
    std::printf("clear 100,000 entries        %.3f s\n", bestClear);
    std::printf("scrolling step, painted      %.2f ms\n", scrollMs);
    std::printf("append + event pump at 100k  %.2f ms\n", pumpedMs);
    std::printf("peak memory                  %ld KiB (%ld KiB before filling)\n", PeakKilobytes(),
                baseKilobytes);
    return 0;
}
