// tunepress: converts MIDI files to MP3 files from the command line, several at once.
#include "cli/batch.h"
#include "cli/console.h"
#include "cli/options.h"
#include "cli/report.h"
#include "cli/soundfonts.h"
#include "cli/sources.h"
#include "cli/stopping.h"
#include "convert/applicationerror.h"
#include "convert/platform.h"
#include "convert/staging.h"
#include "convert/workspace.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringEncoder>
#include <QtConcurrent/QtConcurrentMap>
#include <cstdio>
#include <cstdlib>
#include <sys/ioctl.h>
#include <unistd.h>
#include <vector>

namespace {

// The bytes that show the text, stray bytes of names escaped, made straight into the end of
// bytes: a dry run shows many thousands of lines.
void AppendPrintable(QByteArray& bytes, const QString& text, QStringEncoder& encoder)
{
    const QString shown = Platform::DisplayPath(text);
    const qsizetype used = bytes.size();
    bytes.resize(used + encoder.requiredSpace(shown.size()));
    const char* end = encoder.appendToBuffer(bytes.data() + used, shown);
    bytes.resize(end - bytes.constData());
}

void Print(std::FILE* stream, const QString& text)
{
    QByteArray bytes;
    QStringEncoder encoder(QStringConverter::System);
    AppendPrintable(bytes, text, encoder);
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

void Complain(const QString& text)
{
    Print(stderr, QStringLiteral("tunepress: ") + text + QLatin1Char('\n'));
}

int UsageError(const QString& text)
{
    Complain(text + QStringLiteral("\nTry 'tunepress --help' for more information."));
    return 2;
}

int TerminalWidth()
{
    winsize size{};
    return ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
}

// Each source and its MP3 file, as the run would take them; exit status 1 when one would fail.
int DryRun(const QList<PlannedEntry>& entries)
{
    int failing = 0;
    int skipped = 0;
    for (const PlannedEntry& entry : entries) {
        failing += entry.status == PlannedEntry::Status::Failed;
        skipped += entry.status == PlannedEntry::Status::Skipped;
    }
    // A collection has many thousands of lines: blocks of them are made on all processors at
    // once and written in their order.
    constexpr qsizetype Block = 2048;
    const qsizetype blocks = (entries.size() + Block - 1) / Block;
    constexpr qsizetype BlocksAtOnce = 16;
    for (qsizetype first = 0; first < blocks; first += BlocksAtOnce) {
        QList<qsizetype> starts;
        for (qsizetype block = first; block < std::min(blocks, first + BlocksAtOnce); ++block)
            starts << block * Block;
        const QList<QByteArray> lines = QtConcurrent::blockingMapped(starts, [&](qsizetype start) {
            QByteArray bytes;
            QStringEncoder encoder(QStringConverter::System);
            for (qsizetype i = start; i < std::min(start + Block, entries.size()); ++i) {
                AppendPrintable(bytes, Console::PlannedLine(entries.at(i)), encoder);
                bytes += '\n';
            }
            return bytes;
        });
        for (const QByteArray& block : lines)
            std::fwrite(block.constData(), 1, size_t(block.size()), stdout);
    }
    std::fflush(stdout);
    Print(stderr, QStringLiteral("%1 to convert, %2 failing, %3 skipped (dry run)\n")
                      .arg(entries.size() - failing - skipped)
                      .arg(failing)
                      .arg(skipped));
    return failing > 0 ? 1 : 0;
}

// The tools, the workspace with the renderer's configurations, and each entry's SoundFont.
// False, having said why, when the run cannot start.
bool Prepare(const CliOptions& options, Workspace& workspace, BatchSettings& settings,
             QList<BatchEntry>& entries)
{
    settings.bitrate = options.bitrate;
    settings.jobs = options.jobs;
    settings.tags = options.tags;
    settings.lrc = options.lrc;
    settings.loudness = options.loudness;
    try {
        settings.renderer = Staging::ResourceSource(Staging::Resource::Renderer);
        settings.encoder = Staging::ResourceSource(Staging::Resource::Encoder);
        const QString soundFont = options.soundFont.isEmpty()
                                      ? Staging::ResourceSource(Staging::Resource::SoundFont)
                                      : options.soundFont;
        // Without a choice the sound is the window's; a chosen SoundFont plays every instrument.
        Staging::WriteConfigFor(soundFont, workspace, !options.soundFont.isEmpty());
        settings.workFolder = workspace.path();
        SoundFontChoice choice(soundFont, workspace);
        for (BatchEntry& entry : entries)
            if (entry.status == BatchEntry::Status::Pending)
                choice.assign(entry);
    } catch (const tp::ApplicationError& error) {
        Complain(error.description());
        return false;
    }
    return true;
}

// What the person or script watching sees of the run, and its report: each entry counted and
// reported once, when it ends.
class Progress
{
public:
    Progress(const CliOptions& options, QList<BatchEntry>& entries, LiveReport& report)
        : m_entries(entries), m_report(report), m_quiet(options.quiet),
          m_live(!options.quiet && ::isatty(STDERR_FILENO)),
          m_lines(options.report == QStringLiteral("-") ? stderr : stdout),
          m_reported(entries.size(), false)
    {
        m_clock.start();
    }

    void ended(int index);
    void show();
    // Ends the program at once, after a second signal: reports what did not end and removes
    // the partial files and the workspace, without waiting for the jobs.
    [[noreturn]] void endAtOnce(Workspace& workspace);
    void clearLine() const;
    double elapsed() const { return double(m_clock.elapsed()) / 1000; }
    const QString& reportError() const { return m_reportError; }

private:
    QList<BatchEntry>& m_entries;
    LiveReport& m_report;
    const bool m_quiet;
    const bool m_live;
    std::FILE* const m_lines;
    std::vector<bool> m_reported;
    int m_done = 0;
    QElapsedTimer m_clock;
    QString m_reportError;
};

void Progress::ended(int index)
{
    if (m_reported[size_t(index)])
        return;
    m_reported[size_t(index)] = true;
    const BatchEntry& entry = m_entries[index];
    ++m_done;
    if (!m_live && (!m_quiet || entry.status == BatchEntry::Status::Failed))
        Print(m_lines,
              Console::FinishedLine(entry, m_done, int(m_entries.size())) + QLatin1Char('\n'));
    if (m_reportError.isEmpty() && !m_report.write(entry)) {
        // A report that cannot be kept makes the run's outcome unknowable: it ends here.
        m_reportError = m_report.error();
        Stopping::Request();
    }
}

void Progress::show()
{
    if (m_live)
        Print(stderr, QStringLiteral("\r\x1b[K") +
                          Console::LiveLine(m_entries, elapsed(), TerminalWidth() - 1));
}

void Progress::clearLine() const
{
    if (m_live)
        Print(stderr, QStringLiteral("\r\x1b[K"));
}

void Progress::endAtOnce(Workspace& workspace)
{
    clearLine();
    for (qsizetype index = 0; index < m_entries.size(); ++index)
        if (!m_reported[size_t(index)]) {
            BatchEntry entry = m_entries[index];
            entry.status = BatchEntry::Status::Failed;
            entry.reason = QStringLiteral("the run was stopped at once");
            m_report.write(entry);
        }
    workspace.removeWithNotedFiles();
    Complain(QStringLiteral("stopped at once"));
    std::_Exit(130);
}

int Finish(QList<BatchEntry>& entries, Progress& progress)
{
    for (qsizetype index = 0; index < entries.size(); ++index)
        if (entries[index].status == BatchEntry::Status::Pending) {
            entries[index].status = BatchEntry::Status::Failed;
            entries[index].reason = QStringLiteral("the run was stopped before it was converted");
            progress.ended(int(index));
        }
    bool failed = false;
    for (const BatchEntry& entry : std::as_const(entries))
        if (entry.status == BatchEntry::Status::Failed) {
            failed = true;
            Complain(entry.source + QStringLiteral(": ") + entry.reason);
        }
    if (!progress.reportError().isEmpty())
        Complain(progress.reportError());
    else if (Stopping::Requested())
        Complain(QStringLiteral("stopped"));
    Print(stderr, Console::Summary(entries, progress.elapsed()) + QLatin1Char('\n'));
    if (!progress.reportError().isEmpty())
        return 1;
    return Stopping::Requested() ? 130 : failed ? 1 : 0;
}

int Convert(const CliOptions& options, QList<BatchEntry>& entries, LiveReport& report)
{
    Workspace workspace;
    BatchSettings settings;
    if (!Prepare(options, workspace, settings, entries))
        return 1;
    Progress progress(options, entries, report);
    // What the plan settled already (clashes, files skipped) is shown first.
    for (qsizetype index = 0; index < entries.size(); ++index)
        if (entries[index].status != BatchEntry::Status::Pending)
            progress.ended(int(index));
    RunBatch(entries, settings, Stopping::Requested(), [&](int index, BatchEvent event) {
        if (event == BatchEvent::Ended)
            progress.ended(index);
        if (Stopping::RequestedAgain())
            progress.endAtOnce(workspace);
        if (event != BatchEvent::Started)
            progress.show();
    });
    progress.clearLine();
    return Finish(entries, progress);
}

int Run(const CliOptions& options)
{
    LiveReport report;
    if (!options.dryRun && !report.open(options.report))
        return UsageError(report.error());
    // Until the batch is planned there is nothing to clean up: a signal ends the search or
    // the reading of a list at once.
    Stopping::SetEndAtOnce(true);
    QList<Sources::Source> sources;
    QString error;
    if (!Sources::Gather(options, sources, error))
        return UsageError(error);
    QList<PlannedEntry> plan = PlanBatch(sources, options.bitrate, options.skipExisting);
    if (options.dryRun)
        return DryRun(plan);
    Stopping::SetEndAtOnce(false);
    QList<BatchEntry> entries;
    entries.reserve(plan.size());
    for (PlannedEntry& planned : plan)
        entries.emplaceBack(std::move(planned));
    return Convert(options, entries, report);
}

} // namespace

int main(int argc, char** argv)
{
    Stopping::CatchSignals();
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tunepress"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TUNEPRESS_VERSION));

    // Qt's own list of the arguments loses every byte that is not UTF-8; a file's name may hold
    // any.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << Platform::DecodePath(argv[i]);
    const ParsedCommandLine parsed = ParseCommandLine(arguments);
    if (parsed.finished) {
        Print(parsed.exitStatus == 0 ? stdout : stderr, parsed.output);
        return parsed.exitStatus;
    }
    return Run(parsed.options);
}
