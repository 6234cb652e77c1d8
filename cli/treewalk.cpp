#include "cli/treewalk.h"

#include "convert/platform.h"
#include "filelist/folderlisting.h"
#include "filelist/foldersearch.h"

#include <QThread>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <memory>
#include <set>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace TreeWalk {

namespace {

// Names copied out of a folder's listing into blocks that never move, so that views of them stay
// good however many follow; each ends with a NUL byte for the system's calls.
class NameStore
{
public:
    QByteArrayView keep(const char* name, qsizetype length)
    {
        if (m_blocks.empty() || m_used + length + 1 > m_size) {
            m_size = std::max(BlockSize, length + 1);
            m_blocks.push_back(std::make_unique<char[]>(size_t(m_size)));
            m_used = 0;
        }
        char* to = m_blocks.back().get() + m_used;
        std::memcpy(to, name, size_t(length) + 1);
        m_used += length + 1;
        return {to, length};
    }

private:
    static constexpr qsizetype BlockSize = 4096;
    std::vector<std::unique_ptr<char[]>> m_blocks;
    qsizetype m_used = 0;
    qsizetype m_size = 0;
};

// An entry of a folder, its name kept in the folder's NameStore.
struct Entry
{
    QByteArrayView name;
    unsigned char type = DT_UNKNOWN;
    // The file itself: a link's target as its status tells, a file as the listing tells.
    quint64 device = 0;
    quint64 inode = 0;
    // A file's whole path as text.
    QString text;
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

// What one folder is and holds, learnt from the system alone, so that the folders of a level
// are surveyed at once on several threads; what depends on the folders before it (whether it
// was reached already) is settled in order, on the walk's own thread.
struct Survey
{
    // It is a folder, its path is not too long, and it is not a hidden link to a folder that
    // could be written (a hidden system folder).
    bool searchable = false;
    bool hiddenSystem = false;
    quint64 device = 0;
    quint64 inode = 0;
    // Its listing was read whole.
    bool listed = false;
    NameStore names;
    std::vector<Entry> subFolders;
    std::vector<Entry> files;
};

class Surveyor
{
public:
    Surveyor(const QStringList& patterns, qsizetype extra) : m_matcher(patterns), m_extra(extra) {}

    Survey survey(const QByteArray& folder, bool isRoot) const;

private:
    void identify(int descriptor, const QByteArray& folder, bool isRoot, Survey& survey) const;
    bool read(int descriptor, const QByteArray& folder, Survey& survey,
              std::vector<Entry>& files) const;
    void note(int descriptor, const QByteArray& folder, const dirent64& raw, Survey& survey,
              std::vector<Entry>& files) const;
    bool take(int descriptor, Entry& file, quint64 folderDevice, bool listingNamesFiles) const;

