#include "convert/conversion.h"
#include "convert/staging.h"

#include <algorithm>
#include <cstdlib>

// The headers read from files and streams: a SoundFont's first bytes, and the renderer's WAVE
// output as it passes by in pieces of any size.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    Staging::IsSoundFontHeader(bytes);
    if (size < 1 || size > 65536)
        return 0;
    const qsizetype piece = 1 + data[0] % 64;
    Conversion::WavStream whole;
    Conversion::WavStream pieces;
    whole.feed(bytes);
    for (qsizetype at = 0; at < bytes.size(); at += piece)
        pieces.feed(bytes.sliced(at, std::min(piece, bytes.size() - at)));
    const Conversion::WavFacts a = whole.facts();
    const Conversion::WavFacts b = pieces.facts();
    if (a.isWave != b.isWave || a.audioBytes != b.audioBytes || a.audioBytes < 0 ||
        a.audioBytes > bytes.size() || a.channels != b.channels ||
        a.bitsPerSample != b.bitsPerSample || a.levelable() != b.levelable())
        std::abort();
    return 0;
}
