#pragma once

#include "cli/sources.h"
#include "convert/loudness.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <optional>

// What the plan of a batch settles for one source: its MP3 file, and whether it is converted.
struct PlannedEntry
{
    enum class Status { Pending, Running, Converted, Failed, Skipped };

    QString source;
    QString mp3;
    Status status = Status::Pending;
    QString reason;
};
Q_DECLARE_TYPEINFO(PlannedEntry, Q_RELOCATABLE_TYPE);

// One source of a batch and what became of it.
struct BatchEntry : PlannedEntry
{
    BatchEntry() = default;
    explicit BatchEntry(PlannedEntry planned) : PlannedEntry(std::move(planned)) {}

    double seconds = 0;
    // What the converted files carry of the song's lyrics: "none", "plain" (without times) or
    // "synced" (with the time of each syllable).
    QString lyrics = QStringLiteral("none");
    // The SoundFont that plays it, and the folder of the renderer's configuration naming it
    // ("" for the run's own).
    QString soundFont;
    QString workFolder;
    // What levelling did to a converted entry.
    Loudness::Result level;
};
// Its members keep no pointer to themselves, so a list of entries grows by moving bytes.
Q_DECLARE_TYPEINFO(BatchEntry, Q_RELOCATABLE_TYPE);

// The MP3 path of every source, in the order given: a source whose MP3 file another source
// before it writes already fails, so the outcome never depends on which conversion ends first;
// with skipExisting, one whose MP3 file exists is skipped. The paths of a collection's many
// files are made on all processors at once.
QList<PlannedEntry> PlanBatch(const QList<Sources::Source>& sources, int bitrate,
                              bool skipExisting);

struct BatchSettings
{
    int bitrate = 128;
    // Songs rendered at once; as many again, rendered, may be levelled and encoded meanwhile.
    int jobs = 1;
    bool tags = true;
    // Writes the synchronised lyrics beside each MP3 file as an .lrc file.
    bool lrc = false;
    std::optional<double> loudness = -16.0;
    QString renderer;
    QString encoder;
    // The folder holding the renderer's configuration.
    QString workFolder;
};

// What RunBatch tells of an entry: it started, it ended, or (with -1) only that time passed.
enum class BatchEvent { Started, Ended, Tick };

// Converts the pending entries in their order, rendering up to jobs at once; a song whose
// renderer has ended lets the next one start rendering while it is levelled and encoded, up to
// jobs songs behind the renders. Calls changed on the calling thread once when an
// entry starts and once when it ends, in that order, with its index, and a few times a second
// with -1 and Tick; stops the running tools, and starts no more, once cancel is true. Returns
// when every conversion has ended.
void RunBatch(QList<BatchEntry>& entries, const BatchSettings& settings,
              const std::atomic<bool>& cancel,
              const std::function<void(int index, BatchEvent event)>& changed);
