#include "convert/platform.h"

#include <QDir>
#include <QUrl>
#include <algorithm>
#include <unistd.h>

namespace Platform {

namespace {

constexpr char16_t EscapeBase = 0xDC00;

bool IsEscapedByte(char16_t unit)
{
    return unit >= EscapeBase + 0x80 && unit <= EscapeBase + 0xFF;
}

// Only a surrogate can stand for a stray byte; a dry run shows a whole collection.
bool HasSurrogate(QStringView text)
{
    return std::any_of(text.begin(), text.end(), [](QChar unit) { return unit.isSurrogate(); });
}

// The length of the valid UTF-8 sequence at the start of the bytes, or 0 when there is none:
// no overlong forms, no surrogates, nothing above U+10FFFF.
qsizetype ValidSequenceLength(QByteArrayView bytes)
{
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return 1;
    qsizetype length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (bytes.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (qsizetype i = 2; i < length; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    return length;
}

void AppendUtf8(QByteArray& bytes, char32_t code)
{
    if (code < 0x80) {
        bytes.append(char(code));
    } else if (code < 0x800) {
        bytes.append(char(0xC0 | (code >> 6)));
        bytes.append(char(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        bytes.append(char(0xE0 | (code >> 12)));
        bytes.append(char(0x80 | ((code >> 6) & 0x3F)));
        bytes.append(char(0x80 | (code & 0x3F)));
    } else {
        bytes.append(char(0xF0 | (code >> 18)));
        bytes.append(char(0x80 | ((code >> 12) & 0x3F)));
        bytes.append(char(0x80 | ((code >> 6) & 0x3F)));
        bytes.append(char(0x80 | (code & 0x3F)));
    }
}

int HexValue(char digit)
{
    if (digit >= '0' && digit <= '9')
        return digit - '0';
    if (digit >= 'a' && digit <= 'f')
        return digit - 'a' + 10;
    if (digit >= 'A' && digit <= 'F')
        return digit - 'A' + 10;
    return -1;
}

// The text with each stray byte escaped and each lone surrogate replaced.
QString Escaped(QStringView text)
{
    QString shown;
    shown.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar unit = text[i];
        if (unit.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            shown.append(unit);
            shown.append(text[++i]);
        } else if (IsEscapedByte(unit.unicode())) {
            shown.append(QStringLiteral("\\x") +
                         QString::number(unit.unicode() - EscapeBase, 16).rightJustified(2, u'0'));
        } else if (unit.isSurrogate()) {
            shown.append(QChar::ReplacementCharacter);
        } else {
            shown.append(unit);
        }
    }
    return shown;
}

} // namespace

QString DecodePath(QByteArrayView bytes)
{
    // Most names are valid UTF-8, which Qt decodes faster; but Qt drops a byte-order mark at
    // the start, which is part of the name.
    if (bytes.isValidUtf8() && !bytes.startsWith("\xef\xbb\xbf"))
        return QString::fromUtf8(bytes);
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
    QString text;
    text.reserve(bytes.size());
    for (qsizetype at = 0; at < bytes.size();) {
        const qsizetype length = ValidSequenceLength(bytes.sliced(at));
        if (length == 0) {
            text.append(QChar(char16_t(EscapeBase + byte(at))));
            ++at;
            continue;
        }
        char32_t code = length == 1 ? byte(at) : byte(at) & (0x7F >> length);
        for (qsizetype i = 1; i < length; ++i)
            code = (code << 6) | (byte(at + i) & 0x3F);
        text.append(QChar::fromUcs4(code));
        at += length;
    }
    return text;
}

QByteArray EncodePath(QStringView path)
{
    // Without a surrogate there is no stray byte, and the path is plain UTF-8.
    if (std::none_of(path.begin(), path.end(), [](QChar unit) { return unit.isSurrogate(); }))
        return path.toUtf8();
    QByteArray bytes;
    bytes.reserve(path.size());
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t unit = path[i].unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < path.size() &&
            QChar::isLowSurrogate(path[i + 1].unicode())) {
            AppendUtf8(bytes, QChar::surrogateToUcs4(unit, path[i + 1].unicode()));
            ++i;
        } else if (IsEscapedByte(unit)) {
            bytes.append(char(unit - EscapeBase));
        } else {
            AppendUtf8(bytes, unit);
        }
    }
    return bytes;
}

QString DisplayPath(const QString& text)
{
    return HasSurrogate(text) ? Escaped(text) : text;
}

QString DisplayPath(QStringView text)
{
    return HasSurrogate(text) ? Escaped(text) : text.toString();
}

QString AbsolutePath(const QString& path)
{
    if (path.startsWith(NativeSeparator))
        return QDir::cleanPath(path);
    // The current folder's own name may hold any byte too, so it is read as bytes.
    QByteArray folder(PathLimit(), Qt::Uninitialized);
    const QString current = ::getcwd(folder.data(), size_t(folder.size()))
                                ? DecodePath(QByteArrayView(folder.constData()))
                                : QDir::currentPath();
    return QDir::cleanPath(current + NativeSeparator + path);
}

QString LocalPathOfUrl(const QUrl& url)
{
    if (!url.isLocalFile())
        return QString();
    // QUrl decodes the path as UTF-8 and loses any other byte; the encoded path keeps them.
    const QByteArray encodedPath = url.path(QUrl::FullyEncoded).toLatin1();
    QByteArray bytes;
    bytes.reserve(encodedPath.size());
    for (qsizetype i = 0; i < encodedPath.size(); ++i) {
        const int high =
            i + 2 < encodedPath.size() && encodedPath[i] == '%' ? HexValue(encodedPath[i + 1]) : -1;
        const int low = high >= 0 ? HexValue(encodedPath[i + 2]) : -1;
        if (low >= 0) {
            bytes.append(char(high * 16 + low));
            i += 2;
        } else {
            bytes.append(encodedPath[i]);
        }
    }
    // A host names a shared folder, as toLocalFile() writes it.
    const QString host = url.host();
    return (host.isEmpty() ? QString() : QStringLiteral("//") + host) + DecodePath(bytes);
}

} // namespace Platform
