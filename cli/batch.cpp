#include "cli/batch.h"

#include "convert/conversion.h"
#include "convert/id3tag.h"
#include "convert/job.h"
#include "convert/lrcfile.h"
#include "convert/miditext.h"
#include "convert/paths.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

QList<BatchEntry> PlanBatch(const QList<Sources::Source>& sources, int bitrate, bool skipExisting)
{
    const QString bitrateText = QString::number(bitrate) + QStringLiteral(" kbps");
    QList<BatchEntry> entries;
    entries.reserve(sources.size());
    QHash<QString, QString> writers;
    for (const Sources::Source& source : sources) {
        BatchEntry entry;
        entry.source = source.path;
        entry.mp3 = QDir::cleanPath(
            Conversion::Mp3Path(source.mp3Folder, Conversion::BaseName(entry.source), bitrateText));
        const auto first = writers.constFind(entry.mp3);
        if (first != writers.cend()) {
            entry.status = BatchEntry::Status::Failed;
            entry.reason = QStringLiteral("its MP3 file is written from ") + first.value() +
                           QStringLiteral(", given before it");
        } else {
            writers.insert(entry.mp3, entry.source);
            if (skipExisting && Paths::FileExists(entry.mp3)) {
                entry.status = BatchEntry::Status::Skipped;
                entry.reason = QStringLiteral("the MP3 file exists already");
            }
        }
        entries.append(entry);
    }
    return entries;
}

namespace {

// Gives the encoded file its tag and its .lrc file; answers what they carry of the lyrics.
QString AddTexts(Conversion::Job& job, const BatchEntry& entry, const BatchSettings& settings,
                 const QString& partialMp3)
{
    const MidiText::Texts texts = MidiText::ReadFile(entry.source);
    if (settings.tags)
        Id3Tag::Write(partialMp3, texts, Platform::DisplayPath(Conversion::BaseName(entry.source)),
                      Loudness::ReplayGainTags(job.level()));
    const QByteArray lrc = settings.lrc ? LrcFile::Contents(texts) : QByteArray();
    if (!lrc.isEmpty())
        job.writeCompanion(LrcFile::PathFor(entry.mp3), lrc);
    if (!texts.syllables.isEmpty() && (settings.tags || !lrc.isEmpty()))
        return QStringLiteral("synced");
    return settings.tags && !texts.lyrics.isEmpty() ? QStringLiteral("plain")
                                                    : QStringLiteral("none");
}

void Convert(BatchEntry& entry, const BatchSettings& settings, const std::atomic<bool>& cancel)
{
    QElapsedTimer timer;
    timer.start();
    QString reason;
    if (!Sources::MakeFolders(QFileInfo(entry.mp3).path(), reason)) {
        entry.status = BatchEntry::Status::Failed;
        entry.reason = QStringLiteral("cannot create the folder ") + QFileInfo(entry.mp3).path() +
                       QStringLiteral(": ") + reason;
        return;
    }
    const QString workFolder = entry.workFolder.isEmpty() ? settings.workFolder : entry.workFolder;
    Conversion::Job job({entry.source, entry.mp3, workFolder, settings.loudness});
    job.renderIntoEncoder(settings.renderer, settings.encoder, settings.bitrate, &cancel);
    QString lyrics = QStringLiteral("none");
    if (settings.tags || settings.lrc)
        job.finishWith([&](const QString& partialMp3) {
            lyrics = AddTexts(job, entry, settings, partialMp3);
        });
    const Conversion::Outcome outcome = job.finish();
    entry.lyrics = outcome.converted() ? lyrics : QStringLiteral("none");
    entry.level = outcome.level;
    entry.reason = outcome.reason;
    entry.status = outcome.converted() ? BatchEntry::Status::Converted : BatchEntry::Status::Failed;
    entry.seconds = double(timer.nsecsElapsed()) / 1e9;
}

} // namespace

void RunBatch(QList<BatchEntry>& entries, const BatchSettings& settings,
              const std::atomic<bool>& cancel,
              const std::function<void(int index, BatchEvent event)>& changed)
{
    BatchEntry* const data = entries.data();
    const int total = int(entries.size());
    std::atomic<int> next = 0;
    std::mutex mutex;
    std::condition_variable wake;
    // Each change with what it was: an entry may start and end before the calling thread
    // looks, and its status alone would then tell of two ends.
    QList<QPair<int, BatchEvent>> changes;
    int running = 0;

    auto work = [&] {
        while (!cancel) {
            const int index = next++;
            if (index >= total)
                break;
            if (data[index].status != BatchEntry::Status::Pending)
                continue;
            BatchEntry result = data[index];
            {
                const std::lock_guard lock(mutex);
                data[index].status = BatchEntry::Status::Running;
                changes.append({index, BatchEvent::Started});
            }
            wake.notify_one();
            Convert(result, settings, cancel);
            {
                const std::lock_guard lock(mutex);
                data[index] = result;
                changes.append({index, BatchEvent::Ended});
            }
            wake.notify_one();
        }
        const std::lock_guard lock(mutex);
        --running;
        wake.notify_one();
    };

    std::vector<std::thread> workers;
    running = std::min(settings.jobs, total);
    for (int i = 0; i < running; ++i)
        workers.emplace_back(work);
    {
        // Every report is made here, on the calling thread, with the workers held off.
        std::unique_lock lock(mutex);
        while (true) {
            wake.wait_for(lock, std::chrono::milliseconds(250));
            for (const auto& [index, event] : std::as_const(changes))
                changed(index, event);
            changes.clear();
            changed(-1, BatchEvent::Tick);
            if (running == 0)
                break;
        }
    }
    for (std::thread& worker : workers)
        worker.join();
}