    const Matcher m_matcher;
    // The window's search names the root's folders with a doubled separator ("//usr/"), which
    // counts against the longest path it takes.
    const qsizetype m_extra;
};

// Which folder the descriptor is, and whether it could be searched. The folder the search
// starts from gives its own files even when it is a hidden system folder.
void Surveyor::identify(int descriptor, const QByteArray& folder, bool isRoot, Survey& survey) const
{
    struct stat facts
    {
    };
    if (::fstat(descriptor, &facts) != 0)
        return;
    survey.searchable = true;
    survey.device = quint64(facts.st_dev);
    survey.inode = quint64(facts.st_ino);
    if (isRoot)
        return;
    const QByteArray own = folder.chopped(1);
    const bool hidden = own.at(own.lastIndexOf('/') + 1) == '.';
    struct stat link
    {
    };
    survey.hiddenSystem = hidden && Stat(AT_FDCWD, own.constData(), link, AT_SYMLINK_NOFOLLOW) &&
                          S_ISLNK(link.st_mode) && ::access(own.constData(), W_OK) == 0;
}

// The folder's entries, read in blocks straight from the system: no stream, no second
// descriptor.
bool Surveyor::read(int descriptor, const QByteArray& folder, Survey& survey,
                    std::vector<Entry>& files) const
{
    alignas(dirent64) char buffer[32768];
    for (;;) {
        const ssize_t count = ::getdents64(descriptor, buffer, sizeof buffer);
        if (count == 0)
            return true;
        if (count < 0)
            return false;
        for (ssize_t at = 0; at < count;) {
            const auto* raw = reinterpret_cast<const dirent64*>(buffer + at);
            at += raw->d_reclen;
            note(descriptor, folder, *raw, survey, files);
        }
    }
}

void Surveyor::note(int descriptor, const QByteArray& folder, const dirent64& raw, Survey& survey,
                    std::vector<Entry>& files) const
{
    const char* name = raw.d_name;
    if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
        return;
    const unsigned char type = raw.d_type;
    struct stat facts
    {
    };
    const bool isLink = type == DT_LNK || type == DT_UNKNOWN;
    const bool target = isLink && Stat(descriptor, name, facts);
    if (type == DT_DIR || (target && S_ISDIR(facts.st_mode))) {
        const QString decoded = Platform::DecodePath(name);
        if (!FolderSearch::HasBadCharacters(decoded) && !FolderSearch::IsPathTooLong(decoded))
            survey.subFolders.push_back(
                {survey.names.keep(name, qsizetype(std::strlen(name))), type, 0, 0, {}});
        return;
    }
    // Only a regular file or a link to one can be taken.
    if (type != DT_REG && !(target && S_ISREG(facts.st_mode)))
        return;
    const qsizetype length = qsizetype(std::strlen(name));
    if (name[0] != '~' && folder.size() + m_extra + length < Platform::PathLimit() &&
        m_matcher.matches(QByteArrayView(name, length)))
        files.push_back({survey.names.keep(name, length),
                         type,
                         target ? quint64(facts.st_dev) : 0,
                         target ? quint64(facts.st_ino) : quint64(raw.d_ino),
                         {}});
}

Survey Surveyor::survey(const QByteArray& folder, bool isRoot) const
{
    Survey survey;
    if (folder.size() + m_extra >= Platform::PathLimit())
        return survey;
    const int descriptor = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return survey;
    identify(descriptor, folder, isRoot, survey);
    struct statfs system
    {
    };
    std::vector<Entry> files;
    if (!survey.searchable || ::fstatfs(descriptor, &system) != 0 ||
        !read(descriptor, folder, survey, files)) {
        ::close(descriptor);
        survey.subFolders.clear();
        return survey;
    }
    survey.listed = true;
    SortByName(survey.subFolders);
    SortByName(files);
    // An overlay's listing may give a lower layer's inode numbers, not those its files show.
    const bool listingNamesFiles = system.f_type != OVERLAYFS_SUPER_MAGIC;
    survey.files.reserve(files.size());
    QByteArray path = folder;
    for (Entry& file : files)
        if (take(descriptor, file, survey.device, listingNamesFiles)) {
            // Decoded here, on one of the survey's threads, rather than on the walk's own.
            path.truncate(folder.size());
            path += file.name;
            file.text = Platform::DecodePath(path);
            survey.files.push_back(std::move(file));
        }
    ::close(descriptor);
    return survey;
}

// Whether the window's search would take the file, and which file it is. Whether it can be read
// is not asked: a file that cannot be read fails when it is converted and says why, as one
// named directly does, rather than going missing without a word; and asking costs a look-up
// for every file of a collection, many times what listing it does.
bool Surveyor::take(int descriptor, Entry& file, quint64 folderDevice, bool listingNamesFiles) const
{
    const char* name = file.name.data();
    if (file.type == DT_REG) {
        file.device = folderDevice;
        struct stat facts
        {
        };
        if (!listingNamesFiles) {
            if (!Stat(descriptor, name, facts, AT_SYMLINK_NOFOLLOW) || !S_ISREG(facts.st_mode))
                return false;
            file.device = quint64(facts.st_dev);
            file.inode = quint64(facts.st_ino);
        }
    }
    // A hidden regular file that could be written is a hidden archive file, which the search
    // leaves out; a link is not one, whatever it points to.
    if (name[0] == '.') {
        struct stat own
        {
        };
        const bool ownRegular =
            file.type == DT_REG ||
            (file.type == DT_UNKNOWN && Stat(descriptor, name, own, AT_SYMLINK_NOFOLLOW) &&
             S_ISREG(own.st_mode));
        if (ownRegular && ::faccessat(descriptor, name, W_OK, 0) == 0)
            return false;
    }
    return true;
}

// The folders of a level, surveyed by as many threads as the machine runs at once and taken
// in their order as each is ready.
class LevelSurvey
{
public:
    LevelSurvey(const Surveyor& surveyor, const std::vector<QByteArray>& folders, bool isRoot)
        : m_surveyor(surveyor), m_folders(folders), m_isRoot(isRoot), m_slots(folders.size())
    {
        const int threads =
            int(std::min<size_t>(folders.size(), size_t(std::max(1, QThread::idealThreadCount()))));
        for (int i = 0; i < threads && folders.size() > 1; ++i)
            m_threads.emplace_back([this] { work(); });
    }
    ~LevelSurvey()
    {
        m_next = m_folders.size();
        for (std::thread& thread : m_threads)
            thread.join();
    }
    LevelSurvey(const LevelSurvey&) = delete;
    LevelSurvey& operator=(const LevelSurvey&) = delete;

