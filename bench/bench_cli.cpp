// The command line against the bare tools on a batch of multi-instrument songs: the tools one
// file after the other (the floor), tunepress -j1, and tunepress with its default jobs, its
// songs levelled (the default) and with --loudness off. Each round runs them all, one after the
// other, and its ratios are taken against its own floor, so that a machine whose speed drifts
// moves both sides of a ratio alike; the median round's ratios are the figures, with the range.
// Prints the limit a processor-bound batch can reach on this machine, the cost of levelling, the
// peak TEMP use and the peak memory; then the peak memory of tunepress -j2 with long songs (two
// by default), which outgrow the memory a song is held in: with more than two, songs that are
// rendered are held while the next ones render.
//   bench_cli [files] [seconds per file] [seconds per long song] [long songs] [rounds]
#include "smf/smfwriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

double Seconds(const timeval& time)
{
    return double(time.tv_sec) + double(time.tv_usec) / 1e6;
}

double ChildrenCpu()
{
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

qint64 FolderBytes(const QString& folder)
{
    qint64 bytes = 0;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        // A link (the chosen SoundFont's, in a workspace) takes no room of its own.
        const QFileInfo info = it.nextFileInfo();
        bytes += info.isSymLink() ? 0 : info.size();
    }
    return bytes;
}

struct Measured
{
    double wall = 0;
    double cpu = 0;
    long peakKilobytes = 0;
    qint64 peakTempBytes = 0;
    int status = -1;
};

// Runs a program to its end, sampling the TEMP folder's size while it runs.
Measured Spawn(const QStringList& command, const QString& temp)
{
    QList<QByteArray> storage;
    std::vector<char*> argv;
    for (const QString& part : command)
        storage << QFile::encodeName(part);
    for (QByteArray& part : storage)
        argv.push_back(part.data());
    argv.push_back(nullptr);
    Measured measured;
    QElapsedTimer timer;
    timer.start();
    const double cpuBefore = ChildrenCpu();
    pid_t pid = 0;
    if (::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return measured;
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, WNOHANG, &usage) == 0) {
        measured.peakTempBytes = std::max(measured.peakTempBytes, FolderBytes(temp));
        ::usleep(20000);
    }
    measured.wall = double(timer.nsecsElapsed()) / 1e9;
    measured.cpu = ChildrenCpu() - cpuBefore;
    measured.peakKilobytes = usage.ru_maxrss;
    measured.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return measured;
}

// The batch: files multi-instrument songs of about the given length; answers the music's length.
double WriteSongs(const QTemporaryDir& work, int files, double seconds, QStringList& songs)
{
    double music = 0;
    for (int i = 0; i < files; ++i) {
        const Smf::Song song = Smf::Demo(seconds, i + 1);
        songs << work.filePath(QStringLiteral("song%1.mid").arg(i));
        Smf::Write(song, songs.last());
        music += Smf::DurationSeconds(song);
    }
    return music;
}

// The renderer pauses a second on each file when the system's configuration names a SoundFont
// that is not installed: a song of a tenth of a second shows it.
double TinySongSeconds(const QTemporaryDir& work, const QString& config)
{
    const QString tiny = work.filePath(QStringLiteral("tiny.mid"));
    Smf::Write(Smf::Demo(0.1, 1), tiny);
    QElapsedTimer pause;
    pause.start();
    QProcess::execute(
        QStringLiteral("sh"),
        {QStringLiteral("-c"),
         QStringLiteral("timidity -c \"$0\" -Ow -o /dev/null - < \"$1\" >/dev/null 2>&1"), config,
         tiny});
    return double(pause.elapsed()) / 1000;
}

// The floor: the bare tools, one file after the other, through a WAV file in TEMP.
QString FloorScript(const QStringList& songs, const QString& config, const QString& temp,
                    const QString& bare)
{
    QString script = QStringLiteral("set -e\n");
    for (const QString& song : songs) {
        const QString name = QFileInfo(song).completeBaseName();
        script +=
            QStringLiteral("timidity -c '%1' -Ow -o '%2.wav' - < '%3' >/dev/null 2>&1\n"
                           "lame -h -m s -b 128 '%2.wav' '%4.mp3' >/dev/null 2>&1\n"
                           "rm '%2.wav'\n")
                .arg(config, temp + QLatin1Char('/') + name, song, bare + QLatin1Char('/') + name);
    }
    return script;
}

