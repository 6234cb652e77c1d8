#pragma once

#include "convert/progressdisplay.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
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

// Starts the command and returns when the child has ended, with its exit code; when it cannot
// be started, at once with StartFailed. While it waits, window events run and the bar (when
// given) shows the wait. Never throws once the child has started, so that no child is left
// running behind the caller's back.
int RunAndWait(const Command& command, std::optional<int> windowStyle = std::nullopt,
               tp::ProgressDisplay* progressBar = nullptr, const QString& baseText = QString(),
               long long startValue = 0, int entryCount = 0, Outcome* outcome = nullptr);

} // namespace Runner
