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
#include <QThread>
#include <QtConcurrent/QtConcurrentMap>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// An MP3 path with its hash, made beforehand with the path on any thread.
struct Mp3Key
{
    QStringView path;
    size_t hash = 0;

    friend bool operator==(const Mp3Key& first, const Mp3Key& second)
    {
        return first.path == second.path;
    }
};

size_t qHash(const Mp3Key& key, size_t seed)
{
    return key.hash ^ seed;
}

// The entry at index claims its MP3 path, unless an entry before it has claimed it already.
void Claim(PlannedEntry* entries, qsizetype index, size_t hash, QHash<Mp3Key, qsizetype>& writers,
           bool skipExisting)
{
    PlannedEntry& entry = entries[index];
    const auto writer = writers.constFind({entry.mp3, hash});
    if (writer != writers.cend()) {
        entry.status = PlannedEntry::Status::Failed;
        entry.reason = QStringLiteral("its MP3 file is written from ") + entries[*writer].source +
                       QStringLiteral(", given before it");
        return;
    }
    writers.insert({entry.mp3, hash}, index);
    if (skipExisting && Paths::FileExists(entry.mp3)) {
        entry.status = PlannedEntry::Status::Skipped;
        entry.reason = QStringLiteral("the MP3 file exists already");
    }
}

} // namespace

QList<PlannedEntry> PlanBatch(const QList<Sources::Source>& sources, int bitrate, bool skipExisting)
{
    const QString bitrateText = QString::number(bitrate) + QStringLiteral(" kbps");
    QList<PlannedEntry> entries(sources.size());
    std::vector<size_t> hashes(size_t(sources.size()));
    PlannedEntry* const first = entries.data();
    QtConcurrent::blockingMap(entries, [&](PlannedEntry& entry) {
        const qsizetype index = &entry - first;
        const Sources::Source& source = sources.at(index);
        entry.source = source.path;
        // The folder is clean and the name holds no separator: so is the path.
        entry.mp3 = Conversion::Mp3Path(
            source.mp3Folder, Conversion::BaseName(QStringView(entry.source)), bitrateText);
        hashes[size_t(index)] = qHash(entry.mp3);
    });
    // The paths are claimed in shards by their hashes, the shards on all processors at once:
    // every claim on one path falls in one shard, which takes its entries in the order given.
    QList<size_t> shards;
    for (int shard = 0; shard < std::max(1, QThread::idealThreadCount()); ++shard)
        shards << size_t(shard);
    QtConcurrent::blockingMap(shards, [&](size_t shard) {
        // Each MP3 path with the place of the entry that writes it.
        QHash<Mp3Key, qsizetype> writers;
        writers.reserve(entries.size() / shards.size() + 1);
        for (qsizetype index = 0; index < entries.size(); ++index) {
            const size_t hash = hashes[size_t(index)];
            if (hash % size_t(shards.size()) == shard)
                Claim(first, index, hash, writers, skipExisting);
        }
    });
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

void Convert(BatchEntry& entry, const BatchSettings& settings, const std::atomic<bool>& cancel,
             const std::function<void()>& rendered)
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
    // Each job holds up to two songs, one rendering and one being encoded: each gets half the
    // memory a song alone may hold, so that a batch of long songs takes no more memory than
    // as many songs as jobs would.
    Conversion::Job job({entry.source, entry.mp3, workFolder, settings.loudness,
                         Loudness::Settings().memoryLimit / 2});
    job.renderIntoEncoder(settings.renderer, settings.encoder, settings.bitrate, &cancel, rendered);
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

// Where the songs of a batch are: being rendered, or rendered and being levelled and encoded;
// at most jobs in each. A song whose renderer has ended moves on once there is room to encode
// it, and frees its place for the next song to render.
class Stages
{
public:
    Stages(int jobs, const std::atomic<bool>& cancel) : m_jobs(jobs), m_cancel(cancel) {}

    // Waits for a place to render; false once the batch is cancelled.
    bool enterRendering()
    {
        std::unique_lock lock(m_mutex);
        waitForRoom(lock, m_rendering);
        if (m_cancel)
            return false;
        ++m_rendering;
        return true;
    }
    // Waits for a place to encode (or for the batch to be cancelled), then frees the place to
    // render.
    void enterEncoding()
    {
        {
            std::unique_lock lock(m_mutex);
            waitForRoom(lock, m_encoding);
            ++m_encoding;
            --m_rendering;
        }
        m_wake.notify_all();
    }
    void leave(bool encoding)
    {
        {
            const std::lock_guard lock(m_mutex);
            --(encoding ? m_encoding : m_rendering);
        }
        m_wake.notify_all();
    }

private:
    void waitForRoom(std::unique_lock<std::mutex>& lock, const int& taken)
    {
        // Cancelling sets a flag and wakes nobody: it is looked at a few times a second.
        while (taken >= m_jobs && !m_cancel)
            m_wake.wait_for(lock, std::chrono::milliseconds(100));
    }

    const int m_jobs;
    const std::atomic<bool>& m_cancel;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    int m_rendering = 0;
    int m_encoding = 0;
};

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

    Stages stages(settings.jobs, cancel);
    // The next pending entry, or -1 when there is none.
    auto take = [&] {
        for (int index = next++; index < total; index = next++)
            if (data[index].status == BatchEntry::Status::Pending)
                return index;
        return -1;
    };
    auto work = [&] {
        while (stages.enterRendering()) {
            const int index = take();
            if (index < 0) {
                stages.leave(false);
                break;
            }
            BatchEntry result = data[index];
            {
                const std::lock_guard lock(mutex);
                data[index].status = BatchEntry::Status::Running;
                changes.append({index, BatchEvent::Started});
            }
            wake.notify_one();
            bool encoding = false;
            Convert(result, settings, cancel, [&] {
                stages.enterEncoding();
                encoding = true;
            });
            stages.leave(encoding);
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
    // A worker for each song being rendered and each one rendered and being encoded.
    // Counted before any starts: a worker that finds nothing left ends, and counts itself out,
    // while the others are still being started.
    const int workerCount = std::min(2 * settings.jobs, total);
    running = workerCount;
    for (int i = 0; i < workerCount; ++i)
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
