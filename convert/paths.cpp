#include "convert/paths.h"

#include "convert/applicationerror.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Paths {

namespace {

bool StatPath(const QString& path, struct stat& facts)
{
    if (!Platform::IsUsablePath(path))
        return false;
    return ::stat(Platform::EncodePath(path).constData(), &facts) == 0;
}

QString SystemErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Replaces each pair of separators by one, left to right, pairs not overlapping.
QString CollapsePairs(QStringView text, QChar separator)
{
    const QChar pair[] = {separator, separator};
    QString result;
    result.reserve(text.size());
    qsizetype from = 0;
    // Copied a run at a time: every file of a collection has its MP3 path made here.
    for (qsizetype at = text.indexOf(QStringView(pair, 2)); at >= 0;
         at = text.indexOf(QStringView(pair, 2), from)) {
        result.append(text.sliced(from, at + 1 - from));
        from = at + 2;
    }
    result.append(text.sliced(from));
    return result;
}

// A new file under a unique name made from a template ending in "XXXXXX", made and named by
// its bytes (QTemporaryFile names it as UTF-8 text, which cannot hold every byte of a folder's
// name); removed again unless kept.
struct PartialFile
{
    QByteArray name;
    int descriptor = -1;
    bool keep = false;

    explicit PartialFile(const QString& pattern) : name(Platform::EncodePath(pattern))
    {
        descriptor = ::mkostemp(name.data(), O_CLOEXEC);
    }
    ~PartialFile()
    {
        close();
        if (!keep)
            ::unlink(name.constData());
    }
    PartialFile(const PartialFile&) = delete;
    PartialFile& operator=(const PartialFile&) = delete;

    void close()
    {
        if (descriptor >= 0)
            ::close(descriptor);
        descriptor = -1;
    }
};

// The mode bits of Qt's permission flags, as Qt sets them: the owner's from either of its two
// flag sets.
mode_t ModeOf(QFileDevice::Permissions permissions)
{
    const auto flags = static_cast<unsigned>(permissions.toInt());
    return mode_t(((flags >> 6) | (flags >> 2)) & 0700) | mode_t((flags >> 1) & 070) |
           mode_t(flags & 07);
}

} // namespace

bool FileExists(const QString& path)
{
    struct stat facts = {};
    return StatPath(path, facts) && !S_ISDIR(facts.st_mode);
}

bool FolderExists(const QString& path)
{
    struct stat facts = {};
    return StatPath(path, facts) && S_ISDIR(facts.st_mode);
}

QString FolderOfPath(const QString& path, QChar separator)
{
    const qsizetype last = path.lastIndexOf(separator);
    return last < 0 ? QString() : path.left(last + 1);
}

QString FileNameOfPath(const QString& path, QChar separator)
{
    return FileNameOfPath(QStringView(path), separator).toString();
}

QStringView FileNameOfPath(QStringView path, QChar separator)
{
    return path.mid(path.lastIndexOf(separator) + 1);
}

QString StripExtension(const QString& name)
{
    return StripExtension(QStringView(name)).toString();
}

QStringView StripExtension(QStringView name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot >= 1 ? name.left(dot) : name;
}

QString CollapseBackslashes(const QString& path, QChar separator)
{
    // Most paths have nothing to collapse and are handed back as they are; a path that starts
    // with one backslash is made a network path. A plain scan: every file of a collection has
    // its MP3 path made here, and a search for a two-character text costs several times more.
    const bool paired = std::adjacent_find(path.cbegin(), path.cend(), [&](QChar a, QChar b) {
                            return a == separator && b == separator;
                        }) != path.cend();
    if (!paired && (separator != QLatin1Char('\\') || !path.startsWith(separator)))
        return path;
    if (!path.startsWith(separator))
        return CollapsePairs(path, separator);

    qsizetype first = 0;
    while (first < path.size() && path[first] == separator)
        ++first;
    // A network path keeps its two leading backslashes; "/" has no such prefix.
    const QString prefix =
        separator == QLatin1Char('\\') ? QStringLiteral("\\\\") : QString(separator);
    return prefix + CollapsePairs(QStringView(path).mid(first), separator);
}

void DeleteFileQuiet(const QString& path)
{
    Platform::PumpEvents();
    if (!Platform::IsUsablePath(path))
        return;
    if (::unlink(Platform::EncodePath(path).constData()) == 0)
        return;
    try {
        DeleteFileForced(path);
    } catch (...) {
        // A file that cannot be deleted is passed over in silence.
    }
}