    // The survey of the folder at index, waited for; it is handed over once.
    Survey take(size_t index)
    {
        if (m_threads.empty())
            return m_surveyor.survey(m_folders[index], m_isRoot);
        Slot& slot = m_slots[index];
        slot.ready.wait(false);
        return std::move(slot.survey);
    }

private:
    struct Slot
    {
        Survey survey;
        std::atomic<bool> ready = false;
    };

    void work()
    {
        for (size_t index = m_next++; index < m_folders.size(); index = m_next++) {
            Slot& slot = m_slots[index];
            slot.survey = m_surveyor.survey(m_folders[index], m_isRoot);
            slot.ready = true;
            slot.ready.notify_one();
        }
    }

    const Surveyor& m_surveyor;
    const std::vector<QByteArray>& m_folders;
    const bool m_isRoot;
    std::vector<Slot> m_slots;
    std::atomic<size_t> m_next = 0;
    std::vector<std::thread> m_threads;
};

class Walker
{
public:
    Walker(const QStringList& patterns, qsizetype extra,
           const std::function<void(const File&)>& found)
        : m_surveyor(patterns, extra), m_found(found)
    {}

    void run(const QByteArray& start, bool isRoot);

private:
    void hand(const QByteArray& folder, Survey& survey, bool top, std::vector<QByteArray>& next);

    const Surveyor m_surveyor;
    const std::function<void(const File&)>& m_found;
    std::set<std::pair<quint64, quint64>> m_entered;
    QByteArray m_path;
};

void Walker::run(const QByteArray& start, bool isRoot)
{
    std::vector<QByteArray> level{start};
    for (bool top = true; !level.empty(); top = false) {
        std::vector<QByteArray> next;
        LevelSurvey surveys(m_surveyor, level, top && isRoot);
        for (size_t index = 0; index < level.size(); ++index) {
            Survey survey = surveys.take(index);
            hand(level[index], survey, top, next);
        }
        level = std::move(next);
    }
}

// A folder is searched unless it was reached before; a hidden system folder only for its own
// files, and only where the search starts.
void Walker::hand(const QByteArray& folder, Survey& survey, bool top, std::vector<QByteArray>& next)
{
    if (!survey.searchable || (survey.hiddenSystem && !top))
        return;
    if (!survey.hiddenSystem && !m_entered.emplace(survey.device, survey.inode).second)
        return;
    if (!survey.listed)
        return;
    if (!survey.hiddenSystem)
        for (const Entry& entry : survey.subFolders)
            next.push_back(folder + entry.name.toByteArray() + '/');
    m_path = folder;
    for (const Entry& file : survey.files) {
        m_path.truncate(folder.size());
        m_path += file.name;
        m_found({m_path, folder.size(), file.device, file.inode, file.text});
    }
}

} // namespace

void Walk(const QByteArray& folder, const QStringList& patterns,
          const std::function<void(const File& file)>& found)
{
    const bool isRoot = !folder.isEmpty() && std::all_of(folder.cbegin(), folder.cend(),
                                                         [](char c) { return c == '/'; });
    Walker(patterns, isRoot ? 1 : 0, found).run(isRoot ? QByteArray("/") : folder + '/', isRoot);
}

} // namespace TreeWalk
