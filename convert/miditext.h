#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>

// The texts that a Standard MIDI file carries for the tag of its MP3 file. The reader takes
// any bytes at all: a damaged or hostile file gives fewer texts, never a crash or a hang.
namespace MidiText {

// The longest single text kept, in characters; longer texts are cut.
inline constexpr qsizetype MaxTextLength = 64 * 1024;
// The longest lyrics kept, in characters.
inline constexpr qsizetype MaxLyricsLength = 1024 * 1024;
// The most syllables kept with their times; a song has a few hundred.
inline constexpr qsizetype MaxSyllables = 64 * 1024;
// The most bytes ReadFile reads; tracks beyond are not seen.
inline constexpr qint64 MaxFileBytes = 64 * 1024 * 1024;

// What comes before a syllable: nothing, a new line, or a new paragraph (a blank line).
enum class Break { None, Line, Paragraph };

// One sung piece of the lyrics, as the file has it, without its line marks.
struct Syllable
{
    // From the start of the song, following its tempo map.
    quint32 milliseconds = 0;
    Break before = Break::None;
    QString text;
};

struct Texts
{
    // A karaoke file's first "@T" line; else the first non-blank sequence or track name.
    QString title;
    // The first non-blank copyright notice.
    QString copyright;
    // From the lyric events, or else from the text events of a karaoke file; lines end in
    // "\n", a blank line parts paragraphs.
    QString lyrics;
    // A karaoke file's second "@T" line.
    QString artist;
    // A karaoke file's further "@T" and "@I" lines, one a line.
    QString comment;
    // The lyrics' ISO 639-2 language from a karaoke file's "@L" line; "" when unknown.
    QString language;
    // The lyrics syllable by syllable with their times; empty when the times are not known.
    QList<Syllable> syllables;
};

// The texts of a Standard MIDI file, bare or wrapped in a RIFF "RMID" file. Each text is
// UTF-8 when its bytes are valid UTF-8; the others are Windows-1251 when together they read
// as Cyrillic words (TextDecoding::LooksCyrillic), otherwise Latin-1. A file named ".kar" is a
// karaoke file whatever it carries.
Texts Read(QByteArrayView smf, bool karName = false);

// The texts of the file at the path; none when it is not a regular file or cannot be read.
Texts ReadFile(const QString& path);

// One sung line of the lyrics.
struct Line
{
    // The times of its first and its last syllable with words.
    quint32 start = 0;
    quint32 last = 0;
    // Whether a paragraph begins with it (never with the first line).
    bool paragraph = false;
    // Without blanks at either end; never empty.
    QString text;
};

// The syllables joined into lines; syllables are joined as written.
QList<Line> Lines(const QList<Syllable>& syllables);

// The lines, each ending in "\n" but the last, with a blank line before each paragraph.
QString LyricsText(const QList<Syllable>& syllables);

} // namespace MidiText