void DeleteFileForced(const QString& path)
{
    // Removing a name needs the right to write its folder, not the file: a read-only file
    // goes like any other, and its permissions are left alone if the removal fails.
    const QByteArray encoded = Platform::EncodePath(path);
    struct stat facts = {};
    if (!Platform::IsUsablePath(path) || ::lstat(encoded.constData(), &facts) != 0)
        throw tp::ApplicationError(QStringLiteral("File not found: ") + path);
    if (S_ISDIR(facts.st_mode))
        throw tp::ApplicationError(QStringLiteral("Not a file: ") + path);
    if (::unlink(encoded.constData()) != 0)
        throw tp::ApplicationError(QStringLiteral("Cannot delete ") + path + QStringLiteral(": ") +
                                   SystemErrorText(errno));
}

void WriteBytesIfMissing(const QByteArray& bytes, const QString& path,
                         QFileDevice::Permissions permissions)
{
    Platform::PumpEvents();
    if (FileExists(path))
        return;
    WriteFileAtomically(bytes, path, permissions, Placement::KeepExisting);
}

void WriteTextFile(const QString& text, const QString& path)
{
    WriteFileAtomically((text + QStringLiteral("\r\n")).toUtf8(), path,
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner, Placement::Replace);
}

void WriteFileAtomically(const QByteArray& bytes, const QString& path,
                         QFileDevice::Permissions permissions, Placement placement)
{
    const auto failure = [&path](const QString& reason) {
        return tp::ApplicationError(QStringLiteral("Cannot write ") + path + QStringLiteral(": ") +
                                    reason);
    };
    if (!Platform::IsUsablePath(path))
        throw failure(QStringLiteral("Invalid file name"));

    // The partial file is hidden and named after the final one (cut short, so that a long
    // name still leaves room for the suffix), in the same folder so that the rename is atomic.
    const QString folder = FolderOfPath(path);
    PartialFile partial((folder.isEmpty() ? QStringLiteral("./") : folder) + QStringLiteral(".") +
                        FileNameOfPath(path).left(64) + QStringLiteral(".XXXXXX"));
    if (partial.descriptor < 0)
        throw failure(SystemErrorText(errno));
    // Written straight to the descriptor: a full disk cuts a buffered write short without an
    // error text, and the user is to read why the file could not be written.
    for (qsizetype written = 0; written < bytes.size();) {
        const ssize_t count = ::write(partial.descriptor, bytes.constData() + written,
                                      static_cast<size_t>(bytes.size() - written));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            throw failure(SystemErrorText(count < 0 ? errno : ENOSPC));
        written += count;
    }
    if (::fchmod(partial.descriptor, ModeOf(permissions)) != 0)
        throw failure(SystemErrorText(errno));
    partial.close();
    try {
        PutInPlace(Platform::DecodePath(partial.name), path, placement);
    } catch (const tp::ApplicationError& error) {
        throw failure(error.description());
    }
    partial.keep = true;
}

void PutInPlace(const QString& temporary, const QString& path, Placement placement)
{
    const auto failure = [](int error) { return tp::ApplicationError(SystemErrorText(error)); };
    const QByteArray from = Platform::EncodePath(temporary);
    const QByteArray to = Platform::EncodePath(path);
    // The data must be on disk before the name is, or a crash could leave a short file under
    // the final name.
    const int descriptor = ::open(from.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (descriptor < 0)
        throw failure(errno);
    const bool synced = ::fsync(descriptor) == 0;
    const int syncError = errno;
    ::close(descriptor);
    if (!synced)
        throw failure(syncError);

    if (placement == Placement::KeepExisting) {
        if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) ==
            0)
            return;
        const int error = errno;
        // Another writer was quicker: its complete file stands and ours is dropped. A dangling
        // link is no file, so it is replaced below like on file systems without this rename.
        if (error == EEXIST && FileExists(path)) {
            ::unlink(from.constData());
            return;
        }
        if (error != EEXIST && error != EINVAL && error != ENOSYS)
            throw failure(error);
    } else {
        // The file replaced hands on its permission bits: a result its owner made read-only
        // or shared with a group stays so.
        struct stat earlier = {};
        if (::stat(to.constData(), &earlier) == 0 && S_ISREG(earlier.st_mode) &&
            ::chmod(from.constData(), earlier.st_mode & 07777) != 0)
            throw failure(errno);
    }
    if (::rename(from.constData(), to.constData()) != 0)
        throw failure(errno);
}

} // namespace Paths
