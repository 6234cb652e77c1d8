#include "convert/workspace.h"

#include "convert/applicationerror.h"
#include "convert/platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char LockName[] = ".lock";
const char OutsideListName[] = ".outside";

// A workspace is made and locked under a name of this prefix, which no run's cleaning looks
// at, and only then takes its own name: whatever bears a workspace's name is locked from its
// first moment, so a workspace without its lock held is always one whose run has ended.
const char NewbornPrefix[] = ".tunepress-newborn-";

QString RandomName(const QString& prefix)
{
    static constexpr char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QString name = prefix;
    for (int i = 0; i < 12; ++i)
        name += QLatin1Char(letters[QRandomGenerator::system()->bounded(36)]);
    return name;
}

QString SystemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Opens and locks the lock file of a workspace folder; -1 when it cannot be had.
int TakeLock(const QString& folder, int flags)
{
    const QByteArray lock =
        Platform::EncodePath(folder + QLatin1Char('/') + QLatin1String(LockName));
    const int descriptor = ::open(lock.constData(), flags | O_RDWR | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (descriptor < 0)
        return -1;
    if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(descriptor);
        errno = error;
        return -1;
    }
    return descriptor;
}

// Removes the files a dead run noted: regular files of this user under the hidden names that
// runs write their results under, nothing else whatever the list says.
void RemoveNotedFiles(const QString& folder)
{
    // Jobs whose renderer has a configuration of its own note in its folder, one level down.
    const QStringList subFolders =
        QDir(folder).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    for (const QString& subFolder : subFolders)
        RemoveNotedFiles(folder + QLatin1Char('/') + subFolder);
    QFile list(folder + QLatin1Char('/') + QLatin1String(OutsideListName));
    if (!list.open(QIODevice::ReadOnly))
        return;
    for (const QByteArray& line : list.readAll().split('\n')) {
        const QString path = Platform::DecodePath(line);
        const QString name = QFileInfo(path).fileName();
        struct stat facts
        {
        };
        if (name.startsWith(QStringLiteral(".tunepress-")) &&
            name.endsWith(QStringLiteral(".part")) && ::lstat(line.constData(), &facts) == 0 &&
            S_ISREG(facts.st_mode) && facts.st_uid == ::getuid())
            ::unlink(line.constData());
    }
}

} // namespace

void Workspace::NoteOutsideFile(const QString& workFolder, const QString& path)
{
    const QByteArray list =
        Platform::EncodePath(workFolder + QLatin1Char('/') + QLatin1String(OutsideListName));
    // One write of a whole line to a file opened for appending: the jobs of one run may note
    // at the same time without mixing their lines.
    const int descriptor =
        ::open(list.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (descriptor < 0)
        return;
    const QByteArray line = Platform::EncodePath(QFileInfo(path).absoluteFilePath()) + '\n';
    const ssize_t written = ::write(descriptor, line.constData(), size_t(line.size()));
    static_cast<void>(written);
    ::close(descriptor);
}

Workspace::~Workspace()
{
    remove();
}

QString Workspace::NamePrefix()
{
    return QStringLiteral("tunepress-run-");
}

QString Workspace::path()
{
    if (m_path.isEmpty())
        m_path = Platform::TempFolder() + Platform::NativeSeparator + RandomName(NamePrefix());
    return m_path;
}

QString Workspace::filePath(const QString& name)
{
    return path() + Platform::NativeSeparator + name;
}

void Workspace::create()
{
    if (created())
        return;
    const QString temp = QFileInfo(path()).path();
    RemoveAbandoned(temp);
    // A name that is taken (by chance, or by someone who guessed it) is never used: another
    // one is chosen.
    QString newborn;
    for (int attempt = 0;; ++attempt) {
        newborn = temp + Platform::NativeSeparator + RandomName(QLatin1String(NewbornPrefix));
        if (::mkdir(Platform::EncodePath(newborn).constData(), 0700) == 0)
            break;
        const int error = errno;
        if (error != EEXIST || attempt == 10)
            throw tp::ApplicationError(QStringLiteral("Cannot create the folder ") + m_path +
                                       QStringLiteral(": ") + SystemError(error));
    }
    m_lock = TakeLock(newborn, O_CREAT | O_EXCL);
    if (m_lock < 0) {
        const int error = errno;
        QDir(newborn).removeRecursively();
        throw tp::ApplicationError(QStringLiteral("Cannot lock the folder ") + m_path +
                                   QStringLiteral(": ") + SystemError(error));
    }
    for (int attempt = 0;; ++attempt) {
        if (::renameat2(AT_FDCWD, Platform::EncodePath(newborn).constData(), AT_FDCWD,
                        Platform::EncodePath(m_path).constData(), RENAME_NOREPLACE) == 0)
            return;
        const int error = errno;
        if (error != EEXIST || attempt == 10) {
            QDir(newborn).removeRecursively();
            ::close(m_lock);
            m_lock = -1;
            throw tp::ApplicationError(QStringLiteral("Cannot create the folder ") + m_path +
                                       QStringLiteral(": ") + SystemError(error));
        }
        m_path = temp + Platform::NativeSeparator + RandomName(NamePrefix());
    }
}

void Workspace::removeWithNotedFiles()
{
    if (created())
        RemoveNotedFiles(m_path);
    remove();
}

void Workspace::remove()
{
    if (!created())
        return;
    QDir(m_path).removeRecursively();
    ::close(m_lock);
    m_lock = -1;
}

int Workspace::RemoveAbandoned(const QString& tempFolder)
{
    int removed = 0;
    const QFileInfoList candidates =
        QDir(tempFolder)
            .entryInfoList({NamePrefix() + QLatin1Char('*')},
                           QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QFileInfo& candidate : candidates) {
        const QString folder = candidate.filePath();
        // Only this user's own folders are looked into; a link is never followed.
        if (!Platform::IsFolderOfUser(folder))
            continue;
        const int lock = TakeLock(folder, 0);
        // Locked: its run lives. A lock file that is not locked, or none, is a dead run's.
        if (lock < 0 && errno == EWOULDBLOCK)
            continue;
        RemoveNotedFiles(folder);
        if (QDir(folder).removeRecursively())
            ++removed;
        if (lock >= 0)
            ::close(lock);
    }
    return removed;
}
