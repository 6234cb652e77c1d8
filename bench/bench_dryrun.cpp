// `tunepress --dry-run` over a generated collection, against find(1) listing the same tree:
// what planning a whole collection costs before anything is converted.
//
//   bench_dryrun [files=100000] [folders=1000] [runs=3]
//
// Prints the best time of each and their ratio (aim: at most 3).
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// Folders in two levels, like a soundtrack archive: a folder a game, sub-folders its discs.
// The files are spread evenly, every MIDI kind taken by default among them.
bool MakeTree(const QString& root, int folders, int files)
{
    const int tops = std::max(1, int(std::sqrt(folders)));
    QStringList paths;
    for (int i = 0; i < folders; ++i) {
        const QString path = i < tops
                                 ? root + QStringLiteral("/Game %1").arg(i)
                                 : root + QStringLiteral("/Game %1/Disc %2").arg(i % tops).arg(i);
        if (::mkdir(QFile::encodeName(path).constData(), 0755) != 0)
            return false;
        paths << path;
    }
    static const char* const endings[] = {".mid", ".kar", ".MID", ".midi", ".rmi"};
    for (int i = 0; i < files; ++i) {
        const QString path = paths[i % folders] + QStringLiteral("/track%1").arg(i / folders) +
                             QString::fromLatin1(endings[i % 5]);
        const int descriptor =
            ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (descriptor < 0 || ::write(descriptor, "MThd", 4) != 4)
            return false;
        ::close(descriptor);
    }
    return true;
}

struct Timed
{
    double seconds = 1e9;
    double processorSeconds = 1e9;
    int status = -1;
};

// Runs the command with its standard output thrown away, as both would print a line a file.
Timed Spawn(const QStringList& command)
{
    QList<QByteArray> storage;
    std::vector<char*> argv;
    for (const QString& part : command)
        storage << QFile::encodeName(part);
    for (QByteArray& part : storage)
        argv.push_back(part.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    Timed timed;
    QElapsedTimer clock;
    clock.start();
    pid_t pid = 0;
    if (::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        rusage usage{};
        ::wait4(pid, &status, 0, &usage);
        timed.seconds = double(clock.nsecsElapsed()) / 1e9;
        const auto seconds = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
        timed.processorSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
        timed.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return timed;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const int files = arguments.value(1, QStringLiteral("100000")).toInt();
    const int folders = arguments.value(2, QStringLiteral("1000")).toInt();
    const int runs = std::max(1, arguments.value(3, QStringLiteral("3")).toInt());
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/tunepress");

    QTemporaryDir work;
    const QString root = work.filePath(QStringLiteral("collection"));
    std::printf("Generating %d files in %d folders ...\n", files, folders);
    if (!QDir().mkpath(root) || !MakeTree(root, folders, files)) {
        std::fprintf(stderr, "cannot build the tree\n");
        return 1;
    }
    qputenv("TEMP", QFile::encodeName(work.filePath(QStringLiteral("temp"))));
    const QStringList find{QStringLiteral("find"), root, QStringLiteral("-type"),
                           QStringLiteral("f")};
    const QStringList dryRun{program, QStringLiteral("-n"), QStringLiteral("-o"),
                             work.filePath(QStringLiteral("out")), root};
    Spawn(find); // the same warm caches for both

    Timed bestFind;
    Timed bestDry;
    for (int run = 1; run <= runs; ++run) {
        const Timed listed = Spawn(find);
        const Timed planned = Spawn(dryRun);
        std::printf("run %d: find %.3f s (processor %.3f s), dry run %.3f s (processor %.3f s)\n",
                    run, listed.seconds, listed.processorSeconds, planned.seconds,
                    planned.processorSeconds);
        if (planned.status != 0) {
            std::fprintf(stderr, "the dry run ended with status %d\n", planned.status);
            return 1;
        }
        bestFind.seconds = std::min(bestFind.seconds, listed.seconds);
        bestFind.processorSeconds = std::min(bestFind.processorSeconds, listed.processorSeconds);
        bestDry.seconds = std::min(bestDry.seconds, planned.seconds);
        bestDry.processorSeconds = std::min(bestDry.processorSeconds, planned.processorSeconds);
    }
    std::printf("dry run of %d files: %.2f x the time of find (best of %d each; aim <= 3), "
                "%.2f x its processor time\n",
                files, bestDry.seconds / bestFind.seconds, runs,
                bestDry.processorSeconds / bestFind.processorSeconds);
    return 0;
}
