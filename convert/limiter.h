#pragma once

#include "convert/truepeak.h"

#include <deque>
#include <vector>

// Keeps a signal's true peak at or below a ceiling by lowering its gain only around the peaks
// that would pass it. The gain falls ahead of each such peak (lookahead, so nothing overshoots)
// along a smooth ramp, and rises again quickly once the peak has passed.
class TruePeakLimiter
{
public:
    struct Settings
    {
        int channels = 2;
        float ceiling = 1.0f;
        // How long before a peak the gain starts to fall, in frames.
        int lookahead = 220;
        // The time constant of the gain's rise after a peak, in frames.
        double release = 2646;
    };

    explicit TruePeakLimiter(const Settings& settings);

    // Takes interleaved frames and appends to out the frames it has finished, which lag the
    // input by latency() frames.
    void process(const float* frames, long long count, std::vector<float>& out);
    // Appends the frames still held once the input has ended.
    void finish(std::vector<float>& out);
    long long latency() const { return m_latency; }
    // The largest gain reduction applied so far, in decibels (0 or more).
    double largestReductionDb() const;

private:
    void push(const float* frame, std::vector<float>& out);
    float* frameAt(long long index);
    float nextGain(float needed);

    Settings m_settings;
    long long m_latency;
    long long m_ringFrames;
    TruePeak::Interpolator m_interpolator;
    // The frames from the oldest not yet given out to the newest, by index modulo its size.
    std::vector<float> m_ring;
    long long m_pushed = 0;
    long long m_real = 0;
    // The peak of the interval before the frame being judged.
    float m_intervalBefore = 0;
    // (index, gain) pairs whose gains rise from front to back: the least gain needed in the
    // lookahead window is at the front.
    std::deque<std::pair<long long, float>> m_least;
    // The least gains of the last lookahead frames, and their sum.
    std::deque<float> m_held;
    double m_heldSum = 0;
    float m_gain = 1.0f;
    float m_lowestGain = 1.0f;
    float m_rise;
};
