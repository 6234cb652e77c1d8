#pragma once

#include <vector>

// The peak of a signal between its samples, as a player's converter reconstructs it: each
// interval between two frames is sampled at three points more (four times oversampling) with a
// short windowed-sinc interpolator, which is what loudness meters call the true peak.
namespace TruePeak {

// Frames of context on each side of an interval that the interpolator reads.
inline constexpr int HalfTaps = 6;

// No point the interpolator finds is larger than this times the largest magnitude of the
// frames it reads.
float OvershootBound();

// The peaks between the frames of interleaved audio, fed in pieces of any size. Blocks of
// frames whose magnitudes are too small for any point between them to pass the threshold are
// not interpolated, which leaves most of a song's frames alone.
class Scanner
{
public:
    explicit Scanner(int channels);

    // For each frame fed, appends to out the largest magnitude over all channels between the
    // frame HalfTaps frames before it and the one after that, endpoints excluded, or 0 when
    // that is at most threshold. The first values cover the silence before the first frame.
    void feed(const float* frames, long long count, float threshold, std::vector<float>& out);

private:
    void scanBlock(long long first, float* out);

    int m_channels;
    // Each channel's frames on their own: the 2 * HalfTaps - 1 frames before this piece, then
    // the piece.
    std::vector<std::vector<float>> m_planar;
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
    Scanner m_scanner;
    std::vector<float> m_between;
    float m_peak = 0;
    bool m_flushed = false;
};

// Converts a linear magnitude to decibels; -inf for zero.
double Decibels(double magnitude);

} // namespace TruePeak
