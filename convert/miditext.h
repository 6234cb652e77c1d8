#pragma once

#include <QByteArrayView>
#include <QString>

// The texts that a Standard MIDI file carries for the tag of its MP3 file. The reader takes
// any bytes at all: a damaged or hostile file gives fewer texts, never a crash or a hang.
namespace MidiText {

// The longest single text kept, in characters; longer texts are cut.
inline constexpr qsizetype MaxTextLength = 64 * 1024;
// The longest lyrics kept, in characters.
inline constexpr qsizetype MaxLyricsLength = 1024 * 1024;
// The most bytes ReadFile reads; tracks beyond are not seen.
inline constexpr qint64 MaxFileBytes = 64 * 1024 * 1024;

struct Texts
{
    // The first non-blank sequence or track name, in file order.
    QString title;
    // The first non-blank copyright notice.
    QString copyright;
    // From the lyric events, or else from the text events of a karaoke file; lines end in
    // "\n", a blank line parts paragraphs.
    QString lyrics;
};

// The texts of a Standard MIDI file, bare or wrapped in a RIFF "RMID" file. Each text is
// UTF-8 when its bytes are valid UTF-8, otherwise Latin-1.
Texts Read(QByteArrayView smf);

// The texts of the file at the path; none when it is not a regular file or cannot be read.
Texts ReadFile(const QString& path);

} // namespace MidiText
