#include "filelist/foldersearch.h"

#include "convert/paths.h"
#include "convert/platform.h"
#include "filelist/folderlisting.h"

#include <algorithm>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <utility>

namespace FolderSearch {

namespace {

constexpr QChar Separator = Platform::NativeSeparator;

// The attribute value of a folder of the search; a folder whose facts cannot be read is gone.
int FolderAttributes(const QString& folder)
{
    const int attributes = Platform::FileAttributes(folder);
    if (attributes < 0)
        throw FolderError(PathNotFound, QStringLiteral("Path not found: ") + folder);
    return attributes;
}

bool CanHoldBoth(QChar first, QChar second)
{
    return first.isHighSurrogate() && second.isLowSurrogate();
}

// Whether a file's attribute value is exactly hidden and archive (34).
bool IsHiddenArchiveFile(const QString& path)
{
    // Only a hidden name can have the value; the file's facts are read only for such names.
    return Platform::IsHidden(path) &&
           Platform::FileAttributes(path) == (Platform::Archive | Platform::Hidden);
}

// One search over a tree: the levels share what has been reached, so that a folder reached
// again through a link is searched only once.
class FolderSearch
{
public:
    explicit FolderSearch(const tp::ErrorReporter& reporter) : m_reporter(reporter) {}

    void run(QStringList& folders, bool recurse);

private:
    using Identity = std::pair<quint64, quint64>;

    void firstPassFolder(const QString& folder, QStringList& found, tp::ErrorTrap& trap,
                         bool& listing);
    static bool IsAcceptedName(const QString& name);
    static Identity IdentityOf(const QString& folder);
    bool enterOnce(const QString& folder);
    bool isReachedAgain(const QString& folder) const;

    const tp::ErrorReporter& m_reporter;
    // The folders entered so far, by device and inode, with the path each was entered by.
    std::map<Identity, QString> m_entered;
};

FolderSearch::Identity FolderSearch::IdentityOf(const QString& folder)
{
    struct stat facts
    {
    };
    if (::stat(Platform::EncodePath(folder).constData(), &facts) != 0)
        throw FolderError::FromSystemError(errno, folder);
    return {static_cast<quint64>(facts.st_dev), static_cast<quint64>(facts.st_ino)};
}

bool FolderSearch::enterOnce(const QString& folder)
{
    const auto [known, inserted] = m_entered.try_emplace(IdentityOf(folder), folder);
    return inserted || known->second == folder;
}

bool FolderSearch::isReachedAgain(const QString& folder) const
{
    const auto known = m_entered.find(IdentityOf(folder));
    return known != m_entered.end() && known->second != folder;
}

bool FolderSearch::IsAcceptedName(const QString& name)
{
    return !IsPathTooLong(name) && !HasBadCharacters(name) && !name.contains(QLatin1Char('?')) &&
           name != QStringLiteral(".") && name != QStringLiteral("..");
}

void FolderSearch::run(QStringList& folders, bool recurse)
{
    tp::ErrorTrap trap(tp::FolderSearchLocation(), m_reporter);
    QStringList found;

    // Once the first listing has started, a failure ends the work on the current folder and
    // is not reported; a folder that cannot be read or is gone leaves the list.
    bool listing = false;
    const QStringList firstPass = folders;
    for (const QString& folder : firstPass) {
        try {
            firstPassFolder(folder, found, trap, listing);
        } catch (...) {
            const int number = ErrorNumberOf(std::current_exception());
            if (number == PermissionDenied || number == PathNotFound) {
                const qsizetype position = folders.indexOf(folder);
                if (position >= 0)
                    folders.removeAt(position);
            }
        }
    }

    trap.at(150, [&] {
        if (recurse && !found.isEmpty())
            run(found, true);
    });

    for (const QString& folder : std::as_const(found)) {
        bool exists = false;
        trap.at(154, [&] { exists = Paths::FolderExists(folder); });
        if (!exists)
            continue;
        trap.at(156, [] { Platform::PumpEvents(); });
        bool added = false;
        trap.at(158, [&] {
            added = (IsRootFolder(folder) || !IsHiddenSystemFolder(FolderAttributes(folder))) &&
                    !isReachedAgain(folder);
        });
        if (added)
            trap.at(160, [&] { folders.append(folder); });
    }
}

void FolderSearch::firstPassFolder(const QString& folder, QStringList& found, tp::ErrorTrap& trap,
                                   bool& listing)
{
    const auto step = [&](int line, auto&& statement) {
        if (listing)
            statement();
        else
            trap.at(line, statement);
    };

    bool exists = false;
    step(108, [&] { exists = Paths::FolderExists(folder); });
    if (!exists)
        return;
    bool tooLong = true;
    step(110, [&] { tooLong = IsPathTooLong(folder); });
    if (tooLong)
        return;
    step(112, [&] { IdentityOf(folder); });
    step(114, [] { Platform::PumpEvents(); });
    bool entered = false;
    step(116, [&] {
        entered = (IsRootFolder(folder) || !IsHiddenSystemFolder(FolderAttributes(folder))) &&
                  enterOnce(folder);
    });
    if (!entered)
        return;
    listing = true;

    const FolderListing subFolders(folder, FolderListing::Kind::SubFolders);
    for (const FolderListing::Entry& subFolder : subFolders.entries()) {
        Platform::PumpEvents();
        if (IsAcceptedName(subFolder.name))
            found.append(folder + subFolder.name + Separator);
    }
}

} // namespace

QString BrowseForFolder(tp::Dialogs& dialogs, const QString& prompt, const QString& startFolder)
{
    try {
        return Platform::WithoutTrailingSeparators(dialogs.browseForFolder(prompt, startFolder));
    } catch (...) {
        // A picker that fails is a picker that chose nothing.
        return QString();
    }
}

void AddSubFolders(QStringList& folders, bool recurse, const tp::ErrorReporter& reporter)
{
    try {
        FolderSearch(reporter).run(folders, recurse);
    } catch (...) {
        // The search reports its own failures; nothing leaves it.
    }
}

QStringList GetFilesInFolder(const QString& folder, const QString& pattern)
{
    return GetFilesInFolder(folder, QStringList{pattern});
}

QStringList GetFilesInFolder(const QString& folder, const QStringList& patterns)
{
    const QString withSeparator = folder.endsWith(Separator) ? folder : folder + Separator;
    QStringList names;
    try {
        const FolderListing listing(
            withSeparator, FolderListing::Kind::NonFolders, [&patterns](const QString& name) {
                return std::any_of(patterns.cbegin(), patterns.cend(), [&](const QString& pattern) {
                    return MatchesWildcard(name, pattern);
                });
            });
        for (const FolderListing::Entry& entry : listing.entries())
            if (listing.isOpenableFile(entry))
                names.append(entry.name);
    } catch (...) {
        // A folder that cannot be listed has no files to offer.
    }
    return names;
}

bool IsOpenableFile(const QString& path)
{
    if (!Platform::IsUsablePath(path))
        return false;
    const QByteArray encoded = Platform::EncodePath(path);
    // Only a regular file is opened at all: opening a device can act on it.
    struct stat facts
    {
    };
    if (::stat(encoded.constData(), &facts) != 0 || !S_ISREG(facts.st_mode))
        return false;
    return OpensAsRegularFile(AT_FDCWD, encoded.constData());
}

bool HasBadCharacters(const QString& name)
{
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t code = name[i].unicode();
        if (code < 32 || (code >= 127 && code <= 159) || code == u'?')
            return true;
        // A byte that is not UTF-8 is held as a lone surrogate and names the folder as well as
        // any other; only other lone surrogates name nothing on disk.
        if (name[i].isHighSurrogate() && i + 1 < name.size() && CanHoldBoth(name[i], name[i + 1]))
            ++i;
        else if (name[i].isSurrogate() && (code < 0xDC80 || code > 0xDCFF))
            return true;
    }
    return false;
}

