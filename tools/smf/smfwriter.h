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
};

struct Tempo
{
    int tick = 0;
    int microsecondsPerQuarter = 500000;
};

struct Song
{
    int ticksPerQuarter = 480;
    QList<Tempo> tempos{Tempo{}};
    QList<Track> tracks;
};

// The bytes of a format 1 file: a tempo track, then one track per Track.
QByteArray Encode(const Song& song);

// Writes the file; answers false when it cannot be written.
bool Write(const Song& song, const QString& path);

// Length of the song in seconds, following its tempo changes.
double DurationSeconds(const Song& song);

// A short song with notes on several channels, a drum track and a tempo change, lasting
// about the given number of seconds.
Song Demo(double seconds, int seed = 1);

} // namespace Smf
