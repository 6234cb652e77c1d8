#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <functional>

// The command line's walk over a folder's tree: it finds what the window's folder search finds
// (FolderSearch::AddTreeFiles), in the same order, by the same rules, save that files that cannot
// be read are found too (they fail when converted, and say why). It works on the names' bytes,
// takes what it can from the folders' listings and surveys the folders of a level on several
// threads, so that a collection of a hundred thousand files is gathered in a fraction of a
// second.
namespace TreeWalk {

struct File
{
    // The file's path, bytes as they are on disk.
    QByteArrayView path;
    // Where its name begins in the path; the folder before it ends with a separator.
    qsizetype nameAt = 0;
    // The file itself, as the system knows it, whatever path reached it.
    quint64 device = 0;
    quint64 inode = 0;
    // The path as text (Platform::DecodePath).
    QString text;
};

// Hands every file of the folder's tree (a path without a trailing separator, except the root)
// whose name matches one of the wildcard patterns to found, folder by folder: each level of
// sub-folders after the one above it, by parent, then by name; a folder's files by name.
// Names beginning with "~", hidden files that could be written, hidden links to folders that
// could be written and folders reached again are left out; folders that cannot be read give
// nothing.
void Walk(const QByteArray& folder, const QStringList& patterns,
          const std::function<void(const File& file)>& found);

} // namespace TreeWalk
