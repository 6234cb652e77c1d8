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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const MidiText::Texts texts = MidiText::Read(QByteArrayView(data, qsizetype(size)));
    if (texts.title.size() > MidiText::MaxTextLength ||
        texts.copyright.size() > MidiText::MaxTextLength ||
        texts.lyrics.size() > MidiText::MaxLyricsLength)
        std::abort();
    if (!Trimmed(texts.title) || !Trimmed(texts.copyright) || !LinesTrimmed(texts.lyrics) ||
        texts.title.contains(QChar::Null) || texts.lyrics.contains(QChar::Null) ||
        texts.lyrics.contains(QLatin1Char('\r')) || texts.lyrics.contains(QStringLiteral("\n\n\n")))
        std::abort();
    // The title and the copyright come from bytes of their own.
    if (qsizetype(texts.title.size() + texts.copyright.size()) > qsizetype(size))
        std::abort();
    return 0;
}