// The same tools joined by a pipe of the shell: what rendering into the encoder costs without
// this program in between.
QString PipeScript(const QStringList& songs, const QString& config, const QString& bare)
{
    QString piped = QStringLiteral("set -e\n");
    for (const QString& song : songs)
        piped +=
            QStringLiteral("timidity -c '%1' -Ow -o - - < '%3' 2>/dev/null | "
                           "lame -h -m s -b 128 - '%2.mp3' 2>/dev/null\n")
                .arg(config, bare + QLatin1Char('/') + QFileInfo(song).completeBaseName(), song);
    return piped;
}

struct Round
{
    Measured floor, pipe, one, all, off;
};

// The median and range of one ratio over the rounds.
struct Spread
{
    double median = 0;
    double least = 0;
    double most = 0;
};

template <typename Ratio> Spread Over(const QList<Round>& rounds, Ratio ratio)
{
    std::vector<double> values;
    for (const Round& round : rounds)
        values.push_back(ratio(round));
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    const double median =
        values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
    return {median, values.front(), values.back()};
}

void PrintRound(int index, const Round& r, int cores)
{
    std::printf("round %d: floor %.2f s (processor %.2f s), bare pipe %.3f x, -j1 %.3f x, "
                "-j%d %.2f x faster (processor %.2f s), on / off %.3f x (processor %.2f / %.2f "
                "s)\n",
                index, r.floor.wall, r.floor.cpu, r.pipe.wall / r.floor.wall,
                r.one.wall / r.floor.wall, cores, r.floor.wall / r.all.wall, r.all.cpu,
                r.all.wall / r.off.wall, r.all.cpu, r.off.cpu);
}

void Print(const QList<Round>& rounds, int files, double music, double tinySeconds)
{
    const int cores = QThread::idealThreadCount();
    std::printf("%d songs, %.0f s of music, %d cores, %lld rounds\n", files, music, cores,
                static_cast<long long>(rounds.size()));
    std::printf("renderer pause per file: %s (a 0.1 s song took %.2f s)\n",
                tinySeconds > 1.0 ? "present" : "absent", tinySeconds);
    for (qsizetype i = 0; i < rounds.size(); ++i)
        PrintRound(int(i + 1), rounds[i], cores);
    const auto show = [](const char* what, const Spread& spread, const char* aim) {
        std::printf("%s: median %.3f (%.3f to %.3f) %s\n", what, spread.median, spread.least,
                    spread.most, aim);
    };
    show("tunepress -j1 / floor",
         Over(rounds, [](const Round& r) { return r.one.wall / r.floor.wall; }), "(aim <= 0.85)");
    show("tunepress default jobs: times faster than the floor",
         Over(rounds, [](const Round& r) { return r.floor.wall / r.all.wall; }), "(aim >= 2)");
    // A processor-bound batch on N cores ends at best after the floor's processor time / N.
    show("default jobs against the limit (floor's processor time / cores)",
         Over(rounds, [&](const Round& r) { return r.all.wall / (r.floor.cpu / cores); }),
         "(aim <= 1.15)");
    show("processor time of default jobs / floor's",
         Over(rounds, [](const Round& r) { return r.all.cpu / r.floor.cpu; }), "");
    show("levelling: on / off",
         Over(rounds, [](const Round& r) { return r.all.wall / r.off.wall; }), "(aim <= 1.15)");
    long peakOne = 0, peakAll = 0, peakOff = 0;
    qint64 tempFloor = 0, tempOne = 0, tempAll = 0, tempOff = 0;
    for (const Round& r : rounds) {
        peakOne = std::max(peakOne, r.one.peakKilobytes);
        peakAll = std::max(peakAll, r.all.peakKilobytes);
        peakOff = std::max(peakOff, r.off.peakKilobytes);
        tempFloor = std::max(tempFloor, r.floor.peakTempBytes);
        tempOne = std::max(tempOne, r.one.peakTempBytes);
        tempAll = std::max(tempAll, r.all.peakTempBytes);
        tempOff = std::max(tempOff, r.off.peakTempBytes);
    }
    std::printf("peak TEMP use: floor %.1f MB, tunepress -j1 %.1f MB, default jobs %.1f MB, "
                "--loudness off %.1f MB\n",
                double(tempFloor) / 1e6, double(tempOne) / 1e6, double(tempAll) / 1e6,
                double(tempOff) / 1e6);
    std::printf("peak memory of tunepress: -j1 %.1f MB, default jobs %.1f MB, --loudness off "
                "%.1f MB\n",
                double(peakOne) / 1024, double(peakAll) / 1024, double(peakOff) / 1024);
}

