#include "convert/loudness.h"

#include <algorithm>
#include <cmath>
#include <ebur128.h>

namespace Loudness {

using Conversion::DecodePcm;

namespace {

constexpr long long BlockFrames = 256;
constexpr long long ChunkFrames = 16384;
// Passes that measure what the limiter takes, before the one that gives the song on.
constexpr int MostMeasuringPasses = 4;
constexpr double CloseEnoughLu = 0.2;
// A step of the gain up to this long is expected to land close enough to measure it only
// while the song is given on.
constexpr double LargestUnmeasuredStepDb = 0.75;
// The limiter's gain falls over this long ahead of a peak and rises back this quickly after.
constexpr double LookaheadSeconds = 0.005;
constexpr double ReleaseSeconds = 0.06;
constexpr int OutputWidth = 3;

double FromDb(double db)
{
    return std::pow(10.0, db / 20);
}

void AppendLe(QByteArray& bytes, quint32 value, int size)
{
    for (int i = 0; i < size; ++i)
        bytes.append(char((value >> (8 * i)) & 0xFF));
}

} // namespace

double EncoderLoss(int bitrate)
{
    return bitrate >= 256 ? 0.0 : bitrate >= 192 ? 0.25 : 0.45;
}

double EncoderScale(double renderedPeak)
{
    const double ceiling = FromDb(UnlevelledCeilingDb);
    return renderedPeak * RenderHeadroom > ceiling ? ceiling / renderedPeak : RenderHeadroom;
}

QString ReplayGainText(double lufs)
{
    const double gain = ReplayGainReference - lufs;
    return (gain < 0 ? QStringLiteral("-") : QStringLiteral("+")) +
           QString::number(std::fabs(gain), 'f', 2) + QStringLiteral(" dB");
}

QString ReplayPeakText(double truePeakDb)
{
    return QString::number(FromDb(truePeakDb), 'f', 6);
}

QList<QPair<QString, QString>> ReplayGainTags(const Result& result)
{
    if (!result.levelled)
        return {};
    return {{QStringLiteral("REPLAYGAIN_TRACK_GAIN"), ReplayGainText(result.lufs)},
            {QStringLiteral("REPLAYGAIN_TRACK_PEAK"), ReplayPeakText(result.truePeakDb)}};
}

// The integrated loudness of what it is fed.
class Leveller::Integrator
{
public:
    Integrator(int channels, int sampleRate)
        // The histogram keeps the meter's memory the same however long the song is.
        : m_state(ebur128_init(unsigned(channels), static_cast<unsigned long>(sampleRate),
                               EBUR128_MODE_I | EBUR128_MODE_HISTOGRAM))
    {}
    ~Integrator() { ebur128_destroy(&m_state); }
    Integrator(const Integrator&) = delete;
    Integrator& operator=(const Integrator&) = delete;

    void feed(const float* frames, long long count)
    {
        if (m_state && count > 0)
            ebur128_add_frames_float(m_state, frames, size_t(count));
    }
    double lufs() const
    {
        double lufs = -HUGE_VAL;
        if (m_state)
            ebur128_loudness_global(m_state, &lufs);
        return lufs;
    }

private:
    ebur128_state* m_state;
};

// One pass over the held song: the gain, the limiter when there is a target, and, when it
// measures, the loudness of what comes out.
struct Leveller::Pass
{
    Pass(const Leveller& owner, double gain, long long end, bool measuring)
        : reader(owner.m_buffer), scale(float(RenderHeadroom * gain)), end(end),
          channels(owner.m_channels), width(owner.m_width)
    {
        const int rate = owner.wavFacts().sampleRate;
        if (measuring)
            meter = std::make_unique<Integrator>(channels, rate);
        if (owner.m_settings.target)
            limiter.emplace(TruePeakLimiter::Settings{channels, float(FromDb(LevelledCeilingDb)),
                                                      int(rate * LookaheadSeconds),
                                                      rate * ReleaseSeconds});
    }

    // The next levelled frames; empty once all are out.
    const std::vector<float>& next()
    {
        out.clear();
        while (out.empty() && !finished) {
            const long long frames = std::min(ChunkFrames, end - read);
            const QByteArray bytes =
                frames > 0 ? reader.read(frames * channels * width) : QByteArray();
            const long long got = bytes.size() / (channels * width);
            read += got;
            samples.resize(size_t(got * channels));
            DecodePcm(bytes, width, scale, samples.data());
            if (limiter)
                limiter->process(samples.data(), got, out);
            else
                out.insert(out.end(), samples.begin(), samples.end());
            if (got == 0) {
                finished = true;
                if (limiter)
                    limiter->finish(out);
            }
        }
        if (meter)
            meter->feed(out.data(), static_cast<long long>(out.size()) / channels);
        return out;
    }

