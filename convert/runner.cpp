#include "convert/runner.h"

#include "convert/platform.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <cmath>
#include <exception>

namespace Runner {

namespace {

// Enough of the child's output to name the reason of a failure.
constexpr qsizetype KeptOutput = 4096;

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

int RunAndWait(const Command& command, std::optional<int> windowStyle,
               tp::ProgressDisplay* progressBar, const QString& baseText, long long startValue,
               int entryCount, Outcome* outcome)
{
    Outcome result;
    // Console tools have no window, so the settled style changes nothing on this platform.
    static_cast<void>(SettleWindowStyle(windowStyle));

    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardInputFile(command.standardInputFile.isEmpty() ? QProcess::nullDevice()
                                                                     : command.standardInputFile);
    if (!command.environment.isEmpty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const auto& [name, value] : command.environment)
            environment.insert(name, value);
        process.setProcessEnvironment(environment);
    }

    if (!command.program.isEmpty())
        process.start(command.program, command.arguments, QIODevice::ReadOnly);
    if (command.program.isEmpty() || !process.waitForStarted(-1)) {
        result.lastOutput = command.program.isEmpty() ? QStringLiteral("No program was given.")
                                                      : process.errorString();
        if (outcome)
            *outcome = result;
        return StartFailed;
    }
    result.started = true;

    // A display that refuses a value must not end the wait while the child still runs: the
    // first such failure is handed on once the child has ended.
    std::exception_ptr displayFailure;
    auto show = [&](auto&& change) {
        try {
            change();
        } catch (...) {
            if (!displayFailure)
                displayFailure = std::current_exception();
        }
    };

    QByteArray output;
    int pollCounter = 0;
    bool running = true;
    while (running) {
        // Returns the moment the child ends, so its end is never noticed late.
        process.waitForFinished(PollMilliseconds);
        KeepTail(output, process.readAll());
        running = process.state() != QProcess::NotRunning;
        Platform::PumpEvents();
        if (progressBar) {
            Platform::PumpEvents();
            ++pollCounter;
            if (pollCounter >= NoticeThreshold) {
                Platform::PumpEvents();
                show([&] { progressBar->setText(WaitNotice(baseText, pollCounter)); });
                if (const auto value = BarValueAtPoll(pollCounter, entryCount, startValue))
                    show([&] { progressBar->SetValue(*value); });
                Platform::PumpEvents();
            }
            Platform::PumpEvents();
        }
        Platform::PumpEvents();
        // The events may have seen the child end already.
        running = running && process.state() != QProcess::NotRunning;
    }
    KeepTail(output, process.readAll());

    if (progressBar)
        show([&] {
            progressBar->setText(baseText.isEmpty() ? QStringLiteral("Progress Bar") : baseText);
        });

    result.crashed = process.exitStatus() == QProcess::CrashExit;
    result.exitCode = process.exitCode();
    result.lastOutput = QString::fromLocal8Bit(output);
    if (outcome)
        *outcome = result;
    if (displayFailure)
        std::rethrow_exception(displayFailure);
    return result.exitCode;
}

} // namespace Runner
