#pragma once

#include "convert/platform.h"

#include <QByteArray>
#include <QFileDevice>
#include <QString>

// The small path and file functions that the whole program shares. The path functions only
// look for the separator and "."; the separator style defaults to the platform's own.
namespace Paths {

// Whether a file (not a folder) can be found at the path. Never throws.
bool FileExists(const QString& path);

// Whether a folder can be found at the path. Never throws.
bool FolderExists(const QString& path);

// The text up to and including the last separator; "" when there is none.
QString FolderOfPath(const QString& path, QChar separator = Platform::NativeSeparator);

// The text after the last separator; the whole text when there is none.
QString FileNameOfPath(const QString& path, QChar separator = Platform::NativeSeparator);
QStringView FileNameOfPath(QStringView path, QChar separator = Platform::NativeSeparator);

// The name without the part after its last ".", unless that "." is the first character.
QString StripExtension(const QString& name);
QStringView StripExtension(QStringView name);

// Reduces doubled separators left by joining a folder that ends in one with a name.
QString CollapseBackslashes(const QString& path, QChar separator = Platform::NativeSeparator);

// Deletes a file if it can; reports nothing, never throws. Lets window events run first.
void DeleteFileQuiet(const QString& path);

// Deletes a file whatever its permissions; throws tp::ApplicationError on failure.
void DeleteFileForced(const QString& path);

// Writes the bytes to a new file unless a file is already there. The file appears under its
// name only once it is whole. Throws tp::ApplicationError on failure.
void WriteBytesIfMissing(const QByteArray& bytes, const QString& path,
                         QFileDevice::Permissions permissions = QFileDevice::ReadOwner |
                                                                QFileDevice::WriteOwner);

// Writes the text and a CR LF, replacing any file of that name. Throws on failure.
void WriteTextFile(const QString& text, const QString& path);

// What WriteFileAtomically does when a file of that name appears while it writes.
enum class Placement { Replace, KeepExisting };

// Writes the bytes under a temporary name beside the path, then puts it in place (below), so
// the path never names a partly written file; a new file gets the permissions given. Throws
// tp::ApplicationError on failure and leaves no file behind then.
void WriteFileAtomically(const QByteArray& bytes, const QString& path,
                         QFileDevice::Permissions permissions,
                         Placement placement = Placement::Replace);

// Gives a file written whole under a temporary name in the folder of the path its final name
// in one step: its data reaches the disk first, and a file it replaces hands on its
// permission bits. With KeepExisting, a file already at the path stands and the temporary one
// is removed. Throws tp::ApplicationError with the system's reason alone; the temporary file
// is then left to the caller.
void PutInPlace(const QString& temporary, const QString& path,
                Placement placement = Placement::Replace);

} // namespace Paths
