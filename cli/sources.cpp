#include "cli/sources.h"

#include "cli/treewalk.h"
#include "convert/paths.h"
#include "convert/platform.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
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

class Gatherer
{
public:
    explicit Gatherer(const CliOptions& options)
        : m_options(options), m_patterns(Patterns(options.extensions))
    {}

    void addGiven(const QString& given);
    QList<Source> sources;

private:
    void addFolder(const QString& folder);
    void addFile(const QString& path, const QString& mp3Folder);
    bool firstTime(const QString& path);

    const CliOptions& m_options;
    const QStringList m_patterns;
    QSet<QPair<quint64, quint64>> m_files;
    QSet<QString> m_missing;
};

// A file is known by its device and inode, so that a link or a second path to it is seen for
// what it is; a path that names nothing, by the path.
bool Gatherer::firstTime(const QString& path)
{
    struct stat facts
    {
    };
    if (::stat(Platform::EncodePath(path).constData(), &facts) != 0) {
        if (m_missing.contains(path))
            return false;
        m_missing.insert(path);
        return true;
    }
    const QPair<quint64, quint64> identity(quint64(facts.st_dev), quint64(facts.st_ino));
    if (m_files.contains(identity))
        return false;
    m_files.insert(identity);
    return true;
}

void Gatherer::addFile(const QString& path, const QString& mp3Folder)
{
    if (firstTime(path))
        sources.append({path, mp3Folder});
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
        }
        const qsizetype known = m_files.size();
        m_files.insert({file.device, file.inode});
        if (m_files.size() > known)
            sources.append({file.text, mp3Folder});
    });
}

void Gatherer::addGiven(const QString& given)
{
    const QString path = Platform::AbsolutePath(given);
    if (Paths::FolderExists(path))
        addFolder(path);
    else
        addFile(path,
                m_options.outputDir.isEmpty() ? Paths::FolderOfPath(path) : m_options.outputDir);
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
    sources = std::move(gatherer.sources);
    return true;
}

} // namespace Sources
