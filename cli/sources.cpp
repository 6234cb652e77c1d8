#include "cli/sources.h"

#include "cli/treewalk.h"
#include "convert/paths.h"
#include "convert/platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace Sources {

namespace {

QString SystemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool ReadAll(int descriptor, QByteArray& bytes)
{
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(descriptor, buffer, sizeof buffer);
        if (count == 0)
            return true;
        if (count < 0 && errno != EINTR)
            return false;
        if (count > 0)
            bytes.append(buffer, count);
    }
}

// A file as the system knows it, whatever path reached it, and where it was reached.
struct Reached
{
    quint64 device = 0;
    quint64 inode = 0;
    qsizetype index = 0;

    friend bool operator<(const Reached& first, const Reached& second)
    {
        return std::tie(first.device, first.inode, first.index) <
               std::tie(second.device, second.inode, second.index);
    }
};

class Gatherer
{
public:
    explicit Gatherer(const CliOptions& options)
        : m_options(options), m_patterns(Patterns(options.extensions))
    {}

    void addGiven(const QString& given);
    QList<Source> takeSources();

private:
    void addFolder(const QString& folder);
    void addFile(const QString& path, const QString& mp3Folder);
    void add(Source source, quint64 device, quint64 inode);

    const CliOptions& m_options;
    const QStringList m_patterns;
    QList<Source> m_sources;
    std::vector<Reached> m_reached;
    QSet<QString> m_missing;
};

void Gatherer::add(Source source, quint64 device, quint64 inode)
{
    m_reached.push_back({device, inode, m_sources.size()});
    m_sources.append(std::move(source));
}

// A file is known by its device and inode, so that a link or a second path to it is seen for
// what it is; a path that names nothing, by the path.
void Gatherer::addFile(const QString& path, const QString& mp3Folder)
{
    struct stat facts
    {
    };
    if (::stat(Platform::EncodePath(path).constData(), &facts) == 0) {
        add({path, mp3Folder}, quint64(facts.st_dev), quint64(facts.st_ino));
        return;
    }
    if (m_missing.contains(path))
        return;
    m_missing.insert(path);
    m_sources.append({path, mp3Folder});
}

// Each file where it was first reached. Which were reached again is settled once all are known:
// sorting a collection's files by what they are costs less than looking each up as it comes.
QList<Source> Gatherer::takeSources()
{
    std::sort(m_reached.begin(), m_reached.end());
    std::vector<bool> again(size_t(m_sources.size()));
    bool any = false;
    for (size_t i = 1; i < m_reached.size(); ++i)
        if (m_reached[i].device == m_reached[i - 1].device &&
            m_reached[i].inode == m_reached[i - 1].inode) {
            again[size_t(m_reached[i].index)] = true;
            any = true;
        }
    if (!any)
        return std::move(m_sources);
    QList<Source> kept;
    kept.reserve(m_sources.size());
    for (qsizetype index = 0; index < m_sources.size(); ++index)
        if (!again[size_t(index)])
            kept.append(std::move(m_sources[index]));
    return kept;
}

void Gatherer::addFolder(const QString& folder)
{
    const QString root = Platform::WithoutTrailingSeparators(folder);
    const qsizetype relativeFrom =
        root.endsWith(Platform::NativeSeparator) ? root.size() : root.size() + 1;
    const bool mirrored = !m_options.outputDir.isEmpty() && !m_options.flat;
    // A folder's files come together: its path and MP3 folder are made once for them all.
    QByteArray folderBytes;
    QString folderPath;
    QString mp3Folder;
    TreeWalk::Walk(Platform::EncodePath(root), m_patterns, [&](const TreeWalk::File& file) {
        const QByteArrayView inFolder = file.path.first(file.nameAt);
        if (folderBytes.isNull() || inFolder != folderBytes) {
            folderBytes = inFolder.toByteArray();
            folderPath = Platform::DecodePath(folderBytes);
            mp3Folder = m_options.outputDir;
            if (mirrored)
                mp3Folder += Platform::NativeSeparator + folderPath.mid(relativeFrom);
            else if (mp3Folder.isEmpty())
                mp3Folder = folderPath;
            mp3Folder = QDir::cleanPath(mp3Folder);
        }
        add({file.text, mp3Folder}, file.device, file.inode);
    });
}

void Gatherer::addGiven(const QString& given)
{
    const QString path = Platform::AbsolutePath(given);
    if (Paths::FolderExists(path))
        addFolder(path);
    else
        addFile(path, m_options.outputDir.isEmpty() ? QDir::cleanPath(Paths::FolderOfPath(path))
                                                    : m_options.outputDir);
}

} // namespace

bool MakeFolders(const QString& folder, QString& reason)
{
    const QByteArray path = Platform::EncodePath(folder);
    qsizetype end = 0;
    do {
        end = path.indexOf('/', end + 1);
        const QByteArray upTo = end < 0 ? path : path.left(end);
        if (::mkdir(upTo.constData(), 0777) != 0 && errno != EEXIST) {
            reason = SystemError(errno);
            return false;
        }
    } while (end >= 0);
    struct stat facts
    {
    };
    if (::stat(path.constData(), &facts) != 0 || !S_ISDIR(facts.st_mode)) {
        reason = SystemError(ENOTDIR);
        return false;
    }
    return true;
}

QStringList Patterns(const QStringList& extensions)
{
    QStringList patterns;
    for (const QString& extension : extensions) {
        if (extension == QStringLiteral("*"))
            return {QStringLiteral("*.*")};
        patterns << QStringLiteral("*.") + extension;
    }
    return patterns;
}

bool ReadList(const QString& name, bool nullSeparated, QStringList& paths, QString& error)
{
    const bool standardInput = name == QStringLiteral("-");
    const int descriptor =
        standardInput ? STDIN_FILENO
                      : ::open(Platform::EncodePath(name).constData(), O_RDONLY | O_CLOEXEC);
    QByteArray bytes;
    const bool read = descriptor >= 0 && ReadAll(descriptor, bytes);
    const int failure = errno;
    if (descriptor >= 0 && !standardInput)
        ::close(descriptor);
    if (!read) {
        error = QStringLiteral("cannot read ") + name + QStringLiteral(": ") + SystemError(failure);
        return false;
    }
    if (!SplitList(bytes, nullSeparated, paths)) {
        error = name + QStringLiteral(": a path holds a NUL byte (lists of find -print0 need -0)");
        return false;
    }
    return true;
}

bool SplitList(const QByteArray& bytes, bool nullSeparated, QStringList& paths)
{
    for (const QByteArray& line : bytes.split(nullSeparated ? '\0' : '\n')) {
        if (line.isEmpty())
            continue;
        if (line.contains('\0'))
            return false;
        paths << Platform::DecodePath(line);
    }
    return true;
}

bool Gather(const CliOptions& options, QList<Source>& sources, QString& error)
{
    Gatherer gatherer(options);
    for (const CliInput& input : options.inputs) {
        if (input.kind == CliInput::Kind::Path) {
            gatherer.addGiven(input.text);
            continue;
        }
        QStringList listed;
        if (!ReadList(input.text, options.nullSeparated, listed, error))
            return false;
        for (const QString& path : std::as_const(listed))
            gatherer.addGiven(path);
    }
    sources = gatherer.takeSources();
    return true;
}

} // namespace Sources
