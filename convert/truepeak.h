#pragma once

#include <array>
#include <vector>

// The peak of a signal between its samples, as a player's converter reconstructs it: each
// interval between two frames is sampled at three points more (four times oversampling) with a
// short windowed-sinc interpolator, which is what loudness meters call the true peak.
namespace TruePeak {

// Frames of context on each side of an interval that the interpolator reads.
inline constexpr int HalfTaps = 6;

// The interpolator's state for interleaved frames of a given number of channels.
class Interpolator
{
public:
    explicit Interpolator(int channels);

    // Takes one frame (channels values) and answers the largest magnitude between the frame
    // that lies HalfTaps frames back and the one after it, endpoints excluded, over all
    // channels. The first answers cover the silence before the first frame.
    float push(const float* frame);

private:
    int m_channels;
    // The last 2 * HalfTaps frames of each channel, twice over, so that every window of them
    // is one contiguous run.
    std::vector<float> m_history;
    int m_at = 0;
};

// The true peak of a whole signal, fed in pieces.
class Meter
{
public:
    explicit Meter(int channels);
    void feed(const float* frames, long long count);
    // The peak so far, the silence after the last frame included; full scale is 1.
    float peak();

private:
    int m_channels;
    Interpolator m_interpolator;
    float m_peak = 0;
    bool m_flushed = false;
};

// Converts a linear magnitude to decibels; -inf for zero.
double Decibels(double magnitude);

} // namespace TruePeak
