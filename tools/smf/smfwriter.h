#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>

// Writes Standard MIDI files (format 1) for tests, benchmarks and the bundled samples.
namespace Smf {

struct Note
{
    int startTick = 0;
    int lengthTicks = 0;
    int key = 60;
    int velocity = 96;
};

struct Track
{
    int channel = 0; // 0..15; 9 is the drum channel
    int program = 0; // General MIDI program, ignored on the drum channel
    QString name;
    QList<Note> notes;
    // The channel's volume (controller 7) and expression (controller 11) at the start, 0..127;
    // -1 leaves the renderer's default.
    int volume = -1;
};

struct Tempo
{
    int tick = 0;
    int microsecondsPerQuarter = 500000;
};

// A meta event with text in one of the tracks: 0x01 text, 0x02 copyright, 0x05 lyric and so
// on. Texts that share a tick stay in the order given, after the track's name.
struct Text
{
    int track = 0; // the index in Song::tracks
    int tick = 0;
    int type = 0x01;
    QByteArray bytes;
};

struct Song
{
    int ticksPerQuarter = 480;
    QList<Tempo> tempos{Tempo{}};
    QList<Track> tracks;
    QList<Text> texts;
};

// The bytes of a format 1 file: a tempo track, then one track per Track.
QByteArray Encode(const Song& song);

// Writes the file; answers false when it cannot be written.
bool Write(const Song& song, const QString& path);

// Length of the song in seconds, following its tempo changes.
double DurationSeconds(const Song& song);

// Seconds from the start of the song to the tick, following its tempo changes.
double SecondsAt(const Song& song, int tick);

// A short song with notes on several channels, a drum track and a tempo change, lasting
// about the given number of seconds.
Song Demo(double seconds, int seed = 1);

} // namespace Smf
