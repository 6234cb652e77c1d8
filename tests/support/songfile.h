#pragma once

#include "smf/smfwriter.h"

#include <QDir>
#include <QString>

// A real MIDI song written for a test: its path and how long its music lasts.
struct SongFile
{
    QString path;
    double seconds = 0;
};

// Writes a short multi-instrument song (its folders made first); a failure ends the test run.
inline SongFile WriteSongFile(const QString& folder, const QString& name, double seconds,
                              int seed = 1)
{
    const Smf::Song song = Smf::Demo(seconds, seed);
    QDir().mkpath(folder);
    const QString path = folder + QLatin1Char('/') + name;
    if (!Smf::Write(song, path))
        qFatal("cannot write %s", qPrintable(path));
    return {path, Smf::DurationSeconds(song)};
}

// Writes a given song (its folders made first); a failure ends the test run.
inline SongFile WriteSongFile(const QString& folder, const QString& name, const Smf::Song& song)
{
    QDir().mkpath(folder);
    const QString path = folder + QLatin1Char('/') + name;
    if (!Smf::Write(song, path))
        qFatal("cannot write %s", qPrintable(path));
    return {path, Smf::DurationSeconds(song)};
}

// Songs that try the levelling of the sound.
namespace Songs {

// Every channel at full volume, every note at full velocity, chords of four notes on the beat:
// far louder than the renderer can play at its own level without clipping.
inline Smf::Song Loud(double seconds)
{
    Smf::Song song;
    const int beats = int(seconds * 2);
    for (int channel = 0; channel < 16; ++channel) {
        Smf::Track track{channel, (channel * 8) % 128, QString(), {}, 127};
        const int root = 48 + channel % 12;
        const QList<int> keys = channel == 9 ? QList<int>{36, 38, 42, 49}
                                             : QList<int>{root, root + 4, root + 7, root + 12};
        for (int beat = 0; beat < beats; ++beat)
            for (const int key : keys)
                track.notes.append({beat * 480, 460, key, 127});
        song.tracks.append(track);
    }
    return song;
}

// A soft piano under loud cymbal and bass drum hits every two seconds: its crest factor is
// over 20 dB, so that gain alone cannot bring it to its loudness below the ceiling.
inline Smf::Song SparseDrums(double seconds)
{
    Smf::Track piano{0, 0, QString(), {}, 100};
    Smf::Track drums{9, 0, QString(), {}, 127};
    for (int bar = 0; bar < int(seconds / 2); ++bar) {
        piano.notes.append({bar * 1920, 1800, 60 + bar % 5, 20});
        drums.notes.append({bar * 1920, 100, 49, 127});
        drums.notes.append({bar * 1920, 100, 36, 127});
    }
    Smf::Song song;
    song.tracks = {piano, drums};
    return song;
}

// A melody whose first note comes 2.25 s into the song.
inline Smf::Song LateStart()
{
    Smf::Track melody{0, 0, QString(), {}, -1};
    for (int i = 0; i < 8; ++i)
        melody.notes.append({2160 + i * 480, 400, 60 + i, 100});
    Smf::Song song;
    song.tracks = {melody};
    return song;
}

} // namespace Songs
