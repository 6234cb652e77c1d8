#pragma once

#include <QString>

// Facts of the platform that the program's rules are written against, each kept in one place.
namespace Platform {

// The separator that paths are built with.
inline constexpr QChar NativeSeparator = QLatin1Char('/');

// The longest path the platform accepts.
int PathLimit();

// Lets pending window events run. Long work calls this at its fixed points.
void PumpEvents();

// The folder that stands in for TEMP, read afresh on every call: the TEMP variable when set,
// otherwise a private per-user folder under the system temp location, created on demand.
// Throws tp::ApplicationError when no such private folder can be had.
QString TempFolder();

// Attribute bits of a path, computed from POSIX facts in the familiar values.
enum Attribute : int {
    ReadOnly = 1,
    Hidden = 2,
    System = 4,
    Directory = 16,
    Archive = 32,
    ReparsePoint = 1024,
};

// Whether a text can name a file at all: not empty and without a NUL character.
bool IsUsablePath(const QString& path);

// The path without separators at its end, except for the root "/" itself.
QString WithoutTrailingSeparators(QString path);

// The attribute value of a path, or -1 when its facts cannot be read. A trailing separator
// is ignored, so that a link is judged as the link it is.
int FileAttributes(const QString& path);

// Whether the path's last name is hidden (begins with "."): the Hidden attribute bit, which
// the path alone decides.
bool IsHidden(const QString& path);

// Whether a path is a regular file owned by the current user that nobody else can write.
bool IsPrivateToUser(const QString& path);

// Whether a path is a folder (not a link to one) owned by the current user.
bool IsFolderOfUser(const QString& path);

} // namespace Platform
