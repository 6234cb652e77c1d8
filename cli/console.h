#pragma once

#include "cli/batch.h"

#include <QString>

// How the batch looks to the person or script that started it.
namespace Console {

// "12.4 s", "3 min 05 s", "1 h 02 min".
QString Duration(double seconds);

// The one live line of a terminal: files done of all, failures, time taken and left, and the
// names being converted; at most width characters.
QString LiveLine(const QList<BatchEntry>& entries, double elapsedSeconds, int width);

// The line of one finished entry, as printed when the output is not a terminal.
QString FinishedLine(const BatchEntry& entry, int done, int total);

// The line of a dry run for one entry: "source -> mp3", with why it would be skipped or fail.
QString PlannedLine(const PlannedEntry& entry);

// "N converted, M failed, K skipped in T".
QString Summary(const QList<BatchEntry>& entries, double elapsedSeconds);

// One line of the JSON Lines report.
QByteArray ReportLine(const BatchEntry& entry);

} // namespace Console
