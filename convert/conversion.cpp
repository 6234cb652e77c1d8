#include "convert/conversion.h"

#include "convert/paths.h"
#include "convert/platform.h"
#include "convert/truepeak.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace Conversion {

namespace {

// A tool's own last words, kept short, for a failure it reports with a non-zero code.
QString ToolFailure(const QString& tool, const Runner::Outcome& outcome)
{
    if (!outcome.started)
        return tool + QStringLiteral(" could not be started");
    if (outcome.crashed)
        return tool + QStringLiteral(" stopped unexpectedly");
    if (outcome.exitCode == 0)
        return QString();
    QString reason = tool + QStringLiteral(" failed (exit code ") +
                     QString::number(outcome.exitCode) + QLatin1Char(')');
    const QString said = outcome.LastLine();
    if (!said.isEmpty())
        reason += QStringLiteral(": ") +
                  (said.size() > 120 ? said.left(117) + QStringLiteral("...") : said);
    return reason;
}

// Byte by byte, so that no read can reach past the bytes (an empty array's data is one byte).
quint32 Le32(const QByteArray& bytes, qsizetype at)
{
    quint32 value = 0;
    for (qsizetype i = 3; i >= 0; --i)
        value = (value << 8) | quint8(bytes.at(at + i));
    return value;
}

} // namespace

QString BaseName(const QString& sourcePath)
{
    return BaseName(QStringView(sourcePath)).toString();
}

QStringView BaseName(QStringView sourcePath)
{
    return Paths::StripExtension(Paths::FileNameOfPath(sourcePath));
}

QString Mp3Path(const QString& folder, QStringView baseName, const QString& bitrateText)
{
    // Made in one piece: a dry run makes one for every file of a collection.
    const QLatin1String ending(".mp3");
    QString path;
    path.reserve(folder.size() + baseName.size() + bitrateText.size() + ending.size() + 2);
    path.append(folder)
        .append(Platform::NativeSeparator)
        .append(baseName)
        .append(QLatin1Char('_'))
        .append(bitrateText)
        .append(ending);
    return Paths::CollapseBackslashes(path);
}

QString WavPath(const QString& tempFolder, const QString& baseName)
{
    return tempFolder + Platform::NativeSeparator + baseName + QStringLiteral(".wav");
}

bool SameFile(const QString& first, const QString& second)
{
    const QString a = QFileInfo(first).canonicalFilePath();
    return !a.isEmpty() && a == QFileInfo(second).canonicalFilePath();
}

bool WavFacts::levelable() const
{
    return isWave && format == 1 && channels >= 1 && channels <= 8 && sampleRate >= 8000 &&
           sampleRate <= 384000 && (bitsPerSample == 16 || bitsPerSample == 24);
}

void ReadFormat(QByteArrayView body, WavFacts& facts)
{
    if (body.size() < 16)
        return;
    const QByteArray bytes = body.toByteArray();
    auto word = [&](qsizetype at) {
        return int(quint8(bytes.at(at)) | quint8(bytes.at(at + 1)) << 8);
    };
    facts.format = word(0);
    // An extensible format names its kind in a sub-format whose first word is the plain one.
    constexpr int Extensible = 0xFFFE;
    if (facts.format == Extensible)
        facts.format = bytes.size() >= 26 ? word(24) : 0;
    facts.channels = word(2);
    facts.sampleRate = int(Le32(bytes, 4) & 0x7fffffff);
    facts.bitsPerSample = word(14);
}

void DecodePcm(QByteArrayView bytes, int bytesPerSample, float scale, float* out)
{
    const auto* data = reinterpret_cast<const quint8*>(bytes.data());
    const qsizetype count = bytes.size() / bytesPerSample;
    if (bytesPerSample == 3) {
        const float unit = scale / 8388608.0f;
        for (qsizetype i = 0; i < count; ++i, data += 3) {
            const qint32 value =
                qint32(quint32(data[0]) << 8 | quint32(data[1]) << 16 | quint32(data[2]) << 24) >>
                8;
            out[i] = float(value) * unit;
        }
        return;
    }
    const float unit = scale / 32768.0f;
    for (qsizetype i = 0; i < count; ++i, data += 2)
        out[i] = float(qint16(quint16(data[0] | data[1] << 8))) * unit;
}

