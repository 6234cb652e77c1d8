#pragma once

#include "convert/truepeak.h"

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
    // The true peak of what was given out, as far as it could pass the ceiling (below it, the
    // peak of the samples).
    float outputPeak() const { return m_outputPeak; }

private:
    // Takes a frame in and writes the frame that is ready, if any, at to, moving it on.
    void push(const float* frame, float intervalAfter, float*& to);
    float nextGain(float needed);

    Settings m_settings;
    long long m_latency;
    long long m_ringFrames;
    TruePeak::Scanner m_scanner;
    std::vector<float> m_between;
    // The frames from the oldest not yet given out to the newest, by index modulo its size,
    // and the peak each was judged by.
    std::vector<float> m_ring;
    std::vector<float> m_peaks;
    long long m_pushed = 0;
    long long m_real = 0;
    // Where frame m_pushed goes in the ring, and where the next frame out is.
    long long m_in = 0;
    long long m_out = 0;
    // The peak of the interval before the frame being judged.
    float m_intervalBefore = 0;
    // The least gain needed over the lookahead window: (index, gain) pairs whose gains rise
    // from front to back, in a ring of lookahead + 1 places.
    std::vector<std::pair<long long, float>> m_least;
    long long m_leastFront = 0;
    long long m_leastCount = 0;
    // The least gains of the last lookahead frames, in a ring, and their sum.
    std::vector<float> m_held;
    long long m_heldAt = 0;
    double m_heldSum = 0;
    double m_perHeld = 1;
    // No frame of the last 2 * lookahead needed less than the whole gain, and the gain has
    // risen back: each frame passes as it is.
    bool m_idle = true;
    long long m_lastNeed = -1;
    float m_gain = 1.0f;
    float m_lowestGain = 1.0f;
    float m_outputPeak = 0;
    float m_rise;
};
