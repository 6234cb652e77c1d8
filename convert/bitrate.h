#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

namespace Bitrate {

// The bitrates offered, as the texts shown for them, highest first: "320 kbps" to "8 kbps".
QStringList BitrateEntries();

// The bitrate number of a bitrate text such as "128 kbps". Reads the number leniently, rounds
// halves to even; throws tp::ApplicationError("Overflow") outside the 16-bit range.
std::int16_t BitrateNumber(const QString& text);

// The number a text begins with, read leniently: blanks, tabs and line feeds are skipped
// anywhere, an optional sign, digits, one decimal point and an exponent are taken, and
// reading stops at the first character that cannot continue the number. 0 without a number.
double LenientNumber(const QString& text);

} // namespace Bitrate