namespace {

// The true peak of the samples from the file's position on, count bytes of them.
double PeakOfSamples(QFile& file, qint64 count, const WavFacts& facts)
{
    const int width = facts.bitsPerSample / 8;
    const qint64 frameBytes = qint64(width) * facts.channels;
    TruePeak::Meter meter(facts.channels);
    std::vector<float> samples;
    constexpr qint64 ChunkFrames = 16384;
    while (count >= frameBytes) {
        const QByteArray bytes =
            file.read(std::min(count, ChunkFrames * frameBytes) / frameBytes * frameBytes);
        if (bytes.size() < frameBytes)
            break;
        const qint64 frames = bytes.size() / frameBytes;
        samples.resize(size_t(frames * facts.channels));
        DecodePcm(QByteArrayView(bytes).first(frames * frameBytes), width, 1.0f, samples.data());
        meter.feed(samples.data(), frames);
        count -= bytes.size();
    }
    return meter.peak();
}

} // namespace

WavFacts InspectWav(const QString& path)
{
    WavFacts facts;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return facts;
    const QByteArray riff = file.read(12);
    if (riff.size() < 12 || !riff.startsWith("RIFF") || riff.mid(8, 4) != "WAVE")
        return facts;
    facts.isWave = true;
    // Walk the chunks to the data chunk; count only the sample bytes really in the file.
    qint64 at = 12;
    while (at + 8 <= file.size()) {
        file.seek(at);
        const QByteArray header = file.read(8);
        if (header.size() < 8)
            break;
        const qint64 size = Le32(header, 4);
        if (header.startsWith("fmt "))
            ReadFormat(file.read(std::min<qint64>(size, 64)), facts);
        if (header.startsWith("data")) {
            facts.audioBytes = std::min(size, file.size() - (at + 8));
            // The peak tells the encoder how far it may raise the sound without clipping.
            if (facts.levelable())
                facts.peak = PeakOfSamples(file, facts.audioBytes, facts);
            break;
        }
        at += 8 + size + (size & 1);
    }
    return facts;
}

qsizetype WavStream::feed(QByteArrayView bytes)
{
    if (m_inData) {
        m_facts.audioBytes += bytes.size();
        return bytes.size();
    }
    if (m_gaveUp)
        return 0;
    m_head.append(bytes);
    if (m_head.size() < 12)
        return 0;
    if (!m_head.startsWith("RIFF") || m_head.mid(8, 4) != "WAVE") {
        m_gaveUp = true;
        return 0;
    }
    m_facts.isWave = true;
    // A stream's chunk sizes may be placeholders, since the writer cannot go back to fill them
    // in: every byte after the data chunk's header counts.
    qsizetype at = 12;
    while (at + 8 <= m_head.size()) {
        if (m_head.mid(at, 4) == "data") {
            m_inData = true;
            m_facts.audioBytes = m_head.size() - (at + 8);
            m_head.clear();
            // The data chunk's header was not whole before these bytes, so all its samples are
            // among them.
            return qsizetype(m_facts.audioBytes);
        }
        const quint32 size = Le32(m_head, at + 4);
        if (m_head.mid(at, 4) == "fmt " && at + 8 + qsizetype(size) <= m_head.size())
            ReadFormat(QByteArrayView(m_head).sliced(at + 8, std::min<qsizetype>(size, 64)),
                       m_facts);
        at += 8 + qsizetype(size) + (size & 1);
    }
    // The chunks before the data are small; a stream that has none in this much never will.
    constexpr qsizetype headLimit = 1 << 16;
    if (m_head.size() > headLimit || at > headLimit) {
        m_gaveUp = true;
        m_head.clear();
    }
    return 0;
}

