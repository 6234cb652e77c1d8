#include "convert/textdecoding.h"

#include <array>

namespace TextDecoding {

namespace {

// Windows-1251 from 0x80 to 0xBF; 0xC0 to 0xFF are U+0410 to U+044F in order.
constexpr std::array<char16_t, 64> UpperPart = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
    0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0,
    0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6,
    0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

char16_t Windows1251(quint8 byte)
{
    if (byte < 0x80)
        return byte;
    if (byte >= 0xC0)
        return char16_t(0x0410 + (byte - 0xC0));
    return UpperPart[byte - 0x80];
}

bool IsAsciiLetter(quint8 byte)
{
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
}

bool IsCyrillicLetter(quint8 byte)
{
    const char16_t code = Windows1251(byte);
    return byte >= 0x80 && code >= 0x0400 && code <= 0x04FF;
}

struct Counts
{
    // Upper-half letters in words without ASCII letters, and in words with them.
    qsizetype alone = 0;
    qsizetype mixed = 0;
};

void CountWords(QByteArrayView text, Counts& counts)
{
    qsizetype upper = 0;
    qsizetype length = 0;
    bool ascii = false;
    const auto endWord = [&] {
        if (length >= 2 && upper > 0)
            (ascii ? counts.mixed : counts.alone) += upper;
        upper = length = 0;
        ascii = false;
    };
    for (const char c : text) {
        const auto byte = quint8(c);
        if (IsAsciiLetter(byte)) {
            ascii = true;
            ++length;
        } else if (IsCyrillicLetter(byte)) {
            ++upper;
            ++length;
        } else {
            endWord();
        }
    }
    endWord();
}

} // namespace

bool LooksCyrillic(const QList<QByteArrayView>& texts)
{
    Counts counts;
    for (const QByteArrayView text : texts)
        CountWords(text, counts);
    return counts.alone >= 4 && counts.alone >= 3 * counts.mixed;
}

QString FromWindows1251(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        text[i] = QChar(Windows1251(quint8(bytes[i])));
    return text;
}

QString IsoLanguage(QStringView name)
{
    struct Language
    {
        const char* names;
        const char* code;
    };
    // Each language by the first four letters of its own name and of its English name.
    static constexpr Language Languages[] = {
        {"ENGL", "eng"},      {"DEUT GERM", "ger"}, {"FRAN FREN", "fre"}, {"ITAL", "ita"},
        {"ESPA SPAN", "spa"}, {"PORT", "por"},      {"NEDE DUTC", "dut"}, {"SVEN SWED", "swe"},
        {"NORS NORW", "nor"}, {"DANS DANI", "dan"}, {"SUOM FINN", "fin"}, {"POLS POLI", "pol"},
        {"CEST CZEC", "cze"}, {"MAGY HUNG", "hun"}, {"RUSS", "rus"},      {"UKRA", "ukr"},
        {"BULG", "bul"},      {"SRPS SERB", "srp"}, {"HRVA CROA", "hrv"}, {"ROMA RUMA", "rum"},
        {"ELLI GREE", "gre"}, {"TURK", "tur"},      {"HEBR", "heb"},      {"ARAB", "ara"},
        {"NIHO JAPA", "jpn"}, {"CHIN", "chi"},      {"KORE", "kor"},      {"LATI", "lat"},
        {"INDO", "ind"},      {"VIET", "vie"},      {"THAI", "tha"},      {"HIND", "hin"},
    };
    name = name.trimmed();
    const QString prefix = name.first(std::min<qsizetype>(4, name.size())).toString().toUpper();
    for (const Language& language : Languages) {
        const QString code = QString::fromLatin1(language.code);
        if (name.compare(code, Qt::CaseInsensitive) == 0)
            return code;
        if (prefix.size() == 4 &&
            QString::fromLatin1(language.names).split(QLatin1Char(' ')).contains(prefix))
            return code;
    }
    return QString();
}

} // namespace TextDecoding
