#pragma once

#include "cli/batch.h"

#include <QString>

// The JSON Lines report, written as the run goes: each entry's line goes to the file the
// moment the entry ends, so that a run killed in the middle leaves the lines of what it
// finished.
class LiveReport
{
public:
    LiveReport() = default;
    ~LiveReport();
    LiveReport(const LiveReport&) = delete;
    LiveReport& operator=(const LiveReport&) = delete;

    // Opens the report: "" for none, "-" for standard output. False, with error() telling
    // why, when the file cannot be written.
    bool open(const QString& name);
    // Writes the entry's line; false, with error() telling why, when it cannot be written.
    bool write(const BatchEntry& entry);
    const QString& error() const { return m_error; }

private:
    QString m_name;
    QString m_error;
    int m_descriptor = -1;
    bool m_own = false;
};
