#include "convert/runner.h"

#include "convert/platform.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QThread>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace Runner {

namespace {

// Enough of the child's output to name the reason of a failure.
constexpr qsizetype KeptOutput = 4096;
// The size asked for a pipe that carries sound between this program and a tool: a few turns of
// a pipe's loop at the tools' pace, and little against what the system lets one user's pipes
// hold, however many jobs run.
constexpr int SoundPipeBytes = 256 * 1024;

QString DisplayArgument(const QString& argument)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./=:,+@%-]+$"));
    if (plain.match(argument).hasMatch())
        return argument;
    QString quoted = argument;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\\\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

void KeepTail(QByteArray& kept, const QByteArray& more)
{
    kept.append(more);
    if (kept.size() > KeptOutput)
        kept = kept.right(KeptOutput);
}

} // namespace

QString Command::DisplayText() const
{
    QStringList parts{DisplayArgument(program)};
    for (const QString& argument : arguments)
        parts << DisplayArgument(argument);
    if (!standardInputFile.isEmpty())
        parts << QStringLiteral("<") << DisplayArgument(standardInputFile);
    return parts.join(QLatin1Char(' '));
}

QStringList Outcome::Lines() const
{
    // Tools that draw progress on a terminal end their lines with control sequences too.
    static const QRegularExpression breaks(QStringLiteral("[\r\n]|\x1b\\[[0-9;?]*[A-Za-z]"));
    return lastOutput.split(breaks, Qt::SkipEmptyParts);
}

QString Outcome::LastLine() const
{
    const QStringList lines = Lines();
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        const QString trimmed = line->trimmed();
        if (!trimmed.isEmpty())
            return trimmed;
    }
    return QString();
}

int SettleWindowStyle(std::optional<int> windowStyle)
{
    if (!windowStyle || *windowStyle < 0 || *windowStyle > 6)
        return DefaultWindowStyle;
    return *windowStyle;
}

// The arithmetic rounds halves to even, which is what nearbyint does in the default rounding
// mode.
double BarStep(int entryCount)
{
    return std::nearbyint(BarScale / entryCount / StepDivisor);
}

double BarCap(int entryCount, long long startValue)
{
    return std::nearbyint(BarScale / entryCount + static_cast<double>(startValue) -
                          BarStep(entryCount));
}

std::optional<double> BarValueAtPoll(int pollCounter, int entryCount, long long startValue)
{
    // Without entries there is no share of the bar to move within.
    if (entryCount < 1 || pollCounter < NoticeThreshold ||
        (pollCounter - NoticeThreshold) % StepInterval != 0)
        return std::nullopt;
    const double step = BarStep(entryCount);
    const double cap = BarCap(entryCount, startValue);
    const double target = static_cast<double>(pollCounter - NoticeThreshold) / StepInterval * step +
                          static_cast<double>(startValue);
    return target >= cap ? cap : target;
}

QString WaitNotice(const QString& baseText, int pollCounter)
{
    QString notice = baseText;
    if (!baseText.isEmpty())
        notice += QStringLiteral(", ");
    return notice + QStringLiteral("Please wait.. ") +
           QString::number(pollCounter - NoticeThreshold);
}

namespace {

// The child's input file and working folder, opened here by their bytes: QProcess would name
// them to the system as UTF-8 text, which cannot hold every byte of a file name. The child
// takes them over between its start and the program's.
class ChildFiles
{
public:
    ChildFiles(const Command& command, QString& failure)
    {
        if (!command.standardInputFile.isEmpty() &&
            (m_input = open(command.standardInputFile, O_RDONLY | O_NOCTTY)) < 0)
            failure = command.standardInputFile + QStringLiteral(": ") +
                      QString::fromLocal8Bit(std::strerror(errno));
        else if (!command.workingFolder.isEmpty() &&
                 (m_folder = open(command.workingFolder, O_PATH | O_DIRECTORY)) < 0)
            failure = command.workingFolder + QStringLiteral(": ") +
                      QString::fromLocal8Bit(std::strerror(errno));
    }
    ~ChildFiles()
    {
        for (const int descriptor : {m_input, m_folder})
            if (descriptor >= 0)
                ::close(descriptor);
    }
    ChildFiles(const ChildFiles&) = delete;
    ChildFiles& operator=(const ChildFiles&) = delete;

