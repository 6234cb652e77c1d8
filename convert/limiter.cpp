#include "convert/limiter.h"

#include <algorithm>
#include <cmath>

TruePeakLimiter::TruePeakLimiter(const Settings& settings)
    : m_settings(settings), m_latency(0), m_ringFrames(0), m_interpolator(settings.channels),
      m_rise(float(1.0 - std::exp(-1.0 / std::max(1.0, settings.release))))
{
    m_settings.lookahead = std::max(1, settings.lookahead);
    // A frame is judged HalfTaps frames after it arrives, once the interval after it is known;
    // its gain is known lookahead - 1 frames later.
    m_latency = TruePeak::HalfTaps + m_settings.lookahead - 1;
    m_ringFrames = m_latency + 2;
    m_ring.assign(size_t(m_ringFrames * settings.channels), 0.0f);
}

void TruePeakLimiter::process(const float* frames, long long count, std::vector<float>& out)
{
    const int channels = m_settings.channels;
    out.reserve(out.size() + size_t(count * channels));
    for (long long i = 0; i < count; ++i) {
        ++m_real;
        push(frames + i * channels, out);
    }
}

void TruePeakLimiter::finish(std::vector<float>& out)
{
    const std::vector<float> silence(size_t(m_settings.channels), 0.0f);
    for (long long i = 0; i < m_latency; ++i)
        push(silence.data(), out);
}

float* TruePeakLimiter::frameAt(long long index)
{
    return m_ring.data() + (index % m_ringFrames) * m_settings.channels;
}

float TruePeakLimiter::nextGain(float needed)
{
    const int lookahead = m_settings.lookahead;
    const long long judged = m_pushed - 1 - TruePeak::HalfTaps;
    // The least gain needed over the last lookahead frames...
    while (!m_least.empty() && m_least.back().second >= needed)
        m_least.pop_back();
    m_least.emplace_back(judged, needed);
    while (m_least.front().first <= judged - lookahead)
        m_least.pop_front();
    // ...averaged over as many frames, so the gain has reached each peak's need when the peak
    // comes out, along a ramp with no corner. Frames before the first need nothing.
    m_held.push_back(m_least.front().second);
    m_heldSum += double(m_least.front().second);
    if (m_held.size() > size_t(lookahead)) {
        m_heldSum -= double(m_held.front());
        m_held.pop_front();
    }
    const double missing = double(lookahead) - double(m_held.size());
    const float target = float((m_heldSum + missing) / lookahead);
    // Falls at once with the target, rises towards it at the release rate.
    m_gain = target < m_gain ? target : m_gain + (target - m_gain) * m_rise;
    return m_gain;
}

void TruePeakLimiter::push(const float* frame, std::vector<float>& out)
{
    const int channels = m_settings.channels;
    std::copy(frame, frame + channels, frameAt(m_pushed));
    ++m_pushed;
    const float intervalAfter = m_interpolator.push(frame);
    const long long judged = m_pushed - 1 - TruePeak::HalfTaps;
    float peak = std::max(m_intervalBefore, intervalAfter);
    m_intervalBefore = intervalAfter;
    if (judged >= 0) {
        const float* judgedFrame = frameAt(judged);
        for (int channel = 0; channel < channels; ++channel)
            peak = std::max(peak, std::fabs(judgedFrame[channel]));
    }
    const float needed = peak > m_settings.ceiling ? m_settings.ceiling / peak : 1.0f;
    const float gain = nextGain(needed);

    const long long ready = m_pushed - 1 - m_latency;
    if (ready < 0 || ready >= m_real)
        return;
    m_lowestGain = std::min(m_lowestGain, gain);
    const float* readyFrame = frameAt(ready);
    for (int channel = 0; channel < channels; ++channel)
        out.push_back(readyFrame[channel] * gain);
}

double TruePeakLimiter::largestReductionDb() const
{
    return -20 * std::log10(double(m_lowestGain));
}
