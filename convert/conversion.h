#pragma once

#include "convert/runner.h"

#include <QList>
#include <QString>
#include <QStringList>

// The pure pieces of a conversion run: output names, the check of the rendered WAV file, the
// judgement of one entry and the message that ends the run.
namespace Conversion {

// The source's file name without its extension.
QString BaseName(const QString& sourcePath);
QStringView BaseName(QStringView sourcePath);

// "<folder>/<base>_<bitrate text>.mp3", doubled separators collapsed.
QString Mp3Path(const QString& folder, QStringView baseName, const QString& bitrateText);

// "<TEMP>/<base>.wav", as it is (not collapsed).
QString WavPath(const QString& tempFolder, const QString& baseName);

// Whether two paths name the same existing file.
bool SameFile(const QString& first, const QString& second);

// What the rendered file holds.
struct WavFacts
{
    bool isWave = false;
    // Bytes of audio samples actually present in the data chunk.
    qint64 audioBytes = 0;
    // The format chunk's words, 0 when there was none: 1 is integer PCM (or an extensible
    // format of integer PCM).
    int format = 0;
    int channels = 0;
    int sampleRate = 0;
    int bitsPerSample = 0;
    // The true peak of the samples of a file, full scale 1; read only from integer PCM of 16 or
    // 24 bits.
    double peak = 0;
    // Whether the samples are integer PCM of 16 or 24 bits, which is what can be levelled.
    bool levelable() const;
};
WavFacts InspectWav(const QString& path);

// The same facts of a WAV stream that passes by in pieces, such as the renderer's output on its
// way into the encoder.
class WavStream
{
public:
    // Answers how many of the last of these bytes are audio samples.
    qsizetype feed(QByteArrayView bytes);
    WavFacts facts() const { return m_facts; }
    // Whether the samples have begun, and whether the stream was found not to be WAVE.
    bool inData() const { return m_inData; }
    bool gaveUp() const { return m_gaveUp; }

private:
    // The bytes before the data chunk, kept until the chunk is found.
    QByteArray m_head;
    bool m_inData = false;
    bool m_gaveUp = false;
    WavFacts m_facts;
};

// Reads the format chunk's words (its body) into the facts.
void ReadFormat(QByteArrayView body, WavFacts& facts);

// Interleaved integer PCM samples of the given width (2 or 3 bytes) as floats, full scale 1,
// multiplied by scale.
void DecodePcm(QByteArrayView bytes, int bytesPerSample, float scale, float* out);

// Why a source cannot be read, or "" when it can.
QString SourceProblem(const QString& sourcePath);

// Everything a pass learned about its entry.
struct EntryFacts
{
    QString sourceProblem;
    Runner::Outcome rendered;
    // What the renderer said about writing the WAV file, or "".
    QString wavWriteError;
    WavFacts wav;
    Runner::Outcome encoded;
    bool mp3Written = false;
    // The renderer wrote straight into the encoder: when the encoder failed, the renderer was
    // stopped for it, so the encoder's failure is the reason.
    bool piped = false;
    // Why a last step on the encoded file (such as its tag) failed, or "".
    QString finishError;
    // The conversion was stopped before it ended.
    bool cancelled = false;
};

// What a tool's output says went wrong with a file it wrote ("<path>: <reason>"), or "".
QString WriteErrorIn(const Runner::Outcome& outcome, const QString& path);

// Why rendering gave no music, in plain words, or "" when it did.
QString RenderFailure(const EntryFacts& facts);
// Why the entry was not converted, in plain words, or "" when it was.
QString Judge(const EntryFacts& facts);

struct FailedEntry
{
    QString name;
    QString reason;
};

// The entries of the list at the start of a run that no pass took: the passes read entries by
// position, so when entries are removed (or moved) during the run, others move out of reach.
// Each is named with whether it is still in the list now.
QList<FailedEntry> MissedEntries(const QStringList& atStart, const QStringList& taken,
                                 const QStringList& now);

// How many failed entries the final message names one by one.
inline constexpr int ListedFailures = 10;

// "Done.", followed, when entries failed, by the list of them.
QString FinalMessage(const QList<FailedEntry>& failures);

} // namespace Conversion
