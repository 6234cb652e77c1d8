#include "convert/truepeak.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <numbers>

namespace TruePeak {

namespace {

constexpr int Taps = 2 * HalfTaps;
constexpr int Phases = 3;
constexpr long long BlockFrames = 64;

// The interpolator's weights for the points a quarter, a half and three quarters into an
// interval: a sinc narrowed by a Hann window, twelve frames long, oldest frame first.
using Kernel = std::array<std::array<float, Taps>, Phases>;

Kernel MakeKernel()
{
    Kernel kernel{};
    for (int phase = 0; phase < Phases; ++phase) {
        const double offset = (phase + 1) / 4.0;
        for (int tap = 0; tap < Taps; ++tap) {
            // The frame tap lies this far before the point.
            const double distance = offset + (HalfTaps - 1 - tap);
            const double x = std::numbers::pi * distance;
            const double window = 0.5 + 0.5 * std::cos(std::numbers::pi * distance / HalfTaps);
            kernel[size_t(phase)][size_t(tap)] = float(std::sin(x) / x * window);
        }
    }
    return kernel;
}

const Kernel& Weights()
{
    static const Kernel kernel = MakeKernel();
    return kernel;
}

// Four samples side by side, worked on by one instruction where the processor can.
using Lanes = float __attribute__((vector_size(16)));

Lanes Load(const float* from)
{
    Lanes lanes;
    std::memcpy(&lanes, from, sizeof lanes);
    return lanes;
}

void Store(float* to, Lanes lanes)
{
    std::memcpy(to, &lanes, sizeof lanes);
}

Lanes Larger(Lanes a, Lanes b)
{
    return a > b ? a : b;
}

Lanes Magnitude(Lanes lanes)
{
    return Larger(lanes, -lanes);
}

} // namespace

float OvershootBound()
{
    static const float bound = [] {
        float largest = 0;
        for (const auto& weights : Weights()) {
            float sum = 0;
            for (const float weight : weights)
                sum += std::fabs(weight);
            largest = std::max(largest, sum);
        }
        // A little more, for the rounding of the sums.
        return largest * 1.001f;
    }();
    return bound;
}

Scanner::Scanner(int channels)
    : m_channels(channels), m_planar(size_t(channels), std::vector<float>(size_t(Taps - 1), 0.0f))
{}

void Scanner::feed(const float* frames, long long count, float threshold, std::vector<float>& out)
{
    // Each channel's frames, then zeros up to whole blocks: every block is worked on whole, in
    // loops of one length that the compiler can turn into vector instructions.
    const long long blocks = (count + BlockFrames - 1) / BlockFrames;
    for (int channel = 0; channel < m_channels; ++channel) {
        std::vector<float>& planar = m_planar[size_t(channel)];
        planar.resize(size_t(Taps - 1 + count));
        for (long long i = 0; i < count; ++i)
            planar[size_t(Taps - 1 + i)] = frames[i * m_channels + channel];
        planar.resize(size_t(blocks * BlockFrames + Taps), 0.0f);
    }
    const size_t start = out.size();
    out.resize(start + size_t(blocks * BlockFrames), 0.0f);
    const float bound = OvershootBound();
    for (long long first = 0; first < count; first += BlockFrames) {
        // The frames that the block's points are made of, and one more.
        Lanes lanes{};
        for (const std::vector<float>& planar : m_planar) {
            const float* from = planar.data() + first;
            for (long long i = 0; i < BlockFrames + Taps; i += 4)
                lanes = Larger(lanes, Magnitude(Load(from + i)));
        }
        const float largest = std::max(std::max(lanes[0], lanes[1]), std::max(lanes[2], lanes[3]));
        if (largest * bound > threshold)
            scanBlock(first, out.data() + start + first);
    }
    out.resize(start + size_t(count));
    for (std::vector<float>& planar : m_planar) {
        planar.resize(size_t(Taps - 1 + count));
        planar.erase(planar.begin(), planar.end() - (Taps - 1));
    }
}

void Scanner::scanBlock(long long first, float* out)
{
    const Kernel& kernel = Weights();
    for (const std::vector<float>& planar : m_planar) {
        const float* x = planar.data() + first;
        // Eight points of each phase at once, held in registers while the taps go by.
        for (long long at = 0; at < BlockFrames; at += 8) {
            Lanes a1{}, a2{}, a3{}, b1{}, b2{}, b3{};
            for (size_t tap = 0; tap < size_t(Taps); ++tap) {
                const Lanes low = Load(x + at + long(tap));
                const Lanes high = Load(x + at + long(tap) + 4);
                const float w1 = kernel[0][tap];
                const float w2 = kernel[1][tap];
                const float w3 = kernel[2][tap];
                a1 += w1 * low;
                a2 += w2 * low;
                a3 += w3 * low;
                b1 += w1 * high;
                b2 += w2 * high;
                b3 += w3 * high;
            }
            Store(out + at, Larger(Load(out + at),
                                   Larger(Magnitude(a1), Larger(Magnitude(a2), Magnitude(a3)))));
            Store(out + at + 4,
                  Larger(Load(out + at + 4),
                         Larger(Magnitude(b1), Larger(Magnitude(b2), Magnitude(b3)))));
        }
    }
}

Meter::Meter(int channels) : m_channels(channels), m_scanner(channels) {}

void Meter::feed(const float* frames, long long count)
{
    for (long long i = 0; i < count * m_channels; ++i)
        m_peak = std::max(m_peak, std::fabs(frames[i]));
    m_between.clear();
    // Only points that could be larger than the peak so far are looked for.
    m_scanner.feed(frames, count, m_peak, m_between);
    for (const float value : m_between)
        m_peak = std::max(m_peak, value);
}

float Meter::peak()
{
    if (!m_flushed) {
        m_flushed = true;
        const std::vector<float> silence(size_t(m_channels * HalfTaps), 0.0f);
        feed(silence.data(), HalfTaps);
    }
    return m_peak;
}

double Decibels(double magnitude)
{
    return magnitude > 0 ? 20 * std::log10(magnitude) : -HUGE_VAL;
}

} // namespace TruePeak
