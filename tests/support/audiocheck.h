#pragma once

#include <QList>
#include <QString>

// Checks of real audio files for tests and benchmarks: MP3 frame headers and decoded sound.
namespace AudioCheck {

struct Mp3Frames
{
    int frames = 0;
    // The bitrate of each frame in kbps, in file order.
    QList<int> bitrates;
    int sampleRate = 0;
    // Stereo or joint stereo in every frame.
    bool stereo = true;
};

// Reads the MPEG audio frame headers of a file, after an ID3v2 tag if there is one.
Mp3Frames ReadMp3Frames(const QString& path);

struct Pcm
{
    bool ok = false;
    double seconds = 0;
    // Root mean square of all samples, on a scale where full scale is 1.
    double rms = 0;
    // Peak absolute sample, full scale 1.
    double peak = 0;
    // When the first and the last sample above -60 dBFS sound, in seconds from the start.
    double firstSound = 0;
    double lastSound = 0;
};

// Reads a 16-bit PCM RIFF WAVE file.
Pcm ReadPcmWav(const QString& path);

// Decodes an MP3 file with mpg123 into a WAV file beside it and reads that.
Pcm DecodeMp3(const QString& mp3Path, const QString& scratchFolder);

// Integrated loudness (LUFS) and true peak (dBTP) of an audio file, as ffmpeg's EBU R128 meter
// reads them.
struct Level
{
    bool ok = false;
    double lufs = 0;
    double truePeak = 0;
};
Level MeasureLevel(const QString& path);

// The bare tools at their own level, as a person would run them: the renderer with the SoundFont
// into a WAV file in the folder, the encoder from it at the bitrate. Answers the MP3 file's path.
QString BareMp3(const QString& song, const QString& folder, const QString& soundFont, int bitrate);

} // namespace AudioCheck