QString SourceProblem(const QString& sourcePath)
{
    const QByteArray encoded = Platform::EncodePath(sourcePath);
    struct stat facts
    {
    };
    if (!Platform::IsUsablePath(sourcePath) || ::stat(encoded.constData(), &facts) != 0)
        return QStringLiteral("the file was not found");
    if (S_ISDIR(facts.st_mode))
        return QStringLiteral("it is a folder, not a file");
    // Checked before opening: opening a named pipe would wait for a writer.
    if (!S_ISREG(facts.st_mode))
        return QStringLiteral("it is not a regular file");
    const int descriptor = ::open(encoded.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (descriptor < 0)
        return QStringLiteral("the file cannot be read");
    ::close(descriptor);
    return QString();
}

QString WriteErrorIn(const Runner::Outcome& outcome, const QString& path)
{
    const QString prefix = QFileInfo(path).absoluteFilePath() + QStringLiteral(": ");
    for (const QString& line : outcome.Lines())
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed();
    return QString();
}

QString RenderFailure(const EntryFacts& facts)
{
    if (!facts.sourceProblem.isEmpty())
        return facts.sourceProblem;
    if (const QString failure = ToolFailure(QStringLiteral("the renderer"), facts.rendered);
        !failure.isEmpty())
        return failure;
    // The renderer ends well also when it could not write all of the WAV file.
    if (!facts.wavWriteError.isEmpty())
        return QStringLiteral("the renderer could not write the temporary WAV file: ") +
               facts.wavWriteError;
    // The renderer ends well also when it found no music: a header without samples.
    if (!facts.wav.isWave || facts.wav.audioBytes <= 0)
        return QStringLiteral("no music could be rendered from it (is it a MIDI file?)");
    return QString();
}

QString Judge(const EntryFacts& facts)
{
    if (facts.cancelled)
        return QStringLiteral("the conversion was stopped");
    const QString encoderFailure = ToolFailure(QStringLiteral("the encoder"), facts.encoded);
    // The encoder starts first when the renderer writes into it: when it failed, the renderer
    // was not started or was stopped for it.
    if (facts.piped && facts.sourceProblem.isEmpty() && !encoderFailure.isEmpty() &&
        (facts.rendered.started || !facts.encoded.started))
        return encoderFailure;
    if (const QString failure = RenderFailure(facts); !failure.isEmpty())
        return failure;
    if (!encoderFailure.isEmpty())
        return encoderFailure;
    if (!facts.mp3Written)
        return QStringLiteral("no MP3 file was written");
    if (!facts.finishError.isEmpty())
        return facts.finishError;
    return QString();
}

QList<FailedEntry> MissedEntries(const QStringList& atStart, const QStringList& taken,
                                 const QStringList& now)
{
    QStringList missed = atStart;
    for (const QString& text : taken)
        missed.removeOne(text);
    QList<FailedEntry> failures;
    for (const QString& text : missed)
        failures.append({Paths::FileNameOfPath(text),
                         now.contains(text)
                             ? QStringLiteral("it was not reached because the list changed during "
                                              "the run")
                             : QStringLiteral("it was removed from the list during the run")});
    return failures;
}

QString FinalMessage(const QList<FailedEntry>& failures)
{
    QString message = QStringLiteral("Done.");
    if (failures.isEmpty())
        return message;
    message += failures.size() == 1 ? QStringLiteral("\n\n1 file was not converted:")
                                    : QStringLiteral("\n\n") + QString::number(failures.size()) +
                                          QStringLiteral(" files were not converted:");
    const qsizetype listed = std::min<qsizetype>(failures.size(), ListedFailures);
    for (qsizetype i = 0; i < listed; ++i)
        message += QLatin1Char('\n') + Platform::DisplayPath(failures[i].name) +
                   QStringLiteral(": ") + Platform::DisplayPath(failures[i].reason);
    if (failures.size() > listed)
        message += QStringLiteral("\nand ") + QString::number(failures.size() - listed) +
                   QStringLiteral(" more.");
    return message;
}

} // namespace Conversion
