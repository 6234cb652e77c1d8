#include "filelist/folderlisting.h"

#include "convert/platform.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace FolderSearch {

namespace {

bool IsDotEntry(const char* name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

FolderListing::Entry Decoded(const char* encodedName, unsigned char type)
{
    FolderListing::Entry entry;
    entry.encodedName = QByteArray(encodedName);
    entry.name = Platform::DecodePath(entry.encodedName);
    entry.type = type;
    return entry;
}

} // namespace

FolderError::FolderError(int number, const QString& description)
    : tp::ApplicationError(description), m_number(number)
{}

FolderError FolderError::FromSystemError(int systemError, const QString& path)
{
    switch (systemError) {
    case EACCES:
    case EPERM:
        return FolderError(PermissionDenied, QStringLiteral("Permission denied: ") + path);
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
        return FolderError(PathNotFound, QStringLiteral("Path not found: ") + path);
    default:
        return FolderError(PathFileAccessError, QStringLiteral("Path/File access error: ") + path);
    }
}

int ErrorNumberOf(const std::exception_ptr& failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const FolderError& error) {
        return error.number();
    } catch (...) {
        return PathFileAccessError;
    }
}

bool ListsBefore(const QString& first, const QString& second)
{
    const int folded = QString::compare(first, second, Qt::CaseInsensitive);
    if (folded != 0)
        return folded < 0;
    return QString::compare(first, second, Qt::CaseSensitive) < 0;
}

bool OpensAsRegularFile(int folderDescriptor, const char* encodedPath)
{
    // Non-blocking, so that a FIFO or a file under a lease answers at once.
    const int descriptor =
        ::openat(folderDescriptor, encodedPath, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (descriptor < 0)
        return false;
    struct stat facts
    {
    };
    const bool regular = ::fstat(descriptor, &facts) == 0 && S_ISREG(facts.st_mode);
    ::close(descriptor);
    return regular;
}

FolderListing::FolderListing(const QString& folder, Kind kind,
                             const std::function<bool(const QString& name)>& wanted)
{
    if (!Platform::IsUsablePath(folder))
        throw FolderError(PathNotFound, QStringLiteral("Path not found: ") + folder);
    m_dir = ::opendir(Platform::EncodePath(folder).constData());
    if (!m_dir)
        throw FolderError::FromSystemError(errno, folder);

    for (;;) {
        errno = 0;
        const dirent* raw = ::readdir(m_dir);
        if (!raw) {
            if (errno != 0) {
                const int failure = errno;
                ::closedir(m_dir);
                m_dir = nullptr;
                throw FolderError::FromSystemError(failure, folder);
            }
            break;
        }
        if (IsDotEntry(raw->d_name))
            continue;
        if (isFolder(raw->d_name, raw->d_type) != (kind == Kind::SubFolders))
            continue;
        Entry entry = Decoded(raw->d_name, raw->d_type);
        if (!wanted || wanted(entry.name))
            m_entries.append(std::move(entry));
    }

    std::sort(m_entries.begin(), m_entries.end(), [](const Entry& first, const Entry& second) {
        if (first.name != second.name)
            return ListsBefore(first.name, second.name);
        return first.encodedName < second.encodedName;
    });
}

FolderListing::~FolderListing()
{
    if (m_dir)
        ::closedir(m_dir);
}

bool FolderListing::isFolder(const char* encodedName, unsigned char type) const
{
    if (type == DT_DIR)
        return true;
    if (type != DT_LNK && type != DT_UNKNOWN)
        return false;
    struct stat facts
    {
    };
    return ::fstatat(::dirfd(m_dir), encodedName, &facts, 0) == 0 && S_ISDIR(facts.st_mode);
}

bool FolderListing::isOpenableFile(const Entry& entry) const
{
    if (entry.type != DT_REG) {
        if (entry.type != DT_LNK && entry.type != DT_UNKNOWN)
            return false;
        // Only a link's target that is a regular file is opened: opening a device can act.
        struct stat facts
        {
        };
        if (::fstatat(::dirfd(m_dir), entry.encodedName.constData(), &facts, 0) != 0 ||
            !S_ISREG(facts.st_mode))
            return false;
    }
    return OpensAsRegularFile(::dirfd(m_dir), entry.encodedName.constData());
}

} // namespace FolderSearch
