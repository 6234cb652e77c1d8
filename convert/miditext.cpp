#include "convert/miditext.h"

#include "convert/platform.h"
#include "convert/textdecoding.h"

#include <QFile>
#include <QStringList>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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

// The most events of the kinds that matter kept from one file, and the most tempo changes;
// beyond that many tempo changes the lyrics lose their times.
constexpr qsizetype MaxEvents = 256 * 1024;
constexpr qsizetype MaxTempoChanges = 64 * 1024;
// A file's header counts its tracks in sixteen bits.
constexpr qsizetype MaxTracks = 0xFFFF;

enum MetaType : quint8 {
    TextEvent = 0x01,
    Copyright = 0x02,
    Name = 0x03,
    Lyric = 0x05,
    EndOfTrack = 0x2F,
    SetTempo = 0x51
};

struct Event
{
    quint64 tick = 0;
    qsizetype track = 0;
    quint8 type = 0;
    QByteArrayView data;
};

struct TempoChange
{
    quint64 tick = 0;
    quint32 microsecondsPerQuarter = 500000;
};

struct Scan
{
    quint16 format = 0;
    // Ticks per quarter note, or SMPTE frames and ticks per frame; 0 when unknown.
    quint16 division = 0;
    qsizetype tracks = 0;
    QList<Event> events;
    QList<TempoChange> tempos;
    bool temposComplete = true;
};

void Keep(Scan& scan, quint64 tick, quint8 type, QByteArrayView data)
{
    if (type == SetTempo && data.size() == 3) {
        if (scan.tempos.size() >= MaxTempoChanges)
            scan.temposComplete = false;
        else
            scan.tempos.append({tick, quint32(quint8(data[0])) << 16 |
                                          quint32(quint8(data[1])) << 8 | quint8(data[2])});
    } else if ((type == TextEvent || type == Copyright || type == Name || type == Lyric) &&
               scan.events.size() < MaxEvents) {
        scan.events.append({tick, scan.tracks, type, data});
    }
}

// Reads the texts that are not UTF-8 as Windows-1251 or Latin-1, whichever the whole file's
// such texts suggest: a syllable alone is too short to tell.
class Decoder
{
public:
    explicit Decoder(const QList<Event>& events)
    {
        QList<QByteArrayView> others;
        for (const Event& event : events) {
            QByteArrayView text = event.data;
            // "@T", "@L" and the like are marks, not part of the words.
            if (event.type == TextEvent && text.startsWith('@'))
                text = text.sliced(std::min<qsizetype>(2, text.size()));
            if (!text.isValidUtf8())
                others.append(text);
        }
        m_cyrillic = TextDecoding::LooksCyrillic(others);
    }

    // The text cut to the cap, without NULs.
    QString operator()(QByteArrayView bytes) const
    {
        if (bytes.size() > MaxTextLength) {
            bytes = bytes.first(MaxTextLength);
            // The cut may split a UTF-8 character; that alone must not change how it reads.
            for (qsizetype drop = 1; drop <= 3 && !bytes.isValidUtf8(); ++drop)
                if (bytes.chopped(drop).isValidUtf8())
                    bytes = bytes.chopped(drop);
        }
        QString text = bytes.isValidUtf8() ? QString::fromUtf8(bytes)
                       : m_cyrillic        ? TextDecoding::FromWindows1251(bytes)
                                           : QString::fromLatin1(bytes);
        text.remove(QChar::Null);
        return text;
    }

private:
    bool m_cyrillic = false;
};

