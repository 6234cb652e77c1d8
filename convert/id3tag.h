#pragma once

#include "convert/miditext.h"

#include <QList>
#include <QPair>
#include <QString>

// The ID3v2 tag of a finished MP3 file.
namespace Id3Tag {

// Descriptions and values of user text frames (TXXX), such as ReplayGain's.
using UserTexts = QList<QPair<QString, QString>>;

// Gives the MP3 file an ID3v2.4 tag with the title (the fallback when the texts have none),
// the artist, the copyright, the comment, the lyrics in their language, when their times are
// known the lyrics syllable by syllable in milliseconds (SYLT), and the user texts; no other
// kind of tag. The file
// is replaced whole once the tagged copy is written, so a failure leaves it as it was. Throws
// tp::ApplicationError with the reason when the file is missing, is not an MP3 file or cannot be
// written.
void Write(const QString& mp3Path, const MidiText::Texts& texts, const QString& fallbackTitle,
           const UserTexts& userTexts = {});

} // namespace Id3Tag
