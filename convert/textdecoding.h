#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>

// How the texts of a MIDI file that are not UTF-8 are read: Windows-1251 when they are
// Cyrillic, else Latin-1.
namespace TextDecoding {

// Whether the texts read as Cyrillic words in Windows-1251. Its letters all lie in the upper
// half of the byte range, so a Cyrillic word is a run of two or more such bytes without an
// ASCII letter. The European languages that Latin-1 serves write their accented letters
// between ASCII ones, so words made of accented letters alone are rare there: the texts count
// as Cyrillic when at least four upper-half letters stand in such words, and three times as
// many as stand beside ASCII letters.
bool LooksCyrillic(const QList<QByteArrayView>& texts);

// The bytes as Windows-1251.
QString FromWindows1251(QByteArrayView bytes);

// The ISO 639-2 code of a language named as a karaoke file's "@L" line names it (the first
// four letters of its own or its English name, such as "ENGL" or "DEUT") or by its code;
// "" when unknown.
QString IsoLanguage(QStringView name);

} // namespace TextDecoding
