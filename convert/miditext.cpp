#include "convert/miditext.h"

#include "convert/platform.h"

#include <QFile>
#include <QStringList>
#include <QtEndian>
#include <algorithm>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace MidiText {

namespace {

// Reads bytes front to back; every read answers nothing rather than pass the end.
class Cursor
{
public:
    explicit Cursor(QByteArrayView bytes) : m_bytes(bytes) {}

    bool atEnd() const { return m_at >= m_bytes.size(); }

    std::optional<quint8> byte()
    {
        if (atEnd())
            return std::nullopt;
        return quint8(m_bytes[m_at++]);
    }

    // A variable-length quantity. Files never need more than four bytes for one, so a fifth
    // means the track is not what it claims to be.
    std::optional<quint32> number()
    {
        quint32 value = 0;
        for (int count = 0; count < 4; ++count) {
            const std::optional<quint8> next = byte();
            if (!next)
                return std::nullopt;
            value = (value << 7) | (*next & 0x7F);
            if ((*next & 0x80) == 0)
                return value;
        }
        return std::nullopt;
    }

    std::optional<QByteArrayView> take(quint64 count)
    {
        if (count > quint64(m_bytes.size() - m_at))
            return std::nullopt;
        const QByteArrayView part = m_bytes.sliced(m_at, qsizetype(count));
        m_at += qsizetype(count);
        return part;
    }

private:
    QByteArrayView m_bytes;
    qsizetype m_at = 0;
};

// A text's bytes as UTF-8 when they are valid UTF-8, otherwise as Latin-1, cut to the cap.
QString Decode(QByteArrayView bytes)
{
    if (bytes.size() > MaxTextLength) {
        bytes = bytes.first(MaxTextLength);
        // The cut may split a UTF-8 character; that alone must not make the text Latin-1.
        for (qsizetype drop = 1; drop <= 3 && !bytes.isValidUtf8(); ++drop)
            if (bytes.chopped(drop).isValidUtf8())
                bytes = bytes.chopped(drop);
    }
    QString text = bytes.isValidUtf8() ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
    text.remove(QChar::Null);
    return text;
}

// Joins syllables into lines. A syllable that begins with "/" starts a new line, one that
// begins with "\" a new paragraph; CR and LF inside a syllable break the line too.
class Lyrics
{
public:
    void add(QByteArrayView syllable)
    {
        if (m_text.size() >= MaxLyricsLength)
            return;
        QString text = Decode(syllable);
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
            .replace(QLatin1Char('\r'), QLatin1Char('\n'));
        if (text.startsWith(QLatin1Char('/')))
            text.replace(0, 1, QLatin1Char('\n'));
        else if (text.startsWith(QLatin1Char('\\')))
            text.replace(0, 1, QStringLiteral("\n\n"));
        m_text += text;
        m_text.truncate(MaxLyricsLength);
    }