    // Each tool also leads a process group of its own, so that a terminal's Ctrl-C reaches this
    // program alone, which then stops the tool itself and knows why it ended. The stream that
    // carries sound, if any (-1: none), gets a larger pipe, so that this program fills or empties
    // it a few times a second rather than at every read and write of the tool; where the system
    // refuses, it keeps its size.
    void handTo(QProcess& process, int soundStream) const
    {
        process.setChildProcessModifier([input = m_input, folder = m_folder, soundStream] {
            // Only calls that are safe between fork and exec.
            ::setpgid(0, 0);
            if (soundStream >= 0)
                ::fcntl(soundStream, F_SETPIPE_SZ, SoundPipeBytes);
            if ((input >= 0 && ::dup2(input, STDIN_FILENO) < 0) ||
                (folder >= 0 && ::fchdir(folder) != 0))
                ::_exit(127);
        });
    }

private:
    static int open(const QString& path, int flags)
    {
        return ::open(Platform::EncodePath(path).constData(), flags | O_CLOEXEC);
    }

    int m_input = -1;
    int m_folder = -1;
};

// Sets up the child's input and environment and starts it; answers whether it started, with
// the reason in the outcome when it did not.
bool Start(QProcess& process, const Command& command, Outcome& outcome, QIODevice::OpenMode mode,
           int soundStream = -1)
{
    QString failure;
    const ChildFiles files(command, failure);
    if (!failure.isEmpty()) {
        outcome.lastOutput = Platform::DisplayPath(failure);
        return false;
    }
    files.handTo(process, soundStream);
    if (!command.standardInputFile.isEmpty() || !(mode & QIODevice::WriteOnly))
        process.setStandardInputFile(QProcess::nullDevice());
    if (!command.environment.isEmpty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const auto& [name, value] : command.environment)
            environment.insert(name, value);
        process.setProcessEnvironment(environment);
    }
    if (command.program.isEmpty()) {
        outcome.lastOutput = QStringLiteral("No program was given.");
        return false;
    }
    process.start(command.program, command.arguments, mode);
    if (!process.waitForStarted(-1)) {
        outcome.lastOutput = process.errorString();
        return false;
    }
    outcome.started = true;
    return true;
}

bool Cancelled(const std::atomic<bool>* cancel)
{
    return cancel && cancel->load();
}

// Stops a child that is still running and waits for its end.
void Stop(QProcess& process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.kill();
    process.waitForFinished(-1);
}

void Finish(QProcess& process, Outcome& outcome, const QByteArray& output)
{
    outcome.crashed = process.exitStatus() == QProcess::CrashExit;
    outcome.exitCode = process.exitCode();
    outcome.lastOutput = QString::fromLocal8Bit(output);
}

// Hands the bytes on to the consumer, waiting while more than this is still unwritten.
constexpr qint64 PipeBacklog = 256 * 1024;
// Between two turns of a pipe's loop; at the tools' pace a pipe of the default size neither
// fills nor runs dry in this time.
constexpr unsigned long TurnMilliseconds = 10;

} // namespace

