// "Add All MIDI File(s) In Folder" on a large generated tree, against find(1) on the same tree.
//
//   bench_addfolder [folders=2000] [files=100000] [runs=3] [tree]
//
// With a tree folder that does not exist yet, the tree is generated there and kept, so that
// later runs (or a profiler) can reuse it; without one, a temporary tree is used.
// Prints the files added per second, the ratio of the time taken to that of
// `find <tree> -iname '*.mid'`, and the longest gap between the served events of a 10 ms timer
// while the operation runs (how long the window went without serving its events).
#include "app/mainwindow.h"
#include "filelist/filelistview.h"
#include "testwindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Folders in two levels (tops of about the square root's size, the rest below them), files
// spread evenly, every fifth one a .mid file, the rest of other types.
bool MakeTree(const QString& root, int folders, int files)
{
    const int tops = std::max(1, static_cast<int>(std::sqrt(folders)));
    QStringList paths;
    for (int i = 0; i < folders; ++i) {
        const QString path = i < tops
                                 ? root + QStringLiteral("/Top %1").arg(i)
                                 : root + QStringLiteral("/Top %1/Album %2").arg(i % tops).arg(i);
        if (::mkdir(QFile::encodeName(path).constData(), 0755) != 0)
            return false;
        paths << path;
    }
    static const char* const others[] = {".wav", ".txt", ".jpg", ".MP3"};
    for (int i = 0; i < files; ++i) {
        const QString extension =
            i % 5 == 0 ? QStringLiteral(".mid") : QString::fromLatin1(others[i % 4]);
        const QString path = paths[i % folders] +
                             QStringLiteral("/Track %1").arg(i, 6, 10, QLatin1Char('0')) +
                             extension;
        const int descriptor =
            ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (descriptor < 0)
            return false;
        ::close(descriptor);
    }
    return true;
}

// Processor time (user and system) of this process or of its waited-for children. On a
// machine shared with other work it varies less than the time on the clock.
double ProcessorSeconds(int who)
{
    rusage usage{};
    ::getrusage(who, &usage);
    const auto seconds = [](const timeval& value) { return value.tv_sec + value.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct FindRun
{
    double seconds = 0;
    double processorSeconds = 0;
    int found = 0;
};

FindRun RunFind(const QString& root)
{
    const double processorBefore = ProcessorSeconds(RUSAGE_CHILDREN);
    QElapsedTimer clock;
    clock.start();
    QProcess find;
    find.start(QStringLiteral("find"), {root, QStringLiteral("-iname"), QStringLiteral("*.mid")});
    find.waitForFinished(-1);
    const QByteArray output = find.readAllStandardOutput();
    return {clock.nsecsElapsed() / 1e9, ProcessorSeconds(RUSAGE_CHILDREN) - processorBefore,
            static_cast<int>(output.count('\n'))};
}

struct AddAllRun
{
    double seconds = 0;
    double processorSeconds = 0;
    int added = 0;
    double longestGapMs = 0;
};

AddAllRun RunAddAll(const QString& root)
{
    TestWindow t;
    MainWindow& form = t.load();
    form.show();
    QCoreApplication::processEvents();
    t.dialogs.inputAnswers << QStringLiteral("mid");
    t.dialogs.folderAnswers << root;

    QElapsedTimer clock;
    qint64 lastServed = 0;
    qint64 longestGap = 0;
    QTimer ticker;
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longestGap = std::max(longestGap, now - lastServed);
        lastServed = now;
    });
    ticker.start();
    const double processorBefore = ProcessorSeconds(RUSAGE_SELF);
    clock.start();
    form.addAllFilesInFolder();
    // The list may show appended entries only once the window serves its events again.
    QCoreApplication::processEvents();
    const qint64 total = clock.nsecsElapsed();
    const double processor = ProcessorSeconds(RUSAGE_SELF) - processorBefore;
    ticker.stop();
    longestGap = std::max(longestGap, total - lastServed);
    return {total / 1e9, processor, form.fileList->count(), longestGap / 1e6};
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const int folders = arguments.value(1, QStringLiteral("2000")).toInt();
    const int files = arguments.value(2, QStringLiteral("100000")).toInt();
    const int runs = std::max(1, arguments.value(3, QStringLiteral("3")).toInt());

    QTemporaryDir temporary(QStringLiteral("/tmp/bench_addfolder-XXXXXX"));
    QString root = arguments.value(4);
    if (root.isEmpty() || !QFileInfo::exists(root)) {
        if (root.isEmpty())
            root = temporary.path();
        else if (!QDir().mkpath(root))
            root.clear();
        std::printf("Generating %d folders and %d files in %s ...\n", folders, files,
                    qPrintable(root));
        if (!temporary.isValid() || root.isEmpty() || !MakeTree(root, folders, files)) {
            std::fprintf(stderr, "cannot build the tree\n");
            return 1;
        }
    }
    RunFind(root); // the same warm caches for both

    FindRun bestFind{1e9, 1e9, 0};
    AddAllRun bestAdd{1e9, 1e9, 0, 0};
    double bestFindProcessor = 1e9;
    double bestAddProcessor = 1e9;
    double longestGap = 0;
    for (int run = 1; run <= runs; ++run) {
        const FindRun find = RunFind(root);
        const AddAllRun add = RunAddAll(root);
        std::printf("run %d: find %.3f s (processor %.3f s, %d found), Add All %.3f s (processor "
                    "%.3f s, %d added), longest gap %.1f ms\n",
                    run, find.seconds, find.processorSeconds, find.found, add.seconds,
                    add.processorSeconds, add.added, add.longestGapMs);
        if (find.found != add.added) {
            std::fprintf(stderr, "Add All added %d files, find found %d\n", add.added, find.found);
            return 1;
        }
        if (find.seconds < bestFind.seconds)
            bestFind = find;
        if (add.seconds < bestAdd.seconds)
            bestAdd = add;
        longestGap = std::max(longestGap, add.longestGapMs);
        bestFindProcessor = std::min(bestFindProcessor, find.processorSeconds);
        bestAddProcessor = std::min(bestAddProcessor, add.processorSeconds);
    }

    std::printf("files added per second: %.0f\n", bestAdd.added / bestAdd.seconds);
    std::printf("ratio to find (best of %d each): %.2f (aim: at most 5)\n", runs,
                bestAdd.seconds / bestFind.seconds);
    std::printf("ratio of processor time to find's (best of %d each): %.2f\n", runs,
                bestAddProcessor / bestFindProcessor);
    std::printf("longest gap between served timer events: %.1f ms\n", longestGap);
    return 0;
}