    // The lines without surrounding blanks, at most one blank line in a row, none at the ends.
    QString text() const
    {
        QStringList lines;
        bool blankBefore = false;
        for (QStringView line : QStringView(m_text).split(QLatin1Char('\n'))) {
            line = line.trimmed();
            if (line.isEmpty()) {
                blankBefore = !lines.isEmpty();
                continue;
            }
            if (blankBefore)
                lines.append(QString());
            lines.append(line.toString());
            blankBefore = false;
        }
        return lines.join(QLatin1Char('\n'));
    }

private:
    QString m_text;
};

struct Found
{
    Texts texts;
    Lyrics lyricEvents;
    Lyrics textEvents;
    bool karaoke = false;
};

void TakeMeta(quint8 type, QByteArrayView data, Found& found)
{
    switch (type) {
    case 0x01:
        if (data.startsWith("@K"))
            found.karaoke = true;
        // "@" lines of a karaoke file say what the file is, its language, title and so on.
        if (!data.startsWith("@"))
            found.textEvents.add(data);
        break;
    case 0x02:
        if (found.texts.copyright.isEmpty())
            found.texts.copyright = Decode(data).trimmed();
        break;
    case 0x03:
        if (found.texts.title.isEmpty())
            found.texts.title = Decode(data).trimmed();
        break;
    case 0x05:
        found.lyricEvents.add(data);
        break;
    default:
        break;
    }
}

// Data bytes after the status byte of a channel message.
int DataBytes(quint8 status)
{
    const quint8 kind = status & 0xF0;
    return kind == 0xC0 || kind == 0xD0 ? 1 : 2;
}

// Walks one track's events up to its end, or up to the first event that cannot be read.
void ReadTrack(QByteArrayView track, Found& found)
{
    Cursor in(track);
    std::optional<quint8> runningStatus;
    while (!in.atEnd()) {
        if (!in.number())
            return;
        const std::optional<quint8> first = in.byte();
        if (!first)
            return;
        if (*first < 0x80) {
            // The running status stands for the status byte; this byte is already data.
            if (!runningStatus || !in.take(quint64(DataBytes(*runningStatus) - 1)))
                return;
        } else if (*first < 0xF0) {
            runningStatus = *first;
            if (!in.take(quint64(DataBytes(*first))))
                return;
        } else if (*first == 0xFF) {
            const std::optional<quint8> type = in.byte();
            const std::optional<quint32> length = type ? in.number() : std::nullopt;
            const std::optional<QByteArrayView> data = length ? in.take(*length) : std::nullopt;
            if (!data || *type == 0x2F)
                return;
            TakeMeta(*type, *data, found);
        } else if (*first == 0xF0 || *first == 0xF7) {
            const std::optional<quint32> length = in.number();
            if (!length || !in.take(*length))
                return;
        } else {
            // Other system messages have no place in a file.
            return;
        }
    }
}

// The MIDI file inside a RIFF "RMID" file; other bytes as they are.
QByteArrayView Unwrapped(QByteArrayView bytes)
{
    if (bytes.size() < 12 || !bytes.startsWith("RIFF") || bytes.sliced(8, 4) != "RMID")
        return bytes;
    qint64 at = 12;
    while (bytes.size() - at >= 8) {
        const quint32 length = qFromLittleEndian<quint32>(bytes.data() + at + 4);
        const qint64 available = std::min<qint64>(length, bytes.size() - at - 8);
        if (bytes.sliced(at, 4) == "data")
            return bytes.sliced(at + 8, available);
        at += 8 + qint64(length) + (length & 1);
    }
    return {};
}

} // namespace

Texts Read(QByteArrayView smf)
{
    smf = Unwrapped(smf);
    if (!smf.startsWith("MThd"))
        return {};
    // The header's track count is not trusted: the chunks present are what there is.
    Found found;
    qint64 at = 0;
    while (smf.size() - at >= 8) {
        const quint32 length = qFromBigEndian<quint32>(smf.data() + at + 4);
        const qint64 available = std::min<qint64>(length, smf.size() - at - 8);
        if (smf.sliced(at, 4) == "MTrk")
            ReadTrack(smf.sliced(at + 8, available), found);
        at += 8 + available;
    }
    Texts texts = std::move(found.texts);
    texts.lyrics = found.lyricEvents.text();
    if (texts.lyrics.isEmpty() && found.karaoke)
        texts.lyrics = found.textEvents.text();
    return texts;
}

Texts ReadFile(const QString& path)
{
    if (!Platform::IsUsablePath(path))
        return {};
    // Opened without waiting and judged by what was opened: a named pipe put in the file's
    // place would otherwise wait for a writer.
    const int handle =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (handle < 0)
        return {};
    struct stat facts = {};
    QFile file;
    if (::fstat(handle, &facts) != 0 || !S_ISREG(facts.st_mode) ||
        !file.open(handle, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(handle);
        return {};
    }
    return Read(file.read(std::min<qint64>(facts.st_size, MaxFileBytes)));
}

} // namespace MidiText
