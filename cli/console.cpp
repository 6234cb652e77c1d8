#include "cli/console.h"

#include "convert/paths.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

namespace Console {

namespace {

int Count(const QList<BatchEntry>& entries, BatchEntry::Status status)
{
    return int(std::count_if(entries.cbegin(), entries.cend(),
                             [&](const BatchEntry& entry) { return entry.status == status; }));
}

QString TwoDigits(qint64 number)
{
    return QStringLiteral("%1").arg(number, 2, 10, QLatin1Char('0'));
}

QString Clock(double seconds)
{
    const qint64 whole = qint64(std::llround(seconds));
    const QString minutes = QString::number(whole / 60 % 60);
    const QString rest = TwoDigits(whole % 60);
    if (whole >= 3600)
        return QString::number(whole / 3600) + QLatin1Char(':') + TwoDigits(whole / 60 % 60) +
               QLatin1Char(':') + rest;
    return minutes + QLatin1Char(':') + rest;
}

QString StatusName(BatchEntry::Status status)
{
    switch (status) {
    case BatchEntry::Status::Converted:
        return QStringLiteral("converted");
    case BatchEntry::Status::Skipped:
        return QStringLiteral("skipped");
    case BatchEntry::Status::Failed:
    case BatchEntry::Status::Pending:
    case BatchEntry::Status::Running:
        break;
    }
    return QStringLiteral("failed");
}

// "-16.0 LUFS, " for a levelled entry, with a word when the gain's cap kept it below target.
QString LevelText(const BatchEntry& entry)
{
    if (!entry.level.levelled)
        return QString();
    return QString::number(entry.level.lufs, 'f', 1) + QStringLiteral(" LUFS") +
           (entry.level.belowTarget
                ? QStringLiteral(" (below the target: the gain is capped at +24 dB)")
                : QString()) +
           QStringLiteral(", ");
}

// Hundredths; a silent song's loudness and peak, minus infinity, as -999.
double Hundredths(double value)
{
    return std::isfinite(value) ? std::round(value * 100) / 100 : -999.0;
}

} // namespace

QString Duration(double seconds)
{
    if (seconds < 60)
        return QString::number(seconds, 'f', 1) + QStringLiteral(" s");
    const qint64 whole = qint64(std::llround(seconds));
    if (whole < 3600)
        return QString::number(whole / 60) + QStringLiteral(" min ") + TwoDigits(whole % 60) +
               QStringLiteral(" s");
    return QString::number(whole / 3600) + QStringLiteral(" h ") + TwoDigits(whole / 60 % 60) +
           QStringLiteral(" min");
}

QString LiveLine(const QList<BatchEntry>& entries, double elapsedSeconds, int width)
{
    const int converted = Count(entries, BatchEntry::Status::Converted);
    const int failed = Count(entries, BatchEntry::Status::Failed);
    const int skipped = Count(entries, BatchEntry::Status::Skipped);
    const int done = converted + failed + skipped;
    const int total = int(entries.size());
    QString line = QStringLiteral("[%1/%2] ").arg(done).arg(total);
    if (failed > 0)
        line += QString::number(failed) + QStringLiteral(" failed, ");
    line += Clock(elapsedSeconds);
    // Skipped files took no time, so only conversions tell how long the rest will take.
    if (converted + failed > 0 && done < total)
        line += QStringLiteral(", about ") +
                Clock(elapsedSeconds / (converted + failed) * (total - done)) +
                QStringLiteral(" left");
    QStringList running;
    for (const BatchEntry& entry : entries)
        if (entry.status == BatchEntry::Status::Running)
            running << Paths::FileNameOfPath(entry.source);
    if (!running.isEmpty())
        line += QStringLiteral(": ") + running.join(QStringLiteral(", "));
    if (line.size() > width)
        line = line.left(std::max(0, width - 3)) + QStringLiteral("...");
    return line;
}

QString FinishedLine(const BatchEntry& entry, int done, int total)
{
    QString line = QStringLiteral("[%1/%2] ").arg(done).arg(total) + StatusName(entry.status) +
                   QLatin1Char(' ') + entry.source;
    if (entry.status == BatchEntry::Status::Converted)
        return line + QStringLiteral(" -> ") + entry.mp3 + QStringLiteral(" (") + LevelText(entry) +
               Duration(entry.seconds) + QLatin1Char(')');
    return line + QStringLiteral(": ") + entry.reason;
}

QString PlannedLine(const PlannedEntry& entry)
{
    const QString line = entry.source + QStringLiteral(" -> ") + entry.mp3;
    switch (entry.status) {
    case BatchEntry::Status::Skipped:
        return line + QStringLiteral(" (skipped: ") + entry.reason + QLatin1Char(')');
    case BatchEntry::Status::Failed:
        return line + QStringLiteral(" (fails: ") + entry.reason + QLatin1Char(')');
    case BatchEntry::Status::Pending:
    case BatchEntry::Status::Running:
    case BatchEntry::Status::Converted:
        break;
    }
    return line;
}

QString Summary(const QList<BatchEntry>& entries, double elapsedSeconds)
{
    return QStringLiteral("%1 converted, %2 failed, %3 skipped in ")
               .arg(Count(entries, BatchEntry::Status::Converted))
               .arg(Count(entries, BatchEntry::Status::Failed))
               .arg(Count(entries, BatchEntry::Status::Skipped)) +
           Duration(elapsedSeconds);
}

QByteArray ReportLine(const BatchEntry& entry)
{
    // Names are shown readably: JSON text holds no byte that is not UTF-8.
    QJsonObject object{{QStringLiteral("source"), Platform::DisplayPath(entry.source)},
                       {QStringLiteral("mp3"), Platform::DisplayPath(entry.mp3)},
                       {QStringLiteral("status"), StatusName(entry.status)},
                       {QStringLiteral("reason"), Platform::DisplayPath(entry.reason)},
                       {QStringLiteral("lyrics"), entry.lyrics},
                       {QStringLiteral("seconds"), std::round(entry.seconds * 1000) / 1000},
                       {QStringLiteral("soundfont"), Platform::DisplayPath(entry.soundFont)}};
    if (entry.level.levelled) {
        object.insert(QStringLiteral("lufs"), Hundredths(entry.level.lufs));
        object.insert(QStringLiteral("true_peak"), Hundredths(entry.level.truePeakDb));
        object.insert(QStringLiteral("gain_db"), Hundredths(entry.level.gainDb));
        object.insert(QStringLiteral("limited_db"), Hundredths(entry.level.limitedDb));
        if (entry.level.belowTarget)
            object.insert(QStringLiteral("note"),
                          QStringLiteral("below the target: the gain is capped at +24 dB"));
    }
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace Console