    SongBuffer::Reader reader;
    float scale;
    long long end;
    int channels;
    int width;
    long long read = 0;
    bool finished = false;
    std::optional<TruePeakLimiter> limiter;
    std::unique_ptr<Integrator> meter;
    std::vector<float> samples;
    std::vector<float> out;
};

Leveller::Leveller(const Settings& settings)
    : m_settings(settings), m_buffer(settings.spillFolder, settings.memoryLimit)
{}

Leveller::~Leveller() = default;

void Leveller::take(QByteArrayView bytes)
{
    if (m_passOn) {
        m_raw.append(bytes);
        return;
    }
    const bool wasInData = m_stream.inData();
    const qsizetype audio = m_stream.feed(bytes);
    if (!wasInData)
        m_raw.append(bytes.first(bytes.size() - audio));
    if (m_stream.gaveUp() || (m_stream.inData() && !m_stream.facts().levelable())) {
        // Handed on as it came: the encoder judges what it cannot take.
        m_passOn = true;
        m_raw.append(bytes.last(audio));
        return;
    }
    if (audio > 0)
        analyse(bytes.last(audio));
}

void Leveller::analyse(QByteArrayView audio)
{
    if (!m_meter) {
        const Conversion::WavFacts facts = m_stream.facts();
        m_channels = facts.channels;
        m_width = facts.bitsPerSample / 8;
        m_meter = std::make_unique<Integrator>(m_channels, facts.sampleRate);
        m_peak = std::make_unique<TruePeak::Meter>(m_channels);
    }
    if (!m_buffer.append(audio) && m_result.error.isEmpty())
        m_result.error = m_buffer.error();
    // Frames split between two pieces are joined first.
    const qsizetype frameBytes = qsizetype(m_channels) * m_width;
    QByteArray joined;
    if (!m_partialFrame.isEmpty()) {
        joined = m_partialFrame + audio.toByteArray();
        audio = joined;
    }
    const qsizetype whole = audio.size() / frameBytes * frameBytes;
    m_partialFrame = audio.sliced(whole).toByteArray();
    std::vector<float> samples(size_t(whole / m_width));
    DecodePcm(audio.first(whole), m_width, float(RenderHeadroom), samples.data());
    const long long frames = whole / frameBytes;
    m_meter->feed(samples.data(), frames);
    m_peak->feed(samples.data(), frames);
    for (long long frame = 0; frame < frames; ++frame, ++m_frames) {
        if (m_frames % BlockFrames == 0)
            m_blockPeaks.push_back(0);
        for (int channel = 0; channel < m_channels; ++channel)
            m_blockPeaks.back() = std::max(
                m_blockPeaks.back(), std::fabs(samples[size_t(frame * m_channels + channel)]));
    }
}

void Leveller::producerEnded()
{
    m_ended = true;
    if (m_passOn || m_frames == 0 || !m_result.error.isEmpty()) {
        m_passOn = true;
        m_buffer.release();
        return;
    }
    plan();
    m_output = std::make_unique<Pass>(*this, m_gain, m_end, m_measureOutput);
    m_raw = outputHeader(m_end);
}

double Leveller::gainFor(double lufs) const
{
    if (!std::isfinite(lufs))
        return FromDb(MostGainDb);
    return FromDb(std::min(MostGainDb, aim() - lufs));
}

long long Leveller::endFrame(double gain) const
{
    const double silence = FromDb(SilenceDb) / gain;
    long long lastSound = -1;
    for (long long block = static_cast<long long>(m_blockPeaks.size()) - 1; block >= 0; --block)
        if (m_blockPeaks[size_t(block)] > silence) {
            lastSound = block;
            break;
        }
    // From the start of the last block with sound, so that at most this much silence follows
    // its last sound.
    const long long keep = static_cast<long long>(TrailingSilenceSeconds * wavFacts().sampleRate);
    return std::min(m_frames, std::max(0LL, lastSound) * BlockFrames + keep);
}

void Leveller::measure(double gain)
{
    m_gain = gain;
    m_end = endFrame(gain);
    m_result.gainDb = TruePeak::Decibels(gain);
    Pass pass(*this, gain, m_end, true);
    while (!pass.next().empty()) {
    }
    m_result.lufs = pass.meter->lufs();
    m_result.truePeakDb = TruePeak::Decibels(pass.limiter->outputPeak());
    m_result.limitedDb = pass.limiter->largestReductionDb();
    m_untouchedShare = pass.limiter->untouchedShare();
}

// One gain, with no limiter at work: the loudness and peak follow from the song's own.
void Leveller::settle(double gain)
{
    m_gain = gain;
    m_end = endFrame(gain);
    m_result.gainDb = TruePeak::Decibels(gain);
    m_result.lufs = m_meter->lufs() + m_result.gainDb;
    m_result.truePeakDb = TruePeak::Decibels(m_peak->peak() * gain);
    m_result.limitedDb = 0;
}

void Leveller::plan()
{
    const double peak = m_peak->peak();
    if (!m_settings.target) {
        const double ceiling = FromDb(UnlevelledCeilingDb);
        settle(peak > ceiling ? ceiling / peak : 1.0);
        return;
    }
    // Without a peak past the ceiling the gain alone reaches the target.
    double gain = gainFor(m_meter->lufs());
    if (peak * gain <= FromDb(LevelledCeilingDb)) {
        settle(gain);
        return;
    }
    // The limiter takes some loudness where it works: measure what it took and make up for it,
    // aiming from the last two passes once there are two. A small last step is taken without a
    // pass of its own: the pass that gives the song on measures it.
    const double target = aim();
    double previousGainDb = 0;
    double previousLufs = 0;
    for (int pass = 0; pass < MostMeasuringPasses; ++pass) {
        measure(gain);
        const double lufs = m_result.lufs;
        const double error = target - lufs;
        const double gainDb = m_result.gainDb;
        if (!std::isfinite(lufs) || std::fabs(error) < CloseEnoughLu ||
            (error > 0 && gainDb >= MostGainDb - 1e-9) || pass + 1 == MostMeasuringPasses)
            return;
        // More gain reaches only the part of the song that the limiter left alone.
        double slope = 0.5 + 0.5 * m_untouchedShare;
        if (pass > 0 && std::fabs(gainDb - previousGainDb) > 1e-6)
            slope = (lufs - previousLufs) / (gainDb - previousGainDb);
        slope = std::clamp(slope, 0.2, 1.0);
        previousGainDb = gainDb;
        previousLufs = lufs;
        const double nextDb = std::min(MostGainDb, gainDb + error / slope);
        gain = FromDb(nextDb);
        if (std::fabs(nextDb - gainDb) <= LargestUnmeasuredStepDb) {
            m_gain = gain;
            m_end = endFrame(gain);
            m_result.gainDb = nextDb;
            m_measureOutput = true;
            return;
        }
    }
}

QByteArray Leveller::outputHeader(long long frames) const
{
    const Conversion::WavFacts facts = m_stream.facts();
    const quint32 blockAlign = quint32(m_channels * OutputWidth);
    const quint32 dataBytes = quint32(std::min<long long>(frames * blockAlign, 0xFFFFFFF0LL));
    QByteArray header("RIFF");
    AppendLe(header, 36 + dataBytes, 4);
    header += "WAVEfmt ";
    AppendLe(header, 16, 4);
    AppendLe(header, 1, 2);
    AppendLe(header, quint32(m_channels), 2);
    AppendLe(header, quint32(facts.sampleRate), 4);
    AppendLe(header, quint32(facts.sampleRate) * blockAlign, 4);
    AppendLe(header, blockAlign, 2);
    AppendLe(header, OutputWidth * 8, 2);
    header += "data";
    AppendLe(header, dataBytes, 4);
    return header;
}

QByteArray Leveller::outputSamples(const std::vector<float>& samples)
{
    QByteArray bytes(qsizetype(samples.size()) * OutputWidth, Qt::Uninitialized);
    char* to = bytes.data();
    for (const float sample : samples) {
        const auto value =
            qint32(std::clamp(std::lrint(double(sample) * 8388607.0), -8388608L, 8388607L));
        *to++ = char(value & 0xFF);
        *to++ = char((value >> 8) & 0xFF);
        *to++ = char((value >> 16) & 0xFF);
    }
    return bytes;
}

QByteArray Leveller::give(qint64 most)
{
    if (m_passOn) {
        if (m_raw.size() <= most)
            return std::exchange(m_raw, QByteArray());
        QByteArray bytes = m_raw.first(most);
        m_raw.remove(0, most);
        return bytes;
    }
    // Nothing goes on before the whole song has been measured.
    if (!m_output)
        return QByteArray();
    QByteArray bytes = std::exchange(m_raw, QByteArray());
    while (bytes.size() < most && !m_output->finished) {
        const std::vector<float>& samples = m_output->next();
        bytes += outputSamples(samples);
    }
    if (m_output->finished)
        endOutput();
    return bytes;
}

void Leveller::endOutput()
{
    if (m_result.levelled)
        return;
    m_result.levelled = true;
    if (m_output->meter) {
        m_result.lufs = m_output->meter->lufs();
        m_result.truePeakDb = TruePeak::Decibels(m_output->limiter->outputPeak());
        m_result.limitedDb = m_output->limiter->largestReductionDb();
    }
    m_result.lufs -= m_settings.encoderLossLu;
    m_result.belowTarget = m_settings.target && m_result.gainDb >= MostGainDb - 1e-9 &&
                           m_result.lufs < *m_settings.target - 0.5;
    // Everything is with the encoder: the song's copy goes at once.
    m_buffer.release();
}

double Leveller::aim() const
{
    return m_settings.target.value_or(0) + m_settings.encoderLossLu;
}

bool Leveller::exhausted() const
{
    return m_raw.isEmpty() && (m_passOn || m_result.levelled);
}

} // namespace Loudness
