#include "convert/loudnessmodel.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace Loudness {

namespace {

// Short enough that the limiter's gain changes little within a stretch, long enough that a
// guess walks a long song in a few milliseconds. A song that would need more stretches than
// MostStretches gets stretches twice as long, so that what is kept stays bounded.
constexpr long long FirstStretchFrames = 32;
constexpr size_t MostStretches = size_t(1) << 20;
// The loudness of a 400 ms block below which it does not count, and how far below the mean of
// the counted blocks one has to be to be left out as well.
constexpr double AbsoluteGateLufs = -70.0;
constexpr double RelativeGateLu = 10.0;
constexpr double LoudnessOffset = -0.691;
// A guess closer than this in gain or in loudness to the target's is close enough.
constexpr double GainPrecisionDb = 0.005;
constexpr double CloseEnoughLu = 0.002;

// A channel's weight in the sum, by its place in the stream: left, right and centre count once,
// the low-frequency channel not at all, the surround channels a little more.
double ChannelWeight(int channel)
{
    switch (channel) {
    case 0:
    case 1:
    case 2:
        return 1.0;
    case 4:
    case 5:
        return 1.41;
    default:
        return 0.0;
    }
}

double Lufs(double energy)
{
    return energy > 0 ? LoudnessOffset + 10 * std::log10(energy) : -HUGE_VAL;
}

} // namespace

