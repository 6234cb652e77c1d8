#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>

// One source of a batch and what became of it.
struct BatchEntry
{
    enum class Status { Pending, Running, Converted, Failed, Skipped };

    QString source;
    QString mp3;
    Status status = Status::Pending;
    QString reason;
    double seconds = 0;
    // What the converted files carry of the song's lyrics: "none", "plain" (without times) or
    // "synced" (with the time of each syllable).
    QString lyrics = QStringLiteral("none");
};

// The MP3 path of every source, and the entries of a batch in the order given: a source whose
// MP3 file another source before it writes already fails, so the outcome never depends on
// which conversion ends first; with skipExisting, one whose MP3 file exists is skipped.
QList<BatchEntry> PlanBatch(const QStringList& sources, const QString& outputDir, int bitrate,
                            bool skipExisting);

struct BatchSettings
{
    int bitrate = 128;
    int jobs = 1;
    bool tags = true;
    // Writes the synchronised lyrics beside each MP3 file as an .lrc file.
    bool lrc = false;
    QString renderer;
    QString encoder;
    // The folder holding the renderer's configuration.
    QString workFolder;
};

// Converts the pending entries, jobs at once. Calls changed on the calling thread whenever an
// entry starts or ends, with its index, and a few times a second with -1; stops the running
// tools, and starts no more, once cancel is true. Returns when every conversion has ended.
void RunBatch(QList<BatchEntry>& entries, const BatchSettings& settings,
              const std::atomic<bool>& cancel, const std::function<void(int index)>& changed);
