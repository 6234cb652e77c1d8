#pragma once

#include <QByteArray>
#include <QString>

class QUrl;

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

// Paths are text in the program and bytes on the file system, and a name may hold any byte but
// NUL and "/". Every path read from the system goes through DecodePath, every path handed to
// it through EncodePath, so that no byte of a name is lost between the two.

// The text of a path's bytes: UTF-8 as it is; each byte that does not begin a valid UTF-8
// sequence as the lone surrogate U+DC80 + (byte - 0x80), which no valid text holds.
QString DecodePath(QByteArrayView bytes);
// The bytes of a path: the lone surrogates that DecodePath makes as the bytes they stand for,
// everything else as UTF-8 (any other lone surrogate as its three-byte form).
QByteArray EncodePath(QStringView path);
// The text for people to read: each byte held as a lone surrogate shown as "\xe9". The result
// is valid Unicode, so it can go into messages, tags and JSON as it is.
QString DisplayPath(QStringView text);
// The same, handing back the text itself, uncopied, when it holds no stray byte.
QString DisplayPath(const QString& text);
// The path made absolute against the current folder (read as bytes), "." and ".." resolved.
QString AbsolutePath(const QString& path);
// The path of a file's address (file:///...), with the percent-encoded bytes decoded as
// DecodePath does; "" for any other address.
QString LocalPathOfUrl(const QUrl& url);

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
