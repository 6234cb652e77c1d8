#include "convert/limiter.h"

#include <algorithm>
#include <cmath>

TruePeakLimiter::TruePeakLimiter(const Settings& settings)
    : m_settings(settings), m_latency(0), m_ringFrames(0), m_scanner(settings.channels),
      m_rise(float(1.0 - std::exp(-1.0 / std::max(1.0, settings.release))))
{
    m_settings.lookahead = std::max(1, settings.lookahead);
    // A frame is judged HalfTaps frames after it arrives, once the interval after it is known;
    // its gain is known lookahead - 1 frames later.
    m_latency = TruePeak::HalfTaps + m_settings.lookahead - 1;
    m_ringFrames = m_latency + 2;
    m_ring.assign(size_t(m_ringFrames * settings.channels), 0.0f);
    m_peaks.assign(size_t(m_ringFrames), 0.0f);
    m_least.resize(size_t(m_settings.lookahead + 1));
    // Frames before the first need nothing.
    m_held.assign(size_t(m_settings.lookahead), 1.0f);
    m_heldSum = m_settings.lookahead;
    m_perHeld = 1.0 / m_settings.lookahead;
}

void TruePeakLimiter::process(const float* frames, long long count, std::vector<float>& out)
{
    const int channels = m_settings.channels;
    const size_t start = out.size();
    out.resize(start + size_t(count * channels));
    float* to = out.data() + start;
    m_between.clear();
    m_scanner.feed(frames, count, m_settings.ceiling, m_between);
    for (long long i = 0; i < count; ++i) {
        ++m_real;
        push(frames + i * channels, m_between[size_t(i)], to);
    }
    out.resize(size_t(to - out.data()));
}

void TruePeakLimiter::finish(std::vector<float>& out)
{
    const std::vector<float> silence(size_t(m_settings.channels * m_latency), 0.0f);
    const size_t start = out.size();
    out.resize(start + silence.size());
    float* to = out.data() + start;
    m_between.clear();
    m_scanner.feed(silence.data(), m_latency, m_settings.ceiling, m_between);
    for (long long i = 0; i < m_latency; ++i)
        push(silence.data(), m_between[size_t(i)], to);
    out.resize(size_t(to - out.data()));
}

float TruePeakLimiter::nextGain(float needed)
{
    const long long lookahead = m_settings.lookahead;
    const long long judged = m_pushed - 1 - TruePeak::HalfTaps;
    if (needed < 1.0f) {
        m_lastNeed = judged;
        if (m_idle) {
            m_idle = false;
            m_leastCount = 0;
        }
    } else if (m_idle) {
        return 1.0f;
    }
    // The least gain needed over the last lookahead frames...
    const long long places = lookahead + 1;
    long long back = m_leastFront + m_leastCount - 1;
    while (m_leastCount > 0 &&
           m_least[size_t(back >= places ? back - places : back)].second >= needed) {
        --m_leastCount;
        --back;
    }
    const long long slot = m_leastFront + m_leastCount;
    m_least[size_t(slot >= places ? slot - places : slot)] = {judged, needed};
    ++m_leastCount;
    while (m_least[size_t(m_leastFront)].first <= judged - lookahead) {
        m_leastFront = m_leastFront + 1 == places ? 0 : m_leastFront + 1;
        --m_leastCount;
    }
    // ...averaged over as many frames, so the gain has reached each peak's need when the peak
    // comes out, along a ramp with no corner.
    const float least = m_least[size_t(m_leastFront)].second;
    m_heldSum += double(least) - double(m_held[size_t(m_heldAt)]);
    m_held[size_t(m_heldAt)] = least;
    m_heldAt = m_heldAt + 1 == lookahead ? 0 : m_heldAt + 1;
    const float target = std::min(1.0f, float(m_heldSum * m_perHeld));
    // Falls at once with the target, rises towards it at the release rate (a rise never passes
    // the target, so the smaller of the two is the one that applies).
    m_gain = std::min(target, m_gain + (target - m_gain) * m_rise);
    if (judged - m_lastNeed >= 2 * lookahead && m_gain > 0.99999f) {
        // Every held need is whole again.
        m_idle = true;
        m_gain = 1.0f;
        std::fill(m_held.begin(), m_held.end(), 1.0f);
        m_heldSum = double(lookahead);
    }
    return m_gain;
}

void TruePeakLimiter::push(const float* frame, float intervalAfter, float*& to)
{
    const int channels = m_settings.channels;
    std::copy(frame, frame + channels, m_ring.begin() + m_in * channels);
    const long long judgedAt = m_in >= TruePeak::HalfTaps
                                   ? m_in - TruePeak::HalfTaps
                                   : m_in + m_ringFrames - TruePeak::HalfTaps;
    m_in = m_in + 1 == m_ringFrames ? 0 : m_in + 1;
    ++m_pushed;
    // The frame HalfTaps back is judged by its own samples and the intervals on both sides.
    float peak = std::max(m_intervalBefore, intervalAfter);
    m_intervalBefore = intervalAfter;
    if (m_pushed > TruePeak::HalfTaps) {
        const float* judged = m_ring.data() + judgedAt * channels;
        for (int channel = 0; channel < channels; ++channel)
            peak = std::max(peak, std::fabs(judged[channel]));
        m_peaks[size_t(judgedAt)] = peak;
    }
    const float needed = peak > m_settings.ceiling ? m_settings.ceiling / peak : 1.0f;
    const float gain = nextGain(needed);

    const long long ready = m_pushed - 1 - m_latency;
    if (ready < 0)
        return;
    const long long at = m_out;
    m_out = m_out + 1 == m_ringFrames ? 0 : m_out + 1;
    if (ready >= m_real)
        return;
    m_lowestGain = std::min(m_lowestGain, gain);
    m_outputPeak = std::max(m_outputPeak, m_peaks[size_t(at)] * gain);
    const float* readyFrame = m_ring.data() + at * channels;
    for (int channel = 0; channel < channels; ++channel)
        *to++ = readyFrame[channel] * gain;
}

double TruePeakLimiter::largestReductionDb() const
{
    return -20 * std::log10(double(m_lowestGain));
}
