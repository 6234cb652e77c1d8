#pragma once

#include "convert/miditext.h"

#include <QByteArray>
#include <QString>

// The lyrics of a song as an .lrc file beside its MP3 file: "[mm:ss.xx]" before each line.
namespace LrcFile {

// The MP3 file's path with ".lrc" in place of ".mp3".
QString PathFor(const QString& mp3Path);

// The file in UTF-8: "[ti:]" and "[ar:]" when the title and artist are known, then each line
// stamped with the time of its first syllable, and an empty line before each paragraph,
// stamped halfway between the paragraph's first syllable and the last one before it. Empty
// when the lyrics have no times.
QByteArray Contents(const MidiText::Texts& texts);

} // namespace LrcFile
