#pragma once

#include "convert/progressdisplay.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <optional>

// Starts one child process and waits for it while the window keeps handling its events.
namespace Runner {

// A failed start is answered with an error number plus this base.
inline constexpr int StartErrorBase = -2147221504;
// The error number of a child that cannot be started ("File not found").
inline constexpr int FileNotFound = 53;
inline constexpr int StartFailed = FileNotFound + StartErrorBase;

inline constexpr int PollMilliseconds = 100;
inline constexpr int NoticeThreshold = 50;
inline constexpr int StepInterval = 150;
inline constexpr int StepDivisor = 10;
inline constexpr double BarScale = 100.0;

// The window style of a child when none or an unknown one is given.
inline constexpr int DefaultWindowStyle = 6;

// A program and its arguments, handed to the platform as they are: no shell, no quoting.
struct Command
{
    QString program;
    QStringList arguments;
    // A file the child reads as its standard input; empty: none.
    QString standardInputFile;
    // Variables set in the child's environment on top of the program's own.
    QList<QPair<QString, QString>> environment;
    // The folder the child starts in; empty: this program's own.
    QString workingFolder = {};

    // The command line as a person would type it, for messages.
    QString DisplayText() const;
};

// What became of one child, beyond the number that RunAndWait answers.
struct Outcome
{
    bool started = false;
    bool crashed = false;
    int exitCode = 0;
    // The last lines the child wrote (standard output and error together), or why it could
    // not be started.
    QString lastOutput;

    // The last non-empty line of lastOutput.
    QString LastLine() const;
    // lastOutput split into lines.
    QStringList Lines() const;
};

// Show-window codes 0 to 6 pass; anything else, or none, becomes 6.
int SettleWindowStyle(std::optional<int> windowStyle);

// How far the bar moves per step while a tool runs for one of entryCount entries.
double BarStep(int entryCount);
// The highest value the bar is moved to from startValue.
double BarCap(int entryCount, long long startValue);
// The value the bar is set to at a poll, or nothing when the bar does not move at that poll.
std::optional<double> BarValueAtPoll(int pollCounter, int entryCount, long long startValue);
// The bar's text at a poll from the notice threshold on.
QString WaitNotice(const QString& baseText, int pollCounter);

// How RunAndWait waits: the window style of the child, and the progress display that shows the
// wait (none: the runner only polls).
struct Options
{
    std::optional<int> windowStyle;
    tp::ProgressDisplay* progressBar = nullptr;
    // The display's text at the call, to which the wait notice is added and which is put back.
    QString baseText;
    // The display's value at the call and the number of entries of the whole run, which size
    // the steps the bar moves by while the child runs.
    long long startValue = 0;
    int entryCount = 0;
    // When it becomes true, the child is stopped and the wait ends.
    const std::atomic<bool>* cancel = nullptr;
};

// Starts the command and returns when the child has ended, with its exit code; when it cannot
// be started, at once with StartFailed. While it waits, window events run and the bar (when
// given) shows the wait. Never throws once the child has started, so that no child is left
// running behind the caller's back; a display that refused a change is rethrown at the end.
int RunAndWait(const Command& command, const Options& options = {}, Outcome* outcome = nullptr);

// What stands between the producer and the consumer of RunPiped: it takes every byte the
// producer writes and gives the consumer its input, at once or only once the producer has ended.
class Relay
{
public:
    virtual ~Relay() = default;
    virtual void take(QByteArrayView bytes) = 0;
    // Called once, when the producer has ended and every byte it wrote was taken.
    virtual void producerEnded() {}
    // Up to most bytes for the consumer; empty when there are none for now or none any more.
    virtual QByteArray give(qint64 most) = 0;
    // Whether everything there was to give has been given (asked once the producer has ended).
    virtual bool exhausted() const = 0;
};

// Runs the producer with its standard output fed, through the relay, into the consumer's
// standard input, and returns when both have ended. The consumer is started first; a consumer
// that reads slowly slows the giving down instead of letting bytes pile up in memory. When the
// consumer ends early, the producer is stopped. The producer's outcome keeps its standard
// error, the consumer's both of its channels.
struct Piped
{
    Outcome producer;
    Outcome consumer;
    bool cancelled = false;
};
// producerEnded, when given, is called once the producer has ended of itself and the relay has
// taken all it wrote, before the relay hears of it: the producer's share of the work is done.
Piped RunPiped(const Command& producer, const Command& consumer, Relay& relay,
               const std::atomic<bool>* cancel = nullptr,
               const std::function<void()>& producerEnded = {});
// The same with every byte handed on as it comes, after the observer has seen it.
Piped RunPiped(const Command& producer, const Command& consumer,
               const std::function<void(QByteArrayView bytes)>& observer,
               const std::atomic<bool>* cancel = nullptr);

} // namespace Runner