// tunepress -j2 with long songs, which outgrow the memory a song is held in.
Measured LongSongs(const QString& program, const QTemporaryDir& work, const QString& temp,
                   double seconds, int count)
{
    QStringList songs;
    for (int i = 0; i < count; ++i) {
        songs << work.filePath(QStringLiteral("long%1.mid").arg(i));
        Smf::Write(Smf::Demo(seconds, i + 1), songs.last());
    }
    const QString out = work.filePath(QStringLiteral("outlong"));
    QDir().mkpath(out);
    const Measured two = Spawn(QStringList{program, QStringLiteral("-q"), QStringLiteral("-j2"),
                                           QStringLiteral("-o"), out} +
                                   songs,
                               temp);
    std::printf("%d songs of %.0f s, tunepress -j2: %.2f s, peak memory %.1f MB (aim <= 300 for "
                "two), peak TEMP use %.1f MB\n",
                count, seconds, two.wall, double(two.peakKilobytes) / 1024,
                double(two.peakTempBytes) / 1e6);
    return two;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const int files = argc > 1 ? std::max(8, atoi(argv[1])) : 8;
    const double seconds = argc > 2 ? std::max(20.0, atof(argv[2])) : 30.0;
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/tunepress");
    QTemporaryDir work;
    const QString temp = work.filePath(QStringLiteral("temp"));
    QDir().mkpath(temp);
    qputenv("TEMP", QFile::encodeName(temp));

    QStringList songs;
    const double music = WriteSongs(work, files, seconds, songs);
    const QString config = work.filePath(QStringLiteral("timidity.cfg"));
    QFile cfg(config);
    cfg.open(QIODevice::WriteOnly);
    cfg.write("soundfont \"/usr/share/sounds/sf2/TimGM6mb.sf2\"\r\n");
    cfg.close();
    const double tinySeconds = TinySongSeconds(work, config);

    const QString bare = work.filePath(QStringLiteral("bare"));
    QDir().mkpath(bare);
    auto tunepress = [&](const QStringList& extra) {
        const QString out = work.filePath(QStringLiteral("out%1").arg(extra.join(QString())));
        QDir().mkpath(out);
        return Spawn(QStringList{program, QStringLiteral("-q"), QStringLiteral("--no-tags"),
                                 QStringLiteral("-o"), out} +
                         extra + songs,
                     temp);
    };
    const int roundCount = argc > 5 ? std::max(1, atoi(argv[5])) : 3;
    QList<Round> rounds;
    bool failed = false;
    for (int i = 0; i < roundCount; ++i) {
        Round r;
        r.floor = Spawn(
            {QStringLiteral("sh"), QStringLiteral("-c"), FloorScript(songs, config, temp, bare)},
            temp);
        r.pipe = Spawn(
            {QStringLiteral("sh"), QStringLiteral("-c"), PipeScript(songs, config, bare)}, temp);
        r.one = tunepress({QStringLiteral("-j1")});
        r.all = tunepress({});
        r.off = tunepress({QStringLiteral("--loudness"), QStringLiteral("off")});
        for (const Measured* run : {&r.floor, &r.pipe, &r.one, &r.all, &r.off})
            failed = failed || run->status != 0;
        rounds << r;
    }
    Print(rounds, files, music, tinySeconds);
    const double longSeconds = argc > 3 ? std::max(60.0, atof(argv[3])) : 480.0;
    const int longSongs = argc > 4 ? std::max(2, atoi(argv[4])) : 2;
    const Measured two = LongSongs(program, work, temp, longSeconds, longSongs);
    if (failed || two.status != 0)
        std::printf("a run failed (long songs: status %d)\n", two.status);
    return 0;
}