bool IsRootFolder(const QString& folder)
{
    return !folder.isEmpty() &&
           std::all_of(folder.cbegin(), folder.cend(), [](QChar c) { return c == Separator; });
}

bool IsPathTooLong(const QString& path)
{
    return Platform::EncodePath(path).size() >= Platform::PathLimit();
}

bool IsHiddenSystemFolder(int attributes)
{
    constexpr int hiddenSystemFolder = Platform::Hidden | Platform::System | Platform::Directory;
    return attributes == hiddenSystemFolder ||
           attributes == (hiddenSystemFolder | Platform::ReparsePoint);
}

namespace {

bool SameLetter(QChar first, QChar second)
{
    return first == second || first.toCaseFolded() == second.toCaseFolded();
}

} // namespace

bool MatchesWildcard(const QString& name, const QString& pattern)
{
    return MatchesWildcard(QStringView(name), QStringView(pattern), SameLetter);
}

void AddTreeFiles(const std::function<void(const QString& path)>& append, const QString& folder,
                  const QString& pattern, tp::ErrorTrap& trap,
                  const tp::ErrorReporter& searchReporter, int firstLine)
{
    AddTreeFiles(append, folder, QStringList{pattern}, trap, searchReporter, firstLine);
}

void AddTreeFiles(const std::function<void(const QString& path)>& append, const QString& folder,
                  const QStringList& patterns, tp::ErrorTrap& trap,
                  const tp::ErrorReporter& searchReporter, int firstLine)
{
    QStringList folders;
    trap.at(firstLine, [&] { folders = QStringList{folder + Separator}; });
    trap.at(firstLine + 2, [&] { AddSubFolders(folders, true, searchReporter); });
    for (qsizetype i = 0; i < folders.size(); ++i) {
        QString current;
        trap.at(firstLine + 6, [&] { current = folders[i].chopped(1); });
        QStringList names;
        trap.at(firstLine + 8, [&] { names = GetFilesInFolder(current, patterns); });
        for (const QString& name : std::as_const(names)) {
            bool skipped = true;
            trap.at(firstLine + 12, [&] { skipped = name.startsWith(QLatin1Char('~')); });
            if (skipped)
                continue;
            QString path;
            trap.at(firstLine + 14, [&] { path = current + Separator + name; });
            trap.at(firstLine + 18, [&] {
                if (IsOpenableFile(path) && !IsHiddenArchiveFile(path))
                    append(Paths::CollapseBackslashes(path));
            });
        }
    }
}

} // namespace FolderSearch
