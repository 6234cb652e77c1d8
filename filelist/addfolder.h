#pragma once

#include "convert/dialogs.h"
#include "convert/errortrap.h"

#include <QString>
#include <QStringList>

class ListView1;

// The folder tools: the folder picker, the level-by-level folder search and the listing of
// one folder's files.
namespace AddFolder {

// Shows the folder picker opened on the start folder. Answers the chosen folder without a
// trailing separator (except the root "/"), or "" when the user cancelled.
QString BrowseForFolder(tp::Dialogs& dialogs, const QString& prompt, const QString& startFolder);

// Extends the folder list (each entry ends with a separator) by all sub-folders, level by
// level. Failures are reported through the reporter as the search's own; none leaves here.
void GetSubDirectories2016(QStringList& folders, bool recurse, const tp::ErrorReporter& reporter);

// The names of the files directly in a folder that match the wildcard pattern and can be
// opened, hidden files included, folders never.
QStringList GetFilesInFolder(const QString& folder, const QString& pattern);

// Whether the path names a regular file that can be opened for reading, without blocking.
bool IsOpenableFile(const QString& path);

// Whether a folder name holds a character that the search does not accept.
bool HasBadCharacters(const QString& name);

// Whether a name matches a wildcard pattern ("*" and "?"), without regard to letter case;
// "*.*" also matches a name without a dot.
bool MatchesWildcard(const QString& name, const QString& pattern);

// Appends to the list every file of the folder's tree whose name matches the pattern, skipping
// names that begin with "~", files that cannot be opened and files of attribute value 34.
// Runs as the statements 114 to 134 of the given trap.
void AddTreeFiles(ListView1& list, const QString& folder, const QString& pattern,
                  tp::ErrorTrap& trap, const tp::ErrorReporter& searchReporter);

} // namespace AddFolder