// Milliseconds from the start of the song for a tick, following every tempo change of every
// track; the same for each track of a file of independent songs (format 2) does not hold, so
// such files have no times.
class Clock
{
public:
    explicit Clock(const Scan& scan)
    {
        if (scan.division & 0x8000) {
            // SMPTE time: frames per second (negated; 29 stands for 29.97) and ticks per frame.
            const int frames = -qint8(scan.division >> 8);
            const int ticks = scan.division & 0xFF;
            if (ticks > 0 && (frames == 24 || frames == 25 || frames == 29 || frames == 30))
                m_segments.append({0, 0, 1e6 / ((frames == 29 ? 29.97 : frames) * ticks)});
            return;
        }
        if (scan.division == 0 || scan.format > 1 || !scan.temposComplete)
            return;
        const double quarter = scan.division;
        m_segments.append({0, 0, 500000 / quarter});
        QList<TempoChange> tempos = scan.tempos;
        std::stable_sort(
            tempos.begin(), tempos.end(),
            [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
        for (const TempoChange& tempo : std::as_const(tempos)) {
            const Segment& last = m_segments.constLast();
            const double at = last.microseconds + double(tempo.tick - last.tick) * last.perTick;
            if (tempo.tick == last.tick)
                m_segments.removeLast();
            m_segments.append({tempo.tick, at, tempo.microsecondsPerQuarter / quarter});
        }
    }

    bool known() const { return !m_segments.isEmpty(); }

    quint32 milliseconds(quint64 tick) const
    {
        if (m_segments.isEmpty())
            return 0;
        const auto after = std::upper_bound(
            m_segments.cbegin(), m_segments.cend(), tick,
            [](quint64 value, const Segment& segment) { return value < segment.tick; });
        const Segment& segment = *std::prev(after);
        const double microseconds =
            segment.microseconds + double(tick - segment.tick) * segment.perTick;
        return quint32(std::clamp(std::round(microseconds / 1000), 0.0, 4294967295.0));
    }

private:
    struct Segment
    {
        quint64 tick;
        double microseconds;
        double perTick;
    };
    QList<Segment> m_segments;
};

// Splits texts into syllables at their line marks. A text that begins with "/" starts a new
// line, one that begins with "\" a new paragraph; inside a text, CR ends a line and LF starts
// a new page (a paragraph). Two line ends in a row make a blank line, that is a paragraph.
class Lyrics
{
public:
    void add(quint32 milliseconds, QStringView text)
    {
        if (text.startsWith(QLatin1Char('/'))) {
            endLine();
            text = text.sliced(1);
        } else if (text.startsWith(QLatin1Char('\\'))) {
            endParagraph();
            text = text.sliced(1);
        }
        qsizetype start = 0;
        for (qsizetype at = 0; at < text.size(); ++at) {
            if (text[at] != QLatin1Char('\r') && text[at] != QLatin1Char('\n'))
                continue;
            piece(milliseconds, text.sliced(start, at - start));
            text[at] == QLatin1Char('\r') ? endLine() : endParagraph();
            start = at + 1;
        }
        piece(milliseconds, text.sliced(start));
    }

    QList<Syllable> take() { return std::move(m_syllables); }

private:
    // Breaks before the first words mean nothing.
    void endLine()
    {
        if (!m_syllables.isEmpty())
            m_ends = std::min(m_ends + 1, 2);
    }

    void endParagraph()
    {
        if (!m_syllables.isEmpty())
            m_ends = 2;
    }

    void piece(quint32 milliseconds, QStringView text)
    {
        if (text.isEmpty() || m_length >= MaxLyricsLength || m_syllables.size() >= MaxSyllables)
            return;
        // Blanks at the start of a line are not shown; the break waits for the words.
        if (m_ends > 0 && text.trimmed().isEmpty())
            return;
        text = text.first(std::min(text.size(), MaxLyricsLength - m_length));
        m_length += text.size();
        const Break before = m_ends == 0   ? Break::None
                             : m_ends == 1 ? Break::Line
                                           : Break::Paragraph;
        m_syllables.append({milliseconds, before, text.toString()});
        m_ends = 0;
    }

    QList<Syllable> m_syllables;
    qsizetype m_length = 0;
    int m_ends = 0;
};

// Data bytes after the status byte of a channel message.
int DataBytes(quint8 status)
{
    const quint8 kind = status & 0xF0;
    return kind == 0xC0 || kind == 0xD0 ? 1 : 2;
}

// Walks one track's events up to its end, or up to the first event that cannot be read.
void ReadTrack(QByteArrayView track, Scan& scan)
{
    Cursor in(track);
    std::optional<quint8> runningStatus;
    quint64 tick = 0;
    while (!in.atEnd()) {
        const std::optional<quint32> delta = in.number();
        const std::optional<quint8> first = delta ? in.byte() : std::nullopt;
        if (!first)
            return;
        tick += *delta;
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
            if (!data || *type == EndOfTrack)
                return;
            Keep(scan, tick, *type, *data);
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

bool IsKaraokeMark(const Event& event)
{
    const QByteArrayView data = event.data;
    return event.type == TextEvent &&
           (data.startsWith("@K") || data.startsWith("@T") || data.startsWith("@L") ||
            data.startsWith('\\') || data.startsWith('/'));
}

bool IsWordsTrackName(const Event& event, const Decoder& decode)
{
    return event.type == Name &&
           decode(event.data).trimmed().compare(u"Words", Qt::CaseInsensitive) == 0;
}

// The track with the most events that match, the first of them on a tie; none when no event
// matches.
template <typename Match> std::optional<qsizetype> Busiest(const Scan& scan, Match matches)
{
    std::vector<int> counts(size_t(scan.tracks), 0);
    for (const Event& event : scan.events)
        if (matches(event))
            ++counts[size_t(event.track)];
    const auto most = std::max_element(counts.cbegin(), counts.cend());
    if (most == counts.cend() || *most == 0)
        return std::nullopt;
    return qsizetype(most - counts.cbegin());
}

bool IsWords(const Event& event)
{
    return event.type == TextEvent && !event.data.startsWith('@');
}

// The track of a karaoke file's words: the one named "Words", else the one with the most line
// marks, else the one with the most texts.
std::optional<qsizetype> WordsTrack(const Scan& scan, const Decoder& decode)
{
    for (const Event& event : scan.events)
        if (IsWordsTrackName(event, decode))
            return event.track;
    if (const auto marked = Busiest(scan, [](const Event& event) {
            return IsWords(event) && (event.data.startsWith('\\') || event.data.startsWith('/'));
        }))
        return marked;
    return Busiest(scan, IsWords);
}

QList<Syllable> SyllablesOf(const Scan& scan, const Decoder& decode, qsizetype track,
                            bool lyricEvents, const Clock& clock)
{
    Lyrics lyrics;
    for (const Event& event : scan.events)
        if (event.track == track && (lyricEvents ? event.type == Lyric : IsWords(event)))
            lyrics.add(clock.milliseconds(event.tick), decode(event.data));
    return lyrics.take();
}

// The lyric events of the track that has most of them, else a karaoke file's words.
QList<Syllable> SyllablesOf(const Scan& scan, const Decoder& decode, bool karaoke,
                            const Clock& clock)
{
    QList<Syllable> syllables;
    if (const auto track = Busiest(scan, [](const Event& event) { return event.type == Lyric; }))
        syllables = SyllablesOf(scan, decode, *track, true, clock);
    if (syllables.isEmpty() && karaoke)
        if (const auto track = WordsTrack(scan, decode))
            syllables = SyllablesOf(scan, decode, *track, false, clock);
    return syllables;
}

void AddLine(QString& lines, const QString& line)
{
    if (line.isEmpty() || lines.size() + line.size() >= MaxTextLength)
        return;
    if (!lines.isEmpty())
        lines += QLatin1Char('\n');
    lines += line;
}

// The title and artist of a karaoke file from its "@T" lines, further "@T" and "@I" lines as
// a comment, and the lyrics' language from its "@L" line.
void TakeKaraokeLines(const Scan& scan, const Decoder& decode, Texts& texts)
{
    int titles = 0;
    for (const Event& event : scan.events) {
        if (event.type != TextEvent || !event.data.startsWith('@') || event.data.size() < 2)
            continue;
        const QString text = decode(event.data.sliced(2)).trimmed();
        if (text.isEmpty())
            continue;
        const char kind = event.data[1];
        if (kind == 'T' && titles < 2)
            (titles++ == 0 ? texts.title : texts.artist) = text;
        else if (kind == 'T' || kind == 'I')
            AddLine(texts.comment, text);
        else if (kind == 'L' && texts.language.isEmpty())
            texts.language = TextDecoding::IsoLanguage(text);
    }
}

// The first copyright notice, and the first track name as the title when there is none yet.
// The names that karaoke files give their info and words tracks are no titles.
void TakeNames(const Scan& scan, const Decoder& decode, bool karaoke, Texts& texts)
{
    for (const Event& event : scan.events) {
        if (event.type == Copyright && texts.copyright.isEmpty())
            texts.copyright = decode(event.data).trimmed();
        if (event.type != Name || !texts.title.isEmpty())
            continue;
        const QString name = decode(event.data).trimmed();
        if (!karaoke || (name.compare(u"Soft Karaoke", Qt::CaseInsensitive) != 0 &&
                         name.compare(u"Words", Qt::CaseInsensitive) != 0))
            texts.title = name;
    }
}

Texts Assemble(const Scan& scan, bool karName)
{
    const Decoder decode(scan.events);
    const bool karaoke =
        karName || std::any_of(scan.events.cbegin(), scan.events.cend(), [&](const Event& event) {
            return IsKaraokeMark(event) || IsWordsTrackName(event, decode);
        });
    Texts texts;
    if (karaoke)
        TakeKaraokeLines(scan, decode, texts);
    TakeNames(scan, decode, karaoke, texts);
    const Clock clock(scan);
    QList<Syllable> syllables = SyllablesOf(scan, decode, karaoke, clock);
    texts.lyrics = LyricsText(syllables);
    // Blanks alone are no lyrics, timed or not.
    if (clock.known() && !texts.lyrics.isEmpty())
        texts.syllables = std::move(syllables);
    return texts;
}

} // namespace

QList<Line> Lines(const QList<Syllable>& syllables)
{
    QList<Line> lines;
    Line line;
    bool sung = false;
    bool paragraph = false;
    const auto close = [&] {
        if (sung) {
            line.text = line.text.trimmed();
            line.paragraph = paragraph && !lines.isEmpty();
            lines.append(line);
            paragraph = false;
        }
        line = Line{};
        sung = false;
    };
    for (const Syllable& syllable : syllables) {
        if (syllable.before != Break::None) {
            close();
            paragraph = paragraph || syllable.before == Break::Paragraph;
        }
        if (!syllable.text.trimmed().isEmpty()) {
            if (!sung)
                line.start = syllable.milliseconds;
            line.last = syllable.milliseconds;
            sung = true;
        }
        line.text += syllable.text;
    }
    close();
    return lines;
}

QString LyricsText(const QList<Syllable>& syllables)
{
    QString text;
    for (const Line& line : Lines(syllables)) {
        if (!text.isEmpty())
            text += line.paragraph ? QStringLiteral("\n\n") : QStringLiteral("\n");
        text += line.text;
        if (text.size() >= MaxLyricsLength)
            break;
    }
    // The cut may leave blanks at the end of its last line.
    text.truncate(MaxLyricsLength);
    while (!text.isEmpty() && text.back().isSpace())
        text.chop(1);
    return text;
}

Texts Read(QByteArrayView smf, bool karName)
{
    smf = Unwrapped(smf);
    if (!smf.startsWith("MThd"))
        return {};
    Scan scan;
    if (smf.size() >= 14 && qFromBigEndian<quint32>(smf.data() + 4) >= 6) {
        scan.format = qFromBigEndian<quint16>(smf.data() + 8);
        scan.division = qFromBigEndian<quint16>(smf.data() + 12);
    }
    // The header's track count is not trusted: the chunks present are what there is.
    qint64 at = 0;
    while (smf.size() - at >= 8 && scan.tracks < MaxTracks) {
        const quint32 length = qFromBigEndian<quint32>(smf.data() + at + 4);
        const qint64 available = std::min<qint64>(length, smf.size() - at - 8);
        if (smf.sliced(at, 4) == "MTrk") {
            ReadTrack(smf.sliced(at + 8, available), scan);
            ++scan.tracks;
        }
        at += 8 + available;
    }
    return Assemble(scan, karName);
}

Texts ReadFile(const QString& path)
{
    if (!Platform::IsUsablePath(path))
        return {};
    // Opened without waiting and judged by what was opened: a named pipe put in the file's
    // place would otherwise wait for a writer.
    const int handle =
        ::open(Platform::EncodePath(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (handle < 0)
        return {};
    struct stat facts = {};
    QFile file;
    if (::fstat(handle, &facts) != 0 || !S_ISREG(facts.st_mode) ||
        !file.open(handle, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(handle);
        return {};
    }
    return Read(file.read(std::min<qint64>(facts.st_size, MaxFileBytes)),
                path.endsWith(QStringLiteral(".kar"), Qt::CaseInsensitive));
}

} // namespace MidiText
