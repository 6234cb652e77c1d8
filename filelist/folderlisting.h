#pragma once

#include "convert/applicationerror.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <dirent.h>
#include <exception>
#include <functional>

namespace FolderSearch {

// Error numbers of a folder that cannot be read; the search drops such a folder for the first
// two and keeps it for any other failure.
inline constexpr int PermissionDenied = 70;
inline constexpr int PathFileAccessError = 75;
inline constexpr int PathNotFound = 76;

// A failure to read a folder or a path, with its error number.
class FolderError : public tp::ApplicationError
{
public:
    FolderError(int number, const QString& description);
    int number() const { return m_number; }

    // The failure that a system error (errno) on the path stands for.
    static FolderError FromSystemError(int systemError, const QString& path);

private:
    int m_number;
};

// The error number of any failure: its own for a FolderError, otherwise PathFileAccessError.
int ErrorNumberOf(const std::exception_ptr& failure);

// Whether the first name comes before the second in a listing: by name without regard to
// letter case, then with regard to it, so that every file system gives the same order.
bool ListsBefore(const QString& first, const QString& second);

// The entries of one folder, read at once and sorted by ListsBefore; "." and ".." left out.
// The folder stays open while the listing lives, so its entries can be tested cheaply.
class FolderListing
{
public:
    enum class Kind { SubFolders, NonFolders };

    struct Entry
    {
        QString name;
        QByteArray encodedName;
        unsigned char type = DT_UNKNOWN;
    };

    // Keeps only the entries whose names the filter wants (all without one). Throws
    // FolderError when the folder cannot be opened or read.
    FolderListing(const QString& folder, Kind kind,
                  const std::function<bool(const QString& name)>& wanted = {});
    ~FolderListing();
    FolderListing(const FolderListing&) = delete;
    FolderListing& operator=(const FolderListing&) = delete;

    const QList<Entry>& entries() const { return m_entries; }

    // Whether the entry is a regular file that opens for reading at once, without blocking.
    bool isOpenableFile(const Entry& entry) const;

private:
    bool isFolder(const char* encodedName, unsigned char type) const;

    DIR* m_dir = nullptr;
    QList<Entry> m_entries;
};

// Opens an already opened folder's entry, or a path when the folder is AT_FDCWD, and tells
// whether it is a regular file that opens for reading. Never blocks, never throws.
bool OpensAsRegularFile(int folderDescriptor, const char* encodedPath);

} // namespace FolderSearch
