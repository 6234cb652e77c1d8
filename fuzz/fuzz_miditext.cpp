#include "convert/lrcfile.h"
#include "convert/miditext.h"

#include <QByteArrayView>
#include <QList>
#include <cstdlib>

namespace {

bool Trimmed(QStringView text)
{
    return text == text.trimmed();
}

bool LinesTrimmed(QStringView text)
{
    for (const QStringView line : text.split(QLatin1Char('\n')))
        if (!Trimmed(line))
            return false;
    return Trimmed(text);
}

bool Short(const QString& text)
{
    return text.size() <= MidiText::MaxTextLength && Trimmed(text) && !text.contains(QChar::Null);
}

void Check(const MidiText::Texts& texts, std::size_t size)
{
    if (!Short(texts.title) || !Short(texts.copyright) || !Short(texts.artist) ||
        !Short(texts.comment) || texts.language.size() > 3)
        std::abort();
    if (texts.lyrics.size() > MidiText::MaxLyricsLength || !LinesTrimmed(texts.lyrics) ||
        texts.lyrics.contains(QChar::Null) || texts.lyrics.contains(QLatin1Char('\r')) ||
        texts.lyrics.contains(QStringLiteral("\n\n\n")))
        std::abort();
    // The title and the copyright come from bytes of their own.
    if (qsizetype(texts.title.size() + texts.copyright.size()) > qsizetype(size))
        std::abort();
    // Timed syllables are the lyrics, and the .lrc file has a line for each of their lines.
    if (texts.syllables.size() > MidiText::MaxSyllables ||
        (!texts.syllables.isEmpty() && MidiText::LyricsText(texts.syllables) != texts.lyrics))
        std::abort();
    const QByteArray lrc = LrcFile::Contents(texts);
    if (lrc.isEmpty() != texts.syllables.isEmpty() ||
        (!lrc.isEmpty() && lrc.count('\n') < MidiText::Lines(texts.syllables).size()))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The first byte says whether the file is named ".kar".
    if (size == 0)
        return 0;
    const QByteArrayView bytes(data + 1, qsizetype(size - 1));
    Check(MidiText::Read(bytes, data[0] & 1), size);
    return 0;
}
