// Converts a set of multi-track MIDI files through the main window and, in the same process,
// runs the same two tool commands bare on the same files, one after the other. Prints the
// wall-time ratio program/bare, the peak memory and the longest gap between two served timer
// events during the program's runs.
//
//   bench_convert [files (default 24)] [rounds (default 2)]

#include "app/mainwindow.h"
#include "app/progressbar.h"
#include "filelist/filelistview.h"
#include "smf/smfwriter.h"
#include "testwindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace {

bool RunBare(const QString& program, const QStringList& arguments, const QString& input = {})
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.setStandardInputFile(input.isEmpty() ? QProcess::nullDevice() : input);
    process.start(program, arguments);
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// The renderer and encoder commands of the program, typed out by hand.
double BareSeconds(const QStringList& midis, const QString& folder)
{
    const QString config = folder + QStringLiteral("/timidity.cfg");
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(config));
    file.write("soundfont \"/usr/share/sounds/sf2/TimGM6mb.sf2\"\r\n");
    file.close();
    const QString timidity = QStandardPaths::findExecutable(QStringLiteral("timidity"));
    const QString lame = QStandardPaths::findExecutable(QStringLiteral("lame"));

    QElapsedTimer clock;
    clock.start();
    for (const QString& midi : midis) {
        const QString base = QFileInfo(midi).completeBaseName();
        const QString wav = folder + QLatin1Char('/') + base + QStringLiteral(".wav");
        const QString mp3 = folder + QLatin1Char('/') + base + QStringLiteral("_128 kbps.mp3");
        if (!RunBare(timidity,
                     {QStringLiteral("-c"), config, QStringLiteral("-Ow"), QStringLiteral("-o"),
                      wav, QStringLiteral("-")},
                     midi) ||
            !RunBare(lame, {QStringLiteral("-h"), QStringLiteral("-m"), QStringLiteral("s"),
                            QStringLiteral("-b"), QStringLiteral("128"), wav, mp3}))
            qFatal("a bare tool run failed for %s", qPrintable(midi));
        QFile::remove(wav);
    }
    return clock.nsecsElapsed() / 1e9;
}

struct ProgramRun
{
    double seconds = 0;
    qint64 longestGapMs = 0;
    // What the bar showed when the longest gap ended, to tell where it came from.
    QString longestGapAt;
    int gapsOver110Ms = 0;
    int ticks = 0;
    QString message;
};

ProgramRun ProgramSeconds(const QStringList& midis, const QString& outFolder)
{
    TestWindow test;
    MainWindow& form = test.load();
    form.bitrateBox->setCurrentText(QStringLiteral("128 kbps"));
    form.saveToFolderOption->setChecked(true);
    form.outputFolderBox->setText(outFolder);
    for (const QString& midi : midis)
        form.fileList->append(midi);
    QCoreApplication::processEvents();

    ProgramRun run;
    QElapsedTimer sinceTick;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 gap = sinceTick.restart();
        ++run.ticks;
        run.gapsOver110Ms += gap > 110 ? 1 : 0;
        if (gap > run.longestGapMs) {
            run.longestGapMs = gap;
            run.longestGapAt = form.progressBar->Text();
        }
    });
    QElapsedTimer clock;
    clock.start();
    sinceTick.start();
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.start(10);
    form.startConverting();
    ticker.stop();
    run.seconds = clock.nsecsElapsed() / 1e9;
    run.message = test.dialogs.messageTexts().join(QStringLiteral(" | "));
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int files = argc > 1 ? std::max(20, atoi(argv[1])) : 24;
    const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 2;

    QTemporaryDir work;
    QTemporaryDir temp;
    qputenv("TEMP", QFile::encodeName(temp.path()));
    const QString music = work.path() + QStringLiteral("/music");
    const QString out = work.path() + QStringLiteral("/out");
    const QString bare = work.path() + QStringLiteral("/bare");
    QDir().mkpath(music);
    QDir().mkpath(out);
    QDir().mkpath(bare);

    QStringList midis;
    double musicSeconds = 0;
    for (int i = 0; i < files; ++i) {
        // Spread evenly from 3 to 90 seconds of music.
        const double seconds = 3.0 + 87.0 * i / (files - 1);
        const Smf::Song song = Smf::Demo(seconds, i + 1);
        const QString path =
            music + QStringLiteral("/song%1.mid").arg(i + 1, 2, 10, QLatin1Char('0'));
        if (!Smf::Write(song, path))
            qFatal("cannot write %s", qPrintable(path));
        musicSeconds += Smf::DurationSeconds(song);
        midis << path;
    }
    std::printf("%d MIDI files, %d tracks each, %.0f s of music in all\n", files,
                static_cast<int>(Smf::Demo(3.0, 1).tracks.size()) + 1, musicSeconds);

    double bareTotal = 0;
    double programTotal = 0;
    qint64 longestGap = 0;
    for (int round = 1; round <= rounds; ++round) {
        // Alternate which side goes first, so that a drift in the machine's load is shared.
        double bareSeconds = 0;
        ProgramRun run;
        if (round % 2 == 1) {
            bareSeconds = BareSeconds(midis, bare);
            run = ProgramSeconds(midis, out);
        } else {
            run = ProgramSeconds(midis, out);
            bareSeconds = BareSeconds(midis, bare);
        }
        bareTotal += bareSeconds;
        programTotal += run.seconds;
        longestGap = std::max(longestGap, run.longestGapMs);
        std::printf("round %d: bare %.2f s, program %.2f s, ratio %.4f\n", round, bareSeconds,
                    run.seconds, run.seconds / bareSeconds);
        std::printf("  timer: %d events served, %d gaps over 110 ms, longest %lld ms (at \"%s\")\n",
                    run.ticks, run.gapsOver110Ms, static_cast<long long>(run.longestGapMs),
                    qPrintable(run.longestGapAt));
        if (run.message != QStringLiteral("Done."))
            std::printf("  the run ended with: %s\n", qPrintable(run.message));
    }

    rusage self{};
    getrusage(RUSAGE_SELF, &self);
    std::printf("ratio program/bare: %.4f (aim: at most 1.03)\n", programTotal / bareTotal);
    std::printf("longest gap between served timer events: %lld ms (aim: under 150 ms)\n",
                static_cast<long long>(longestGap));
    std::printf("peak memory of the program: %ld KiB\n", self.ru_maxrss);
    return 0;
}
