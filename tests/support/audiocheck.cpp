#include "audiocheck.h"

#include <QDataStream>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <vector>

namespace AudioCheck {

namespace {

// Bitrates in kbps by index for MPEG-1 Layer III and for MPEG-2/2.5 Layer III.
constexpr int Mpeg1Bitrates[16] = {0,   32,  40,  48,  56,  64,  80,  96,
                                   112, 128, 160, 192, 224, 256, 320, -1};
constexpr int Mpeg2Bitrates[16] = {0,  8,  16, 24,  32,  40,  48,  56,
                                   64, 80, 96, 112, 128, 144, 160, -1};
constexpr int Mpeg1Rates[3] = {44100, 48000, 32000};

qsizetype SkipId3(const QByteArray& bytes)
{
    if (bytes.size() < 10 || !bytes.startsWith("ID3"))
        return 0;
    const auto b = [&](int i) { return static_cast<quint8>(bytes[i]) & 0x7f; };
    return 10 + ((b(6) << 21) | (b(7) << 14) | (b(8) << 7) | b(9));
}

} // namespace

Mp3Frames ReadMp3Frames(const QString& path)
{
    Mp3Frames result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return result;
    const QByteArray bytes = file.readAll();
    qsizetype at = SkipId3(bytes);
    while (at + 4 <= bytes.size()) {
        const quint32 header = qFromBigEndian<quint32>(bytes.constData() + at);
        if ((header & 0xffe00000u) != 0xffe00000u)
            break;
        const int version = (header >> 19) & 3; // 0: 2.5, 2: 2, 3: 1
        const int layer = (header >> 17) & 3;   // 1: Layer III
        const int bitrateIndex = (header >> 12) & 15;
        const int rateIndex = (header >> 10) & 3;
        const int padding = (header >> 9) & 1;
        const int mode = (header >> 6) & 3; // 3: mono
        if (version == 1 || layer != 1 || rateIndex == 3 || bitrateIndex == 0 || bitrateIndex == 15)
            break;
        const bool mpeg1 = version == 3;
        const int kbps = mpeg1 ? Mpeg1Bitrates[bitrateIndex] : Mpeg2Bitrates[bitrateIndex];
        const int divisor = version == 3 ? 1 : (version == 2 ? 2 : 4);
        const int sampleRate = Mpeg1Rates[rateIndex] / divisor;
        const int length = (mpeg1 ? 144000 : 72000) * kbps / sampleRate + padding;
        result.frames += 1;
        result.bitrates.append(kbps);
        result.sampleRate = sampleRate;
        result.stereo = result.stereo && mode != 3;
        at += length;
    }
    return result;
}

Pcm ReadPcmWav(const QString& path)
{
    Pcm pcm;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return pcm;
    // Read through a stream, whose reads stop at the end of the file and mark it, rather than
    // by pointer at offsets into the file's bytes.
    QDataStream in(&file);
    in.setByteOrder(QDataStream::LittleEndian);
    const auto readId = [&in] {
        QByteArray id(4, '\0');
        in.readRawData(id.data(), 4);
        return id;
    };
    const QByteArray riff = readId();
    // The length of the rest, which the chunks tell again.
    in.skipRawData(4);
    if (riff != "RIFF" || readId() != "WAVE" || in.status() != QDataStream::Ok)
        return pcm;
    int channels = 0;
    int rate = 0;
    int bits = 0;
    while (true) {
        const QByteArray id = readId();
        quint32 size = 0;
        in >> size;
        if (in.status() != QDataStream::Ok)
            return pcm;
        const qint64 next = file.pos() + size + (size & 1);
        if (id == "fmt " && size >= 16) {
            quint16 format = 0, channelCount = 0, blockAlign = 0, bitsPerSample = 0;
            quint32 sampleRate = 0, byteRate = 0;
            in >> format >> channelCount >> sampleRate >> byteRate >> blockAlign >> bitsPerSample;
            channels = channelCount;
            rate = static_cast<int>(sampleRate);
            bits = bitsPerSample;
        } else if (id == "data") {
            if (channels < 1 || rate < 1 || bits != 16)
                return pcm;
            // A renderer that could not finish writing leaves fewer bytes than the size says.
            const qint64 available = std::min<qint64>(size, file.bytesAvailable());
            std::vector<qint16> samples(static_cast<std::size_t>(available / 2));
            const qint64 wanted = static_cast<qint64>(samples.size() * sizeof(qint16));
            if (file.read(reinterpret_cast<char*>(samples.data()), wanted) != wanted)
                return pcm;
            qFromLittleEndian<qint16>(samples.data(), static_cast<qsizetype>(samples.size()),
                                      samples.data());
            double sum = 0;
            double peak = 0;
            qint64 first = -1;
            qint64 last = -1;
            for (qsizetype i = 0; i < qsizetype(samples.size()); ++i) {
                const double value = samples[size_t(i)] / 32768.0;
                sum += value * value;
                peak = std::max(peak, std::abs(value));
                if (std::abs(value) > 0.001) {
                    last = i / channels;
                    first = first < 0 ? last : first;
                }
            }
            pcm.firstSound = double(std::max<qint64>(first, 0)) / rate;
            pcm.lastSound = double(std::max<qint64>(last, 0)) / rate;
            pcm.ok = true;
            pcm.seconds = static_cast<double>(samples.size()) / channels / rate;
            pcm.rms = samples.empty() ? 0 : std::sqrt(sum / static_cast<double>(samples.size()));
            pcm.peak = peak;
            return pcm;
        }
        if (!file.seek(next))
            return pcm;
    }
}

Pcm DecodeMp3(const QString& mp3Path, const QString& scratchFolder)
{
    const QString wav = scratchFolder + QStringLiteral("/decoded.wav");
    QFile::remove(wav);
    QProcess decoder;
    decoder.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    decoder.setStandardOutputFile(QProcess::nullDevice());
    decoder.start(QStringLiteral("mpg123"),
                  {QStringLiteral("-q"), QStringLiteral("-w"), wav, QStringLiteral("--"), mp3Path});
    if (!decoder.waitForFinished(120000) || decoder.exitCode() != 0)
        return Pcm{};
    const Pcm pcm = ReadPcmWav(wav);
    QFile::remove(wav);
    return pcm;
}

Level MeasureLevel(const QString& path)
{
    QProcess meter;
    meter.setStandardOutputFile(QProcess::nullDevice());
    meter.start(QStringLiteral("ffmpeg"),
                {QStringLiteral("-hide_banner"), QStringLiteral("-nostats"), QStringLiteral("-i"),
                 path, QStringLiteral("-af"), QStringLiteral("ebur128=peak=true"),
                 QStringLiteral("-f"), QStringLiteral("null"), QStringLiteral("-")});
    Level level;
    if (!meter.waitForFinished(300000) || meter.exitCode() != 0)
        return level;
    // The summary at the end: "I: -16.0 LUFS" and, under "True peak:", "Peak: -1.2 dBFS".
    const QString said = QString::fromUtf8(meter.readAllStandardError());
    const QString summary = said.mid(said.lastIndexOf(QStringLiteral("Summary:")));
    static const QRegularExpression integrated(QStringLiteral("I:\\s+(-?[0-9.]+|-inf) LUFS"));
    static const QRegularExpression peak(QStringLiteral("Peak:\\s+(-?[0-9.]+|-inf) dBFS"));
    const auto i = integrated.match(summary);
    const auto p = peak.match(summary);
    level.ok = i.hasMatch() && p.hasMatch();
    level.lufs = i.captured(1).toDouble();
    level.truePeak = p.captured(1).toDouble();
    return level;
}

QString BareMp3(const QString& song, const QString& folder, const QString& soundFont, int bitrate)
{
    const QString config = folder + QStringLiteral("/bare.cfg");
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write("soundfont \"" + QFile::encodeName(soundFont) + "\"\n");
    file.close();
    const QString wav = folder + QStringLiteral("/bare.wav");
    const QString mp3 = folder + QStringLiteral("/bare.mp3");
    QProcess renderer;
    renderer.setStandardInputFile(song);
    renderer.start(QStringLiteral("timidity"), {QStringLiteral("-c"), config, QStringLiteral("-Ow"),
                                                QStringLiteral("-o"), wav, QStringLiteral("-")});
    renderer.waitForFinished(300000);
    QProcess::execute(QStringLiteral("lame"),
                      {QStringLiteral("--quiet"), QStringLiteral("-h"), QStringLiteral("-m"),
                       QStringLiteral("s"), QStringLiteral("-b"), QString::number(bitrate), wav,
                       mp3});
    return mp3;
}

} // namespace AudioCheck
