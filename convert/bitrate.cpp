#include "convert/bitrate.h"

#include "convert/applicationerror.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace Bitrate {

QStringList BitrateEntries()
{
    QStringList entries;
    for (const int kbps :
         {320, 256, 224, 192, 160, 144, 128, 112, 96, 80, 64, 56, 48, 40, 32, 24, 16, 8})
        entries << QString::number(kbps) + QStringLiteral(" kbps");
    return entries;
}

namespace {

bool IsSkipped(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n');
}

bool IsDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Whether a number too far out for a double is too large rather than too small: its first
// significant digit stands above the units once the exponent is applied.
bool IsHuge(const std::string& number)
{
    const std::size_t mark = number.find('e');
    const std::string mantissa = number.substr(0, mark);
    long long exponent = 0;
    if (mark != std::string::npos) {
        std::string power = number.substr(mark + 1);
        if (!power.empty() && power.front() == '+')
            power.erase(0, 1);
        const auto [end, error] =
            std::from_chars(power.data(), power.data() + power.size(), exponent);
        if (error == std::errc::result_out_of_range)
            exponent = power.front() == '-' ? std::numeric_limits<int>::min()
                                            : std::numeric_limits<int>::max();
    }
    const std::size_t first = mantissa.find_first_of("123456789");
    if (first == std::string::npos)
        return false;
    std::size_t point = mantissa.find('.');
    if (point == std::string::npos)
        point = mantissa.size();
    const long long magnitude = first < point ? static_cast<long long>(point - first)
                                              : -static_cast<long long>(first - point - 1);
    return magnitude + exponent > 0;
}

} // namespace

double LenientNumber(const QString& text)
{
    // Collect the longest prefix that forms a number, then let the C library read it.
    std::string number;
    bool digits = false;
    bool point = false;
    bool exponent = false;
    bool exponentDigits = false;
    bool signAllowed = true;
    for (const QChar c : text) {
        if (IsSkipped(c))
            continue;
        if (signAllowed && (c == QLatin1Char('+') || c == QLatin1Char('-'))) {
            number += char(c.unicode());
            signAllowed = false;
            continue;
        }
        signAllowed = false;
        if (IsDigit(c)) {
            number += char(c.unicode());
            (exponent ? exponentDigits : digits) = true;
        } else if (c == QLatin1Char('.') && !point && !exponent) {
            number += '.';
            point = true;
        } else if ((c == QLatin1Char('e') || c == QLatin1Char('E') || c == QLatin1Char('d') ||
                    c == QLatin1Char('D')) &&
                   digits && !exponent) {
            number += 'e';
            exponent = true;
            signAllowed = true;
        } else {
            break;
        }
    }
    if (!digits)
        return 0.0;
    if (exponent && !exponentDigits)
        number.erase(number.find('e'));
    if (number.front() == '+')
        number.erase(0, 1);
    // from_chars reads in the C locale whatever the user's locale is.
    double value = 0.0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error == std::errc::result_out_of_range) {
        const bool negative = number.front() == '-';
        return IsHuge(number) ? (negative ? -1.0 : 1.0) * std::numeric_limits<double>::max() : 0.0;
    }
    return value;
}

std::int16_t BitrateNumber(const QString& text)
{
    QString bare = text;
    bare.remove(QStringLiteral("kbps"), Qt::CaseInsensitive);
    while (bare.startsWith(QLatin1Char(' ')))
        bare.remove(0, 1);
    while (bare.endsWith(QLatin1Char(' ')))
        bare.chop(1);

    const double rounded = std::nearbyint(LenientNumber(bare));
    if (!(rounded >= std::numeric_limits<std::int16_t>::min() &&
          rounded <= std::numeric_limits<std::int16_t>::max()))
        throw tp::ApplicationError(QStringLiteral("Overflow"));
    return static_cast<std::int16_t>(rounded);
}

} // namespace Bitrate