// The K-weighting of one channel: a high shelf (the head's effect) and a high-pass, as two
// biquads whose coefficients follow from the sample rate.
struct Model::Filter
{
    explicit Filter(int sampleRate)
    {
        const double rate = std::max(1, sampleRate);
        double f0 = 1681.974450955533;
        double q = 0.7071752369554196;
        double k = std::tan(std::numbers::pi * std::min(f0 / rate, 0.49));
        const double vh = std::pow(10.0, 3.999843853973347 / 20.0);
        const double vb = std::pow(vh, 0.4996667741545416);
        double a0 = 1.0 + k / q + k * k;
        shelf = {(vh + vb * k / q + k * k) / a0, 2.0 * (k * k - vh) / a0,
                 (vh - vb * k / q + k * k) / a0, 2.0 * (k * k - 1.0) / a0,
                 (1.0 - k / q + k * k) / a0};
        f0 = 38.13547087602444;
        q = 0.5003270373238773;
        k = std::tan(std::numbers::pi * std::min(f0 / rate, 0.49));
        a0 = 1.0 + k / q + k * k;
        highPass = {1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
    }

    // The next filtered sample.
    double run(double in)
    {
        const double mid = shelf[0] * in + s1;
        s1 = shelf[1] * in - shelf[3] * mid + s2;
        s2 = shelf[2] * in - shelf[4] * mid;
        const double out = highPass[0] * mid + h1;
        h1 = highPass[1] * mid - highPass[3] * out + h2;
        h2 = highPass[2] * mid - highPass[4] * out;
        return out;
    }

    // The energy of count frames of the channel that starts at x, stride frames apart.
    double energy(const float* x, long long count, int stride)
    {
        double sum = 0;
        for (long long i = 0; i < count; ++i) {
            const double out = run(x[i * stride]);
            sum += out * out;
        }
        return sum;
    }

    // Both channels of a stereo stream in one loop, so that the processor works on the two at
    // once.
    static double stereoEnergy(Filter& left, Filter& right, const float* x, long long count)
    {
        Filter l = left;
        Filter r = right;
        double sum = 0;
        for (long long i = 0; i < count; ++i) {
            const double a = l.run(x[2 * i]);
            const double b = r.run(x[2 * i + 1]);
            sum += a * a + b * b;
        }
        left = l;
        right = r;
        return sum;
    }

    // b0, b1, b2, a1, a2 of each.
    std::array<double, 5> shelf{};
    std::array<double, 5> highPass{};
    double s1 = 0, s2 = 0, h1 = 0, h2 = 0;
};

Model::Model(int channels, int sampleRate, float ceiling, double mostGain)
    : m_channels(channels), m_subBlockFrames(std::max(1LL, (sampleRate + 5LL) / 10)),
      m_filters(size_t(channels), Filter(sampleRate)), m_scanner(channels),
      m_relevantPeak(float(ceiling / mostGain)), m_stretchFrames(FirstStretchFrames)
{
    for (int channel = 0; channel < channels; ++channel)
        m_weights.push_back(ChannelWeight(channel));
}

Model::~Model() = default;

void Model::feed(const float* frames, long long count)
{
    for (long long done = 0; done < count;) {
        if (m_frames % m_stretchFrames == 0) {
            if (m_peaks.size() == MostStretches)
                lengthenStretches();
            m_energies.push_back(0);
            m_peaks.push_back(0);
        }
        const long long n = std::min(count - done, m_stretchFrames - m_frames % m_stretchFrames);
        const float* from = frames + done * m_channels;
        double energy = 0;
        if (m_channels == 2) {
            energy = Filter::stereoEnergy(m_filters[0], m_filters[1], from, n);
        } else {
            for (int channel = 0; channel < m_channels; ++channel)
                if (m_weights[size_t(channel)] > 0)
                    energy += m_weights[size_t(channel)] *
                              m_filters[size_t(channel)].energy(from + channel, n, m_channels);
        }
        float peak = m_peaks.back();
        for (long long i = 0; i < n * m_channels; ++i)
            peak = std::max(peak, std::fabs(from[i]));
        m_energies.back() += float(energy);
        m_peaks.back() = peak;
        m_peak = std::max(m_peak, peak);
        done += n;
        m_frames += n;
    }
    // The points between frames are looked for where they could pass the song's peak so far
    // or could, at the most gain, pass the ceiling.
    m_between.clear();
    m_scanner.feed(frames, count, std::min(m_peak, m_relevantPeak), m_between);
    addPeaks(m_between);
}

// Every two stretches become one.
void Model::lengthenStretches()
{
    for (size_t stretch = 0; 2 * stretch + 1 < m_peaks.size(); ++stretch) {
        m_energies[stretch] = m_energies[2 * stretch] + m_energies[2 * stretch + 1];
        m_peaks[stretch] = std::max(m_peaks[2 * stretch], m_peaks[2 * stretch + 1]);
    }
    m_energies.resize(m_energies.size() / 2);
    m_peaks.resize(m_peaks.size() / 2);
    m_stretchFrames *= 2;
}

// Each point between two frames counts for the stretch of the first; those past the last frame
// for the last stretch.
void Model::addPeaks(const std::vector<float>& between)
{
    const long long count = static_cast<long long>(between.size());
    const long long last = static_cast<long long>(m_peaks.size()) - 1;
    long long before = m_scanned - TruePeak::HalfTaps;
    m_scanned += count;
    for (long long at = 0; at < count && last >= 0;) {
        const long long stretch = std::min(last, std::max(0LL, before) / m_stretchFrames);
        const long long run = before < 0        ? -before
                              : stretch == last ? count - at
                                                : m_stretchFrames - before % m_stretchFrames;
        const long long end = std::min(count, at + run);
        float peak = 0;
        for (long long i = at; i < end; ++i)
            peak = std::max(peak, between[size_t(i)]);
        m_peaks[size_t(stretch)] = std::max(m_peaks[size_t(stretch)], peak);
        m_peak = std::max(m_peak, peak);
        before += end - at;
        at = end;
    }
}

float Model::peak()
{
    if (!m_flushed) {
        m_flushed = true;
        const std::vector<float> silence(size_t(m_channels * TruePeak::HalfTaps), 0.0f);
        m_between.clear();
        m_scanner.feed(silence.data(), TruePeak::HalfTaps, std::min(m_peak, m_relevantPeak),
                       m_between);
        addPeaks(m_between);
    }
    return m_peak;
}

// The limiter's gain on each stretch, played through as the limiter works frame by frame: the
// least gain needed over its lookahead, averaged over as long, falling at once and rising at
// its release rate.
void Model::limiterGains(double gain, const TruePeakLimiter::Settings& limiter)
{
    const long long count = static_cast<long long>(m_peaks.size());
    const long long span = std::max(1LL, std::llround(limiter.lookahead / double(m_stretchFrames)));
    const double rise = 1.0 - std::exp(-double(m_stretchFrames) / std::max(1.0, limiter.release));
    // What each stretch needs, with the stretches before the first and after the last needing
    // nothing.
    m_needs.assign(size_t(count + 2 * span), 1.0f);
    const float ceiling = limiter.ceiling;
    for (long long stretch = 0; stretch < count; ++stretch) {
        const float peak = float(double(m_peaks[size_t(stretch)]) * gain);
        m_needs[size_t(span + stretch)] = peak > ceiling ? ceiling / peak : 1.0f;
    }
    std::vector<double> least(size_t(span), 1.0);
    double leastSum = double(span);
    double current = 1.0;
    m_gains.assign(size_t(count), 1.0f);
    for (long long at = 0; at < count + span - 1; ++at) {
        const float* window = m_needs.data() + at + 1;
        float needed = 1.0f;
        for (long long back = 0; back < span; ++back)
            needed = std::min(needed, window[back]);
        const size_t slot = size_t(at % span);
        leastSum += double(needed) - least[slot];
        least[slot] = needed;
        const double target = std::min(1.0, leastSum / double(span));
        current = target < current ? target : current + (target - current) * rise;
        const long long applied = at - (span - 1);
        if (applied >= 0)
            m_gains[size_t(applied)] = float(current);
    }
}

double Model::lufs(double gain, const std::optional<TruePeakLimiter::Settings>& limiter)
{
    if (limiter)
        limiterGains(gain, *limiter);
    else
        m_gains.assign(m_peaks.size(), 1.0f);
    m_subBlocks.assign(size_t(m_frames / m_subBlockFrames + 1), 0.0);
    for (size_t stretch = 0; stretch < m_energies.size(); ++stretch) {
        const double g = gain * m_gains[stretch];
        m_subBlocks[size_t(static_cast<long long>(stretch) * m_stretchFrames / m_subBlockFrames)] +=
            double(m_energies[stretch]) * g * g;
    }
    // Blocks of 400 ms, one every 100 ms; whole ones only.
    const size_t whole = size_t(m_frames / m_subBlockFrames);
    const double blockFrames = 4.0 * double(m_subBlockFrames);
    const auto blockEnding = [&](size_t last) {
        return (m_subBlocks[last] + m_subBlocks[last - 1] + m_subBlocks[last - 2] +
                m_subBlocks[last - 3]) /
               blockFrames;
    };
    double sum = 0;
    long long counted = 0;
    for (size_t last = 3; last < whole; ++last) {
        const double block = blockEnding(last);
        if (Lufs(block) >= AbsoluteGateLufs) {
            sum += block;
            ++counted;
        }
    }
    if (counted == 0)
        return -HUGE_VAL;
    const double relativeGate = Lufs(sum / double(counted)) - RelativeGateLu;
    double gated = 0;
    long long kept = 0;
    for (size_t last = 3; last < whole; ++last) {
        const double block = blockEnding(last);
        if (Lufs(block) >= AbsoluteGateLufs && Lufs(block) > relativeGate) {
            gated += block;
            ++kept;
        }
    }
    return kept > 0 ? Lufs(gated / double(kept)) : -HUGE_VAL;
}

double Model::gainDbFor(double aim, double mostGainDb, const TruePeakLimiter::Settings& limiter)
{
    const double unlimited = lufs(1.0, std::nullopt);
    if (!std::isfinite(unlimited))
        return mostGainDb;
    // The gain alone reaches the target when no peak passes the ceiling; the limiter only ever
    // takes loudness away, so with it the gain is larger.
    double low = std::min(mostGainDb, aim - unlimited);
    if (double(peak()) * std::pow(10.0, low / 20) <= limiter.ceiling)
        return low;
    double high = mostGainDb;
    double aboveHigh = lufs(std::pow(10.0, high / 20), limiter) - aim;
    if (aboveHigh <= 0)
        return high;
    // Between a gain that falls short and one that goes past, a straight line through the two
    // guesses gives the next; the end that stays has its distance halved, so that it moves too.
    double aboveLow = lufs(std::pow(10.0, low / 20), limiter) - aim;
    int stays = 0;
    while (high - low > GainPrecisionDb) {
        const double next = std::clamp(high - aboveHigh * (high - low) / (aboveHigh - aboveLow),
                                       low + GainPrecisionDb / 4, high - GainPrecisionDb / 4);
        const double above = lufs(std::pow(10.0, next / 20), limiter) - aim;
        if (std::fabs(above) < CloseEnoughLu)
            return next;
        if (above < 0) {
            low = next;
            aboveLow = above;
            aboveHigh /= stays < 0 ? 2 : 1;
            stays = std::min(stays, 0) - 1;
        } else {
            high = next;
            aboveHigh = above;
            aboveLow /= stays > 0 ? 2 : 1;
            stays = std::max(stays, 0) + 1;
        }
    }
    return (low + high) / 2;
}

} // namespace Loudness
