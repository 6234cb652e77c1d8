#include "convert/platform.h"

#include "convert/applicationerror.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <climits>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform {

namespace {

QByteArray Encoded(const QString& path)
{
    return EncodePath(path);
}

} // namespace

int PathLimit()
{
    return PATH_MAX;
}

void PumpEvents()
{
    QCoreApplication::processEvents();
}

QString TempFolder()
{
    const QString fromEnvironment = qEnvironmentVariable("TEMP");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;

    const QString folder =
        QDir::tempPath() + QStringLiteral("/tunepress-studio-") + QString::number(::getuid());
    const QByteArray encoded = Encoded(folder);
    if (::mkdir(encoded.constData(), 0700) != 0 && errno != EEXIST)
        throw tp::ApplicationError(QStringLiteral("Cannot create the temporary folder ") + folder);

    struct stat facts
    {
    };
    if (::lstat(encoded.constData(), &facts) != 0 || !S_ISDIR(facts.st_mode) ||
        facts.st_uid != ::getuid())
        throw tp::ApplicationError(QStringLiteral("The temporary folder ") + folder +
                                   QStringLiteral(" is not a folder of this user"));
    if ((facts.st_mode & 077) != 0 && ::chmod(encoded.constData(), 0700) != 0)
        throw tp::ApplicationError(QStringLiteral("Cannot make the temporary folder ") + folder +
                                   QStringLiteral(" private"));
    return folder;
}

bool IsUsablePath(const QString& path)
{
    return !path.isEmpty() && !path.contains(QChar(u'\0'));
}

QString WithoutTrailingSeparators(QString path)
{
    while (path.size() > 1 && path.endsWith(NativeSeparator))
        path.chop(1);
    return path;
}

int FileAttributes(const QString& path)
{
    if (!IsUsablePath(path))
        return -1;
    const QByteArray encoded = Encoded(WithoutTrailingSeparators(path));
    struct stat own
    {
    };
    if (::lstat(encoded.constData(), &own) != 0)
        return -1;

    int attributes = 0;
    struct stat target
    {
    };
    const bool targetReadable = ::stat(encoded.constData(), &target) == 0;
    if (S_ISLNK(own.st_mode))
        attributes |= ReparsePoint;
    if (targetReadable && S_ISDIR(target.st_mode))
        attributes |= Directory;
    if (targetReadable && S_ISREG(target.st_mode))
        attributes |= Archive;
    if (!S_ISREG(own.st_mode) && !S_ISDIR(own.st_mode))
        attributes |= System;
    if (IsHidden(path))
        attributes |= Hidden;
    if (::access(encoded.constData(), W_OK) != 0)
        attributes |= ReadOnly;
    return attributes;
}

bool IsHidden(const QString& path)
{
    const QString trimmed = WithoutTrailingSeparators(path);
    return trimmed.mid(trimmed.lastIndexOf(NativeSeparator) + 1).startsWith(QLatin1Char('.'));
}

bool IsPrivateToUser(const QString& path)
{
    struct stat facts
    {
    };
    if (!IsUsablePath(path) || ::lstat(Encoded(path).constData(), &facts) != 0)
        return false;
    return S_ISREG(facts.st_mode) && facts.st_uid == ::getuid() && (facts.st_mode & 022) == 0;
}

bool IsFolderOfUser(const QString& path)
{
    struct stat facts
    {
    };
    if (!IsUsablePath(path) || ::lstat(Encoded(path).constData(), &facts) != 0)
        return false;
    return S_ISDIR(facts.st_mode) && facts.st_uid == ::getuid();
}

} // namespace Platform
