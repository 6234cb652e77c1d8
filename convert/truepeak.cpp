#include "convert/truepeak.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace TruePeak {

namespace {

constexpr int Taps = 2 * HalfTaps;
constexpr int Phases = 3;

// The interpolator's weights for the points a quarter, a half and three quarters into an
// interval: a sinc narrowed by a Hann window, twelve frames long.
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
            const double sinc = std::sin(x) / x;
            const double window = 0.5 + 0.5 * std::cos(std::numbers::pi * distance / HalfTaps);
            kernel[size_t(phase)][size_t(tap)] = float(sinc * window);
        }
    }
    return kernel;
}

const Kernel& Weights()
{
    static const Kernel kernel = MakeKernel();
    return kernel;
}

} // namespace

Interpolator::Interpolator(int channels)
    : m_channels(channels), m_history(size_t(channels) * 2 * Taps, 0.0f)
{}

float Interpolator::push(const float* frame)
{
    const Kernel& kernel = Weights();
    float largest = 0;
    for (int channel = 0; channel < m_channels; ++channel) {
        float* history = m_history.data() + size_t(channel) * 2 * Taps;
        history[m_at] = frame[channel];
        history[m_at + Taps] = frame[channel];
        // The oldest of the last Taps frames comes first.
        const float* window = history + m_at + 1;
        for (const auto& weights : kernel) {
            float sum = 0;
            for (int tap = 0; tap < Taps; ++tap)
                sum += window[tap] * weights[size_t(tap)];
            largest = std::max(largest, std::fabs(sum));
        }
    }
    m_at = (m_at + 1) % Taps;
    return largest;
}

Meter::Meter(int channels) : m_channels(channels), m_interpolator(channels) {}

void Meter::feed(const float* frames, long long count)
{
    for (long long i = 0; i < count; ++i) {
        const float* frame = frames + i * m_channels;
        for (int channel = 0; channel < m_channels; ++channel)
            m_peak = std::max(m_peak, std::fabs(frame[channel]));
        m_peak = std::max(m_peak, m_interpolator.push(frame));
    }
}

float Meter::peak()
{
    if (!m_flushed) {
        m_flushed = true;
        const std::vector<float> silence(size_t(m_channels), 0.0f);
        for (int i = 0; i < HalfTaps; ++i)
            m_peak = std::max(m_peak, m_interpolator.push(silence.data()));
    }
    return m_peak;
}

double Decibels(double magnitude)
{
    return magnitude > 0 ? 20 * std::log10(magnitude) : -HUGE_VAL;
}

} // namespace TruePeak
