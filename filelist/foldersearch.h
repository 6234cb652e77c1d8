#pragma once

#include "convert/applicationerror.h"
#include "convert/dialogs.h"

#include <QString>
#include <QStringList>
#include <algorithm>
#include <functional>
#include <type_traits>

// The folder tools: the folder picker, the level-by-level folder search and the listing of
// one folder's files.
namespace FolderSearch {

// Shows the folder picker opened on the start folder. Answers the chosen folder without a
// trailing separator (except the root "/"), or "" when the user cancelled.
QString BrowseForFolder(tp::Dialogs& dialogs, const QString& prompt, const QString& startFolder);

// Extends the folder list (each entry ends with a separator) by all sub-folders, level by
// level, each level's folders by parent, then by name without regard to letter case. Leaves
// out hidden system folders, folders with bad names or too long paths, and folders reached
// again through a link; drops folders that cannot be read. Failures are reported through the
// reporter as the search's own; none leaves here.
void AddSubFolders(QStringList& folders, bool recurse, const tp::ErrorReporter& reporter);

// The names of the files directly in a folder that match the wildcard pattern and can be
// opened, hidden files included, folders never.
QStringList GetFilesInFolder(const QString& folder, const QString& pattern);
// The same for names that match any of the patterns.
QStringList GetFilesInFolder(const QString& folder, const QStringList& patterns);

// Whether the path names a regular file that can be opened for reading, without blocking.
bool IsOpenableFile(const QString& path);

// Whether a folder name holds a character that the search does not accept.
bool HasBadCharacters(const QString& name);

// Whether a folder path names the root "/" (any run of separators alone). The root is always
// searched, whatever its attributes.
bool IsRootFolder(const QString& folder);

// Whether a path or name is too long for the platform to use.
bool IsPathTooLong(const QString& path);

// Whether a folder of this attribute value is a hidden system folder (22, or 1046 with the
// link flag), which the search neither enters nor adds.
bool IsHiddenSystemFolder(int attributes);

// Whether a name matches a wildcard pattern ("*" and "?"), without regard to letter case;
// "*.*" also matches a name without a dot.
bool MatchesWildcard(const QString& name, const QString& pattern);

// The same rule for any string view, with sameLetter(a, b) telling whether two characters
// match: the window's names, and names kept as bytes that hold ASCII characters alone.
template <class View, class SameLetter>
bool MatchesWildcard(View name, View pattern, SameLetter sameLetter)
{
    using Char = std::remove_cv_t<typename View::value_type>;
    const Char star = Char(u'*');
    const Char dot = Char(u'.');
    // "*" takes any run of characters, "?" exactly one.
    const auto matchesFrom = [&](View wild) {
        qsizetype n = 0;
        qsizetype p = 0;
        qsizetype starAt = -1;
        qsizetype resumeAt = 0;
        while (n < name.size()) {
            if (p < wild.size() && wild[p] == star) {
                starAt = p++;
                resumeAt = n;
            } else if (p < wild.size() && (wild[p] == Char(u'?') || sameLetter(wild[p], name[n]))) {
                ++p;
                ++n;
            } else if (starAt >= 0) {
                p = starAt + 1;
                n = ++resumeAt;
            } else {
                return false;
            }
        }
        while (p < wild.size() && wild[p] == star)
            ++p;
        return p == wild.size();
    };
    if (matchesFrom(pattern))
        return true;
    // A pattern ending in ".*" also takes a name without any dot, so "*.*" takes every file.
    const qsizetype size = pattern.size();
    return size >= 2 && pattern[size - 2] == dot && pattern[size - 1] == star &&
           std::find(name.begin(), name.end(), dot) == name.end() &&
           matchesFrom(pattern.first(size - 2));
}

// Hands every file of the folder's tree (the folder given without a trailing separator, except
// the root) whose name matches the pattern to append, skipping names that begin with "~",
// files that cannot be opened and files of attribute value 34. Runs as statements of the given
// trap, numbered from firstLine (the caller's own numbering) up to firstLine + 18.
void AddTreeFiles(const std::function<void(const QString& path)>& append, const QString& folder,
                  const QString& pattern, tp::ErrorTrap& trap,
                  const tp::ErrorReporter& searchReporter, int firstLine);
// The same for names that match any of the patterns.
void AddTreeFiles(const std::function<void(const QString& path)>& append, const QString& folder,
                  const QStringList& patterns, tp::ErrorTrap& trap,
                  const tp::ErrorReporter& searchReporter, int firstLine);

} // namespace FolderSearch