namespace {

// A display that refuses a value must not end the wait while the child still runs: the first
// such failure is kept and handed on once the child has ended.
class DisplayGuard
{
public:
    template <typename Change> void show(Change&& change)
    {
        try {
            change();
        } catch (...) {
            if (!m_failure)
                m_failure = std::current_exception();
        }
    }
    void rethrow() const
    {
        if (m_failure)
            std::rethrow_exception(m_failure);
    }

private:
    std::exception_ptr m_failure;
};

// One poll's events and, past the notice threshold, the bar's notice and step.
void ShowPoll(const Options& options, int pollCounter, DisplayGuard& display)
{
    tp::ProgressDisplay* const progressBar = options.progressBar;
    Platform::PumpEvents();
    if (pollCounter >= NoticeThreshold) {
        Platform::PumpEvents();
        display.show([&] { progressBar->setText(WaitNotice(options.baseText, pollCounter)); });
        if (const auto value = BarValueAtPoll(pollCounter, options.entryCount, options.startValue))
            display.show([&] { progressBar->SetValue(*value); });
        Platform::PumpEvents();
    }
    Platform::PumpEvents();
}

// Polls the child to its end while window events run; answers what it wrote last.
QByteArray WaitWithEvents(QProcess& process, const Options& options, DisplayGuard& display)
{
    QByteArray output;
    int pollCounter = 0;
    bool running = true;
    while (running) {
        if (Cancelled(options.cancel))
            Stop(process);
        // Returns the moment the child ends, so its end is never noticed late.
        process.waitForFinished(PollMilliseconds);
        KeepTail(output, process.readAll());
        running = process.state() != QProcess::NotRunning;
        Platform::PumpEvents();
        if (options.progressBar)
            ShowPoll(options, ++pollCounter, display);
        Platform::PumpEvents();
        // The events may have seen the child end already.
        running = running && process.state() != QProcess::NotRunning;
    }
    KeepTail(output, process.readAll());
    return output;
}

} // namespace

int RunAndWait(const Command& command, const Options& options, Outcome* outcome)
{
    Outcome result;
    // Console tools have no window, so the settled style changes nothing on this platform.
    static_cast<void>(SettleWindowStyle(options.windowStyle));

    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    if (!Start(process, command, result, QIODevice::ReadOnly)) {
        if (outcome)
            *outcome = result;
        return StartFailed;
    }

    DisplayGuard display;
    const QByteArray output = WaitWithEvents(process, options, display);
    if (options.progressBar)
        display.show([&] {
            options.progressBar->setText(options.baseText.isEmpty() ? QStringLiteral("Progress Bar")
                                                                    : options.baseText);
        });

    Finish(process, result, output);
    if (outcome)
        *outcome = result;
    display.rethrow();
    return result.exitCode;
}

namespace {

// Hands every byte on as it comes, after the observer has seen it.
class PassOn : public Relay
{
public:
    explicit PassOn(const std::function<void(QByteArrayView bytes)>& observer)
        : m_observer(observer)
    {}
    void take(QByteArrayView bytes) override
    {
        m_observer(bytes);
        m_bytes.append(bytes);
    }
    QByteArray give(qint64) override { return std::exchange(m_bytes, QByteArray()); }
    bool exhausted() const override { return m_bytes.isEmpty(); }

private:
    const std::function<void(QByteArrayView bytes)>& m_observer;
    QByteArray m_bytes;
};

// The two children of RunPiped and what passes between them.
class Pipe
{
public:
    Pipe(Relay& relay, const std::atomic<bool>* cancel, const std::function<void()>& producerEnded,
         Piped& result)
        : m_relay(relay), m_cancel(cancel), m_producerEnded(producerEnded), m_result(result)
    {}
    bool start(const Command& producer, const Command& consumer);
    void run();
    void finish();

private:
    bool cancelledNow();
    void drainOutputs();
    bool feedConsumer();
    bool producerStep();
    void closeConsumer();

