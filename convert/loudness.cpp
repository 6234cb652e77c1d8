#include "convert/loudness.h"

#include <algorithm>
#include <cmath>
#include <ebur128.h>

namespace Loudness {

using Conversion::DecodePcm;

namespace {

constexpr long long BlockFrames = 256;
constexpr long long ChunkFrames = 16384;
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

// The pass over the held song that gives it on: the gain, the limiter where some peak would
// pass the ceiling, and, with a target, the loudness of what comes out.
struct Leveller::Pass
{
    explicit Pass(const Leveller& owner)
        : reader(owner.m_buffer), scale(float(RenderHeadroom * owner.m_gain)), end(owner.m_end),
          channels(owner.m_channels), width(owner.m_width)
    {
        if (owner.m_settings.target)
            meter = std::make_unique<Integrator>(channels, owner.wavFacts().sampleRate);
        if (owner.m_limit)
            limiter.emplace(owner.limiterSettings());
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
    if (m_channels == 0) {
        const Conversion::WavFacts facts = m_stream.facts();
        m_channels = facts.channels;
        m_width = facts.bitsPerSample / 8;
        if (m_settings.target) {
            m_model = std::make_unique<Model>(m_channels, facts.sampleRate,
                                              float(FromDb(LevelledCeilingDb)), FromDb(MostGainDb));
        } else {
            m_meter = std::make_unique<Integrator>(m_channels, facts.sampleRate);
            m_peak = std::make_unique<TruePeak::Meter>(m_channels);
        }
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
    if (m_model) {
        m_model->feed(samples.data(), frames);
    } else {
        m_meter->feed(samples.data(), frames);
        m_peak->feed(samples.data(), frames);
    }
    for (long long frame = 0; frame < frames;) {
        if (m_frames % BlockFrames == 0)
            m_blockPeaks.push_back(0);
        const long long count = std::min(frames - frame, BlockFrames - m_frames % BlockFrames);
        const float* from = samples.data() + frame * m_channels;
        float peak = m_blockPeaks.back();
        for (long long i = 0; i < count * m_channels; ++i)
            peak = std::max(peak, std::fabs(from[i]));
        m_blockPeaks.back() = peak;
        frame += count;
        m_frames += count;
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
    m_output = std::make_unique<Pass>(*this);
    m_raw = outputHeader(m_end);
}

TruePeakLimiter::Settings Leveller::limiterSettings() const
{
    const int rate = wavFacts().sampleRate;
    return {m_channels, float(FromDb(LevelledCeilingDb)), int(rate * LookaheadSeconds),
            rate * ReleaseSeconds};
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

// Without a target, one gain and no limiter: the loudness and peak follow from the song's own.
void Leveller::settle(double gain)
{
    m_gain = gain;
    m_end = endFrame(gain);
    m_result.gainDb = TruePeak::Decibels(gain);
    m_result.lufs = m_meter->lufs() + m_result.gainDb;
    m_result.truePeakDb = TruePeak::Decibels(m_peak->peak() * gain);
    m_result.limitedDb = 0;
}

// With a target, the gain is found on the model, before the song is given on; the loudness
// reached is measured on the way out.
void Leveller::plan()
{
    if (!m_settings.target) {
        const double peak = m_peak->peak();
        const double ceiling = FromDb(UnlevelledCeilingDb);
        settle(peak > ceiling ? ceiling / peak : 1.0);
        return;
    }
    const TruePeakLimiter::Settings limiter = limiterSettings();
    m_result.gainDb = m_model->gainDbFor(aim(), MostGainDb, limiter);
    m_gain = FromDb(m_result.gainDb);
    m_end = endFrame(m_gain);
    m_limit = m_model->peak() * m_gain > limiter.ceiling;
    m_result.truePeakDb = TruePeak::Decibels(m_model->peak() * m_gain);
    m_model.reset();
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
    // Adding and taking away 1.5 * 2^52 rounds to the nearest whole number, half to even, as
    // lrint does, without a call per sample.
    constexpr double Rounder = 6755399441055744.0;
    for (const float sample : samples) {
        const double scaled = std::clamp(double(sample) * 8388607.0, -8388608.0, 8388607.0);
        const auto value = qint32((scaled + Rounder) - Rounder);
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
    if (m_output->meter)
        m_result.lufs = m_output->meter->lufs();
    if (m_output->limiter) {
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
