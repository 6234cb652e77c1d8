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