    Relay& m_relay;
    const std::atomic<bool>* m_cancel;
    const std::function<void()>& m_producerEnded;
    Piped& m_result;
    QProcess m_producer;
    QProcess m_consumer;
    QByteArray m_producerErrors;
    QByteArray m_consumerOutput;
};

bool Pipe::start(const Command& producer, const Command& consumer)
{
    m_consumer.setProcessChannelMode(QProcess::MergedChannels);
    if (!Start(m_consumer, consumer, m_result.consumer, QIODevice::ReadWrite, STDIN_FILENO))
        return false;
    m_producer.setProcessChannelMode(QProcess::SeparateChannels);
    if (!Start(m_producer, producer, m_result.producer, QIODevice::ReadOnly, STDOUT_FILENO)) {
        m_consumer.closeWriteChannel();
        Stop(m_consumer);
        return false;
    }
    return true;
}

bool Pipe::cancelledNow()
{
    if (!m_result.cancelled && Cancelled(m_cancel)) {
        m_result.cancelled = true;
        Stop(m_producer);
        Stop(m_consumer);
    }
    return m_result.cancelled;
}

void Pipe::drainOutputs()
{
    KeepTail(m_producerErrors, m_producer.readAllStandardError());
    KeepTail(m_consumerOutput, m_consumer.readAll());
}

// Writes what the relay gives while the consumer keeps up; false once the consumer has ended.
bool Pipe::feedConsumer()
{
    while (m_consumer.state() != QProcess::NotRunning && !cancelledNow()) {
        // Without an event loop in this thread, bytes reach the consumer, and its words reach
        // us, only while we wait on it.
        m_consumer.waitForBytesWritten(0);
        if (m_consumer.bytesToWrite() > PipeBacklog) {
            // Waiting for room would wake at each of the consumer's reads.
            QThread::msleep(TurnMilliseconds);
            continue;
        }
        const QByteArray bytes = m_relay.give(PipeBacklog);
        if (bytes.isEmpty())
            break;
        m_consumer.write(bytes);
    }
    m_consumer.waitForReadyRead(0);
    drainOutputs();
    return m_consumer.state() != QProcess::NotRunning;
}

// One round while the producer may still write; false once it has ended and all is taken.
bool Pipe::producerStep()
{
    const bool producerEnded = m_producer.state() == QProcess::NotRunning;
    if (!producerEnded) {
        // Waiting for bytes would wake at each of the producer's writes.
        QThread::msleep(TurnMilliseconds);
        m_producer.waitForReadyRead(0);
    }
    const QByteArray bytes = m_producer.readAllStandardOutput();
    if (!bytes.isEmpty())
        m_relay.take(bytes);
    if (!feedConsumer()) {
        // Nobody takes the rest: the producer's work is of no use any more.
        Stop(m_producer);
        return false;
    }
    return !(producerEnded && m_producer.bytesAvailable() == 0);
}

void Pipe::run()
{
    while (!cancelledNow() && producerStep()) {
    }
    if (cancelledNow() || m_consumer.state() == QProcess::NotRunning)
        return;
    if (m_producerEnded) {
        m_producerEnded();
        if (cancelledNow())
            return;
    }
    m_relay.producerEnded();
    while (!cancelledNow() && feedConsumer() && !m_relay.exhausted()) {
    }
}

void Pipe::closeConsumer()
{
    if (m_result.cancelled || m_consumer.state() == QProcess::NotRunning)
        return;
    m_consumer.closeWriteChannel();
    while (!m_consumer.waitForFinished(PollMilliseconds)) {
        drainOutputs();
        if (cancelledNow() || m_consumer.state() == QProcess::NotRunning)
            break;
    }
}

void Pipe::finish()
{
    closeConsumer();
    drainOutputs();
    Finish(m_producer, m_result.producer, m_producerErrors);
    Finish(m_consumer, m_result.consumer, m_consumerOutput);
}

} // namespace

Piped RunPiped(const Command& producer, const Command& consumer, Relay& relay,
               const std::atomic<bool>* cancel, const std::function<void()>& producerEnded)
{
    Piped result;
    Pipe pipe(relay, cancel, producerEnded, result);
    if (!pipe.start(producer, consumer))
        return result;
    pipe.run();
    pipe.finish();
    return result;
}

Piped RunPiped(const Command& producer, const Command& consumer,
               const std::function<void(QByteArrayView bytes)>& observer,
               const std::atomic<bool>* cancel)
{
    PassOn relay(observer);
    return RunPiped(producer, consumer, relay, cancel);
}

} // namespace Runner
