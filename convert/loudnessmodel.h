#pragma once

#include "convert/limiter.h"
#include "convert/truepeak.h"

#include <optional>
#include <vector>

namespace Loudness {

// Foresees the integrated loudness (ITU-R BS.1770, two-stage gating) a held song will have
// after any gain and the true-peak limiter, so that the gain that reaches a target is found
// without running the limiter over the whole song once per guess. It keeps, for each stretch of
// a few frames, the K-weighted energy and the true peak: the limiter's gain is played through
// on those stretches, and each stretch's energy scales with the square of the gain it gets.
class Model
{
public:
    // Peaks that no gain up to mostGain can lift past ceiling are kept only as sample peaks.
    Model(int channels, int sampleRate, float ceiling, double mostGain);
    ~Model();
    Model(const Model&) = delete;
    Model& operator=(const Model&) = delete;

    void feed(const float* frames, long long count);
    // The true peak of all that was fed, the silence after it included; full scale is 1.
    float peak();
    // The loudness in LUFS after the gain and, if given, the limiter; -inf for silence.
    double lufs(double gain, const std::optional<TruePeakLimiter::Settings>& limiter);
    // The gain in dB, at most mostGainDb, that brings the song to aim through the limiter
    // (only the gain when no peak would pass its ceiling).
    double gainDbFor(double aim, double mostGainDb, const TruePeakLimiter::Settings& limiter);

private:
    struct Filter;
    void lengthenStretches();
    void addPeaks(const std::vector<float>& between);
    void limiterGains(double gain, const TruePeakLimiter::Settings& limiter);

    int m_channels;
    long long m_subBlockFrames;
    std::vector<Filter> m_filters;
    std::vector<double> m_weights;
    TruePeak::Scanner m_scanner;
    float m_relevantPeak;
    std::vector<float> m_between;
    long long m_stretchFrames;
    long long m_frames = 0;
    long long m_scanned = 0;
    float m_peak = 0;
    bool m_flushed = false;
    // Per stretch of m_stretchFrames frames: its weighted K-filtered energy and its peak.
    std::vector<float> m_energies;
    std::vector<float> m_peaks;
    // What each stretch needs of the limiter and what it gets, and the energy of each 100 ms,
    // reused between guesses.
    std::vector<float> m_needs;
    std::vector<float> m_gains;
    std::vector<double> m_subBlocks;
};

} // namespace Loudness
