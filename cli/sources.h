#pragma once

#include "cli/options.h"

#include <QList>
#include <QString>
#include <QStringList>

// The files a run converts, gathered from the command line's files, folders and lists.
namespace Sources {

struct Source
{
    // The file's absolute path.
    QString path;
    // The folder its MP3 file goes into, a clean absolute path.
    QString mp3Folder;
};

// Makes the folder and every missing folder above it; false, with the system's words for
// why, when one cannot be made.
bool MakeFolders(const QString& folder, QString& reason);

// The folder search's patterns for file endings: "*" for every file.
QStringList Patterns(const QStringList& extensions);

// Reads the paths of a list file ("-": standard input), one a line or, nullSeparated, each
// ended by a NUL byte; empty paths are left out. False, with the reason, when the list
// cannot be read or a line holds a NUL byte.
bool ReadList(const QString& name, bool nullSeparated, QStringList& paths, QString& error);

// The paths of a list's bytes, as ReadList splits them; false when a line holds a NUL byte.
bool SplitList(const QByteArray& bytes, bool nullSeparated, QStringList& paths);

// Every source the command line names, in its order: a folder gives its matching files,
// sub-folders included; a list gives its paths. A file reached again, by its path, a folder
// or a link, is left out. With an output folder, a folder's files have their MP3 files in its
// sub-folders made again under it (unless flat); files named directly go into it. A folder
// that cannot be read gives nothing, as in the window. False, with the reason, when a list cannot
// be read.
bool Gather(const CliOptions& options, QList<Source>& sources, QString& error);

} // namespace Sources

// Its members keep no pointer to themselves, so a list of sources grows by moving bytes.
Q_DECLARE_TYPEINFO(Sources::Source, Q_RELOCATABLE_TYPE);
