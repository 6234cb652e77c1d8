// tunepress: converts MIDI files to MP3 files from the command line, several at once.
#include "cli/batch.h"
#include "cli/console.h"
#include "cli/options.h"
#include "convert/applicationerror.h"
#include "convert/platform.h"
#include "convert/staging.h"
#include "convert/workspace.h"
#include "filelist/foldersearch.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

std::atomic<bool> Interrupted = false;

extern "C" void OnInterrupt(int)
{
    Interrupted = true;
}

void Catch(int signal)
{
    struct sigaction action
    {
    };
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
}

void Print(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

int TerminalWidth()
{
    winsize size{};
    return ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
}

// The files to convert: each file as given, each folder's matching files, sub-folders
// included, by the rules of the window's folder search.
QStringList ExpandInputs(const QStringList& inputs, const QString& extension)
{
    const tp::ErrorReporter warn = [](const QString& description, const QString&, int) {
        Print(stderr, QStringLiteral("tunepress: ") + description + QLatin1Char('\n'));
    };
    QStringList sources;
    for (const QString& input : inputs) {
        const QString path = QFileInfo(input).absoluteFilePath();
        if (!QFileInfo(path).isDir()) {
            sources << path;
            continue;
        }
        tp::ErrorTrap trap(QStringLiteral("searching ") + path, warn);
        FolderSearch::AddTreeFiles([&](const QString& found) { sources << found; },
                                   Platform::WithoutTrailingSeparators(path),
                                   QStringLiteral("*.") + extension, trap, warn, 0);
    }
    return sources;
}

int Run(const CliOptions& options)
{
    BatchSettings settings;
    settings.bitrate = options.bitrate;
    settings.jobs = options.jobs;
    settings.tags = options.tags;
    settings.lrc = options.lrc;
    Workspace workspace;
    try {
        settings.renderer = Staging::ResourceSource(Staging::Resource::Renderer);
        settings.encoder = Staging::ResourceSource(Staging::Resource::Encoder);
        const QString soundFont = options.soundFont.isEmpty()
                                      ? Staging::ResourceSource(Staging::Resource::SoundFont)
                                      : options.soundFont;
        // Without a choice the sound is the window's; a chosen SoundFont plays every instrument.
        Staging::WriteConfigFor(soundFont, workspace, !options.soundFont.isEmpty());
        settings.workFolder = workspace.path();
    } catch (const tp::ApplicationError& error) {
        Print(stderr, QStringLiteral("tunepress: ") + error.description() + QLatin1Char('\n'));
        return 1;
    }

    QFile report(options.report);
    if (!options.report.isEmpty() && !report.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        Print(stderr, QStringLiteral("tunepress: cannot write the report ") + options.report +
                          QStringLiteral(": ") + report.errorString() + QLatin1Char('\n'));
        return 2;
    }

    QList<BatchEntry> entries = PlanBatch(ExpandInputs(options.inputs, options.extension),
                                          options.outputDir, options.bitrate, options.skipExisting);
    const bool live = !options.quiet && ::isatty(STDERR_FILENO);
    QElapsedTimer clock;
    clock.start();
    int done = 0;
    auto show = [&](int index) {
        const double elapsed = double(clock.elapsed()) / 1000;
        if (index >= 0) {
            const BatchEntry& entry = entries[index];
            if (entry.status == BatchEntry::Status::Running)
                return;
            ++done;
            if (!live && (!options.quiet || entry.status == BatchEntry::Status::Failed))
                Print(stdout,
                      Console::FinishedLine(entry, done, int(entries.size())) + QLatin1Char('\n'));
        }
        if (live)
            Print(stderr, QStringLiteral("\r\x1b[K") +
                              Console::LiveLine(entries, elapsed, TerminalWidth() - 1));
    };
    // What the plan settled already (clashes, files skipped) is shown first.
    for (int index = 0; index < entries.size(); ++index)
        if (entries[index].status != BatchEntry::Status::Pending)
            show(index);
    RunBatch(entries, settings, Interrupted, show);
    const double elapsed = double(clock.elapsed()) / 1000;
    if (live)
        Print(stderr, QStringLiteral("\r\x1b[K"));

    for (BatchEntry& entry : entries)
        if (entry.status == BatchEntry::Status::Pending) {
            entry.status = BatchEntry::Status::Failed;
            entry.reason = QStringLiteral("the run was stopped before it was converted");
        }
    if (report.isOpen())
        for (const BatchEntry& entry : std::as_const(entries))
            report.write(Console::ReportLine(entry));

    bool failed = false;
    for (const BatchEntry& entry : std::as_const(entries))
        if (entry.status == BatchEntry::Status::Failed) {
            failed = true;
            Print(stderr, QStringLiteral("tunepress: ") + entry.source + QStringLiteral(": ") +
                              entry.reason + QLatin1Char('\n'));
        }
    if (Interrupted)
        Print(stderr, QStringLiteral("tunepress: stopped\n"));
    Print(stderr, Console::Summary(entries, elapsed) + QLatin1Char('\n'));
    return Interrupted ? 130 : failed ? 1 : 0;
}

} // namespace

int main(int argc, char** argv)
{
    // Tools that end early must not end this program with them.
    std::signal(SIGPIPE, SIG_IGN);
    Catch(SIGINT);
    Catch(SIGTERM);
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tunepress"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TUNEPRESS_VERSION));

    const ParsedCommandLine parsed = ParseCommandLine(QCoreApplication::arguments());
    if (parsed.finished) {
        Print(parsed.exitStatus == 0 ? stdout : stderr, parsed.output);
        return parsed.exitStatus;
    }
    return Run(parsed.options);
}
