#include "cli/treewalk.h"

#include "convert/platform.h"
#include "filelist/folderlisting.h"
#include "filelist/foldersearch.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace TreeWalk {

namespace {

struct Entry
{
    QByteArray name;
    unsigned char type = DT_UNKNOWN;
};

bool IsAscii(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; });
}

char Folded(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// The window's order of names (FolderSearch::ListsBefore, then the bytes) for names of ASCII
// characters alone, where folding the case is folding the letters A to Z.
bool AsciiBefore(const Entry& first, const Entry& second)
{
    const qsizetype common = std::min(first.name.size(), second.name.size());
    for (qsizetype i = 0; i < common; ++i) {
        const char a = Folded(first.name[i]);
        const char b = Folded(second.name[i]);
        if (a != b)
            return uchar(a) < uchar(b);
    }
    if (first.name.size() != second.name.size())
        return first.name.size() < second.name.size();
    return first.name < second.name;
}

void SortByName(std::vector<Entry>& entries)
{
    if (std::all_of(entries.cbegin(), entries.cend(),
                    [](const Entry& entry) { return IsAscii(entry.name); })) {
        std::sort(entries.begin(), entries.end(), AsciiBefore);
        return;
    }
    std::vector<std::pair<QString, Entry>> named;
    named.reserve(entries.size());
    for (Entry& entry : entries)
        named.emplace_back(Platform::DecodePath(entry.name), std::move(entry));
    std::sort(named.begin(), named.end(), [](const auto& first, const auto& second) {
        if (first.first != second.first)
            return FolderSearch::ListsBefore(first.first, second.first);
        return first.second.name < second.second.name;
    });
    entries.clear();
    for (auto& [name, entry] : named)
        entries.push_back(std::move(entry));
}

// FolderSearch::MatchesWildcard for ASCII names and patterns, on bytes.
bool AsciiMatchesWildcard(QByteArrayView name, QByteArrayView pattern)
{
    return FolderSearch::MatchesWildcard(name, pattern,
                                         [](char a, char b) { return Folded(a) == Folded(b); });
}

class Matcher
{
public:
    explicit Matcher(const QStringList& patterns) : m_patterns(patterns)
    {
        for (const QString& pattern : patterns)
            m_asciiPatterns.push_back(pattern.toUtf8());
        m_ascii = std::all_of(m_asciiPatterns.cbegin(), m_asciiPatterns.cend(),
                              [](const QByteArray& pattern) { return IsAscii(pattern); });
    }

    bool matches(QByteArrayView name) const
    {
        if (m_ascii && IsAscii(name))
            return std::any_of(
                m_asciiPatterns.cbegin(), m_asciiPatterns.cend(),
                [&](const QByteArray& pattern) { return AsciiMatchesWildcard(name, pattern); });
        const QString decoded = Platform::DecodePath(name);
        return std::any_of(m_patterns.cbegin(), m_patterns.cend(), [&](const QString& pattern) {
            return FolderSearch::MatchesWildcard(decoded, pattern);
        });
    }

private:
    const QStringList m_patterns;
    std::vector<QByteArray> m_asciiPatterns;
    bool m_ascii = false;
};

bool Stat(int folder, const char* name, struct stat& facts, int flags = 0)
{
    return ::fstatat(folder, name, &facts, flags) == 0;
}

class Walker
{
public:
    Walker(const QStringList& patterns, const std::function<void(const File&)>& found)
        : m_matcher(patterns), m_found(found)
    {}

    void run(const QByteArray& folder);

private:
    enum class Entering { No, FilesOnly, Yes };
    Entering enter(const QByteArray& folder, bool top, bool isRoot);
    void list(const QByteArray& folder, std::vector<QByteArray>* subFolders);
    bool read(int descriptor, const QByteArray& folder, std::vector<Entry>& folders,
              std::vector<Entry>& files) const;
    void hand(int descriptor, const QByteArray& folder, const Entry& file);

    const Matcher m_matcher;
    const std::function<void(const File&)>& m_found;
    std::set<std::pair<quint64, quint64>> m_entered;
    // The window's search names the root's folders with a doubled separator ("//usr/"), which
    // counts against the longest path it takes.
    qsizetype m_extra = 0;
    QByteArray m_path;
};

void Walker::run(const QByteArray& folder)
{
    const bool isRoot = !folder.isEmpty() && std::all_of(folder.cbegin(), folder.cend(),
                                                         [](char c) { return c == '/'; });
    m_extra = isRoot ? 1 : 0;
    std::vector<QByteArray> level{isRoot ? QByteArray("/") : folder + '/'};
    for (bool top = true; !level.empty(); top = false) {
        std::vector<QByteArray> next;
        for (const QByteArray& each : level) {
            const Entering entering = enter(each, top, top && isRoot);
            if (entering != Entering::No)
                list(each, entering == Entering::Yes ? &next : nullptr);
        }
        level = std::move(next);
    }
}

// Whether a folder (ending with a separator) is searched: it is one, its path is not too
// long, it is not a hidden system folder (a hidden link to a folder that could be written),
// and it was not reached before. The folder the search starts from gives its own files even
// when it is a hidden system folder.
Walker::Entering Walker::enter(const QByteArray& folder, bool top, bool isRoot)
{
    if (folder.size() + m_extra >= Platform::PathLimit())
        return Entering::No;
    struct stat facts
    {
    };
    if (!Stat(AT_FDCWD, folder.constData(), facts) || !S_ISDIR(facts.st_mode))
        return Entering::No;
    if (!isRoot) {
        const QByteArray own = folder.chopped(1);
        const bool hidden = own.at(own.lastIndexOf('/') + 1) == '.';
        struct stat link
        {
        };
        if (hidden && Stat(AT_FDCWD, own.constData(), link, AT_SYMLINK_NOFOLLOW) &&
            S_ISLNK(link.st_mode) && ::access(own.constData(), W_OK) == 0)
            return top ? Entering::FilesOnly : Entering::No;
    }
    return m_entered.emplace(quint64(facts.st_dev), quint64(facts.st_ino)).second ? Entering::Yes
                                                                                  : Entering::No;
}

bool Walker::read(int descriptor, const QByteArray& folder, std::vector<Entry>& folders,
                  std::vector<Entry>& files) const
{
    DIR* dir = ::fdopendir(descriptor);
    if (!dir) {
        ::close(descriptor);
        return false;
    }
    bool complete = true;
    for (;;) {
        errno = 0;
        const dirent* raw = ::readdir(dir);
        if (!raw) {
            complete = errno == 0;
            break;
        }
        const char* name = raw->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            continue;
        const unsigned char type = raw->d_type;
        struct stat facts
        {
        };
        const bool isLink = type == DT_LNK || type == DT_UNKNOWN;
        const bool target = isLink && Stat(::dirfd(dir), name, facts);
        if (type == DT_DIR || (target && S_ISDIR(facts.st_mode))) {
            const QString decoded = Platform::DecodePath(name);
            if (!FolderSearch::HasBadCharacters(decoded) && !FolderSearch::IsPathTooLong(decoded))
                folders.push_back({QByteArray(name), type});
            continue;
        }
        // Only a regular file or a link to one can be taken.
        if (type != DT_REG && !(target && S_ISREG(facts.st_mode)))
            continue;
        const qsizetype length = qsizetype(std::strlen(name));
        if (name[0] != '~' && folder.size() + m_extra + length < Platform::PathLimit() &&
            m_matcher.matches(QByteArrayView(name, length)))
            files.push_back({QByteArray(name, length), type});
    }
    // The descriptor goes with the listing; the caller's copy stays open for the files.
    ::closedir(dir);
    return complete;
}

void Walker::list(const QByteArray& folder, std::vector<QByteArray>* subFolders)
{
    const int descriptor = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return;
    const int listed = ::dup(descriptor);
    std::vector<Entry> folders;
    std::vector<Entry> files;
    if (listed < 0 || !read(listed, folder, folders, files)) {
        ::close(descriptor);
        return;
    }
    if (subFolders) {
        SortByName(folders);
        for (const Entry& entry : folders)
            subFolders->push_back(folder + entry.name + '/');
    }
    SortByName(files);
    m_path = folder;
    for (const Entry& file : files)
        hand(descriptor, folder, file);
    ::close(descriptor);
}

// Opens the file once: that it opens for reading, at once, as a regular file, is what the
// window's search asks, and the open file tells which file it is.
void Walker::hand(int descriptor, const QByteArray& folder, const Entry& file)
{
    const int opened =
        ::openat(descriptor, file.name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (opened < 0)
        return;
    struct stat facts
    {
    };
    const bool regular = ::fstat(opened, &facts) == 0 && S_ISREG(facts.st_mode);
    ::close(opened);
    if (!regular)
        return;
    // A hidden regular file that could be written is a hidden archive file, which the search
    // leaves out; a link is not one, whatever it points to.
    if (file.name.startsWith('.')) {
        struct stat own
        {
        };
        const bool ownRegular = file.type == DT_REG || (file.type == DT_UNKNOWN &&
                                                        Stat(descriptor, file.name.constData(), own,
                                                             AT_SYMLINK_NOFOLLOW) &&
                                                        S_ISREG(own.st_mode));
        if (ownRegular && ::faccessat(descriptor, file.name.constData(), W_OK, 0) == 0)
            return;
    }
    m_path.truncate(folder.size());
    m_path += file.name;
    m_found({m_path, folder.size(), quint64(facts.st_dev), quint64(facts.st_ino)});
}

} // namespace

void Walk(const QByteArray& folder, const QStringList& patterns,
          const std::function<void(const File& file)>& found)
{
    Walker(patterns, found).run(folder);
}

} // namespace TreeWalk
