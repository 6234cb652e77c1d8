#pragma once

#include "convert/conversion.h"
#include "convert/limiter.h"
#include "convert/loudnessmodel.h"
#include "convert/runner.h"
#include "convert/songbuffer.h"
#include "convert/truepeak.h"

#include <QList>
#include <QPair>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

// Brings a rendered song to one loudness without clipping, between the renderer and the
// encoder: the whole song is held and measured (integrated loudness after ITU-R BS.1770 and
// EBU R128, and true peak), then given on with one gain and, where that gain would pass the
// ceiling, a true-peak limiter; the silence at its end is cut to half a second.
namespace Loudness {

inline constexpr double DefaultTarget = -16.0;
inline constexpr double LowestTarget = -40.0;
inline constexpr double HighestTarget = -5.0;
// A song is never raised more than this above the renderer's own level, so that a near-silent
// render is not blown up into noise.
inline constexpr double MostGainDb = 24.0;
// The level that ReplayGain 2.0 tags are reckoned against.
inline constexpr double ReplayGainReference = -18.0;
// The renderer renders this many times lower than its own level, with 24-bit samples, so
// that no sample reaches full scale; the gain restores it.
inline constexpr double RenderHeadroom = 10.0;
// The true peak the levelled samples keep below, lower than the -1 dBTP the decoded MP3 file
// keeps, since encoding raises peaks a little.
inline constexpr double LevelledCeilingDb = -2.3;
// The same without a loudness target: the decoded MP3 file stays at or below 0 dBTP.
inline constexpr double UnlevelledCeilingDb = -0.8;
// Silence below this level at the end of a song is cut to TrailingSilenceSeconds.
inline constexpr double SilenceDb = -60.0;
inline constexpr double TrailingSilenceSeconds = 0.5;

struct Settings
{
    // The loudness to reach in LUFS; none: the renderer's own level, lowered only as far as
    // it must be not to clip, without the limiter.
    std::optional<double> target = DefaultTarget;
    // Where the song goes when it outgrows memoryLimit bytes.
    QString spillFolder;
    qint64 memoryLimit = qint64(64) << 20;
    // The loudness the encoder will take (see EncoderLoss), made up for in advance.
    double encoderLossLu = 0;
};

// How much quieter the encoder makes a song at a bitrate, in LU: measured on rendered General
// MIDI songs, about half a LU up to 160 kbps and nothing from 256 kbps.
double EncoderLoss(int bitrate);

// What levelling did to a song.
struct Result
{
    bool levelled = false;
    // The loudness of the MP3 file as expected (the samples' less what the encoder takes), and
    // the true peak of the samples given to the encoder.
    double lufs = 0;
    double truePeakDb = 0;
    // The gain against the renderer's own level, and the largest reduction of the limiter.
    double gainDb = 0;
    double limitedDb = 0;
    // The gain's cap kept the song below its target.
    bool belowTarget = false;
    // Why the song could not be held, or "".
    QString error;
};

// The factor by which the encoder restores a render made with headroom to the renderer's own
// level, lowered as far as the render's true peak asks so that the decoded MP3 file stays at or
// below 0 dBTP.
double EncoderScale(double renderedPeak);

// The gain that brings a song of the given loudness to the ReplayGain reference, and its peak,
// as the tags write them ("-2.00 dB", "0.891251").
QString ReplayGainText(double lufs);
QString ReplayPeakText(double truePeakDb);

// The ReplayGain 2.0 track tags of a levelled song (none for one that was not levelled).
QList<QPair<QString, QString>> ReplayGainTags(const Result& result);

// The relay that levels the renderer's WAVE stream for the encoder. A stream that is not
// integer PCM WAVE, or has no samples, is handed on as it came.
class Leveller : public Runner::Relay
{
public:
    explicit Leveller(const Settings& settings);
    ~Leveller() override;

    void take(QByteArrayView bytes) override;
    void producerEnded() override;
    QByteArray give(qint64 most) override;
    bool exhausted() const override;

    Conversion::WavFacts wavFacts() const { return m_stream.facts(); }
    Result result() const { return m_result; }

private:
    struct Pass;
    class Integrator;
    void analyse(QByteArrayView audio);
    void plan();
    // The loudness of the samples that makes the target's loudness once encoded.
    double aim() const;
    TruePeakLimiter::Settings limiterSettings() const;
    long long endFrame(double gain) const;
    void settle(double gain);
    QByteArray outputHeader(long long frames) const;
    QByteArray outputSamples(const std::vector<float>& samples);
    void endOutput();

    Settings m_settings;
    Conversion::WavStream m_stream;
    // Bytes handed on as they came (a stream that cannot be levelled).
    QByteArray m_raw;
    bool m_passOn = false;
    bool m_ended = false;
    SongBuffer m_buffer;
    int m_channels = 0;
    int m_width = 0;
    QByteArray m_partialFrame;
    long long m_frames = 0;
    // Without a target: the song's loudness and true peak, for the one gain that keeps it
    // unclipped.
    std::unique_ptr<Integrator> m_meter;
    std::unique_ptr<TruePeak::Meter> m_peak;
    // With a target: what finds the gain that reaches it through the limiter.
    std::unique_ptr<Model> m_model;
    // The largest magnitude of each block of frames, to find where the song falls silent.
    std::vector<float> m_blockPeaks;
    double m_gain = 1;
    // Some peak passes the ceiling at the gain: the limiter works in the output.
    bool m_limit = false;
    long long m_end = 0;
    std::unique_ptr<Pass> m_output;
    Result m_result;
};

} // namespace Loudness
