#include "convert/loudness.h"

#include <QTemporaryDir>
#include <algorithm>
#include <cstdlib>

// The renderer's WAVE stream as the leveller takes it, in pieces of any size: its format chunk
// (any channel count, rate and sample width), its samples, and what it gives the encoder.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2 || size > 65536)
        return 0;
    static QTemporaryDir spill;
    const QByteArrayView bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const qsizetype piece = 1 + data[0] % 64;
    Loudness::Settings settings;
    settings.target = data[0] % 2 ? std::optional<double>() : Loudness::DefaultTarget;
    settings.spillFolder = spill.path();
    // A bound this small makes most inputs spill.
    settings.memoryLimit = 4096;
    Loudness::Leveller leveller(settings);
    for (qsizetype at = 0; at < bytes.size(); at += piece)
        leveller.take(bytes.sliced(at, std::min(piece, bytes.size() - at)));
    leveller.producerEnded();
    qint64 given = 0;
    for (int round = 0; !leveller.exhausted(); ++round) {
        given += leveller.give(piece * 100).size();
        if (round > 1000000)
            std::abort();
    }
    const Conversion::WavFacts facts = leveller.wavFacts();
    if (facts.levelable() && facts.audioBytes >= facts.channels * facts.bitsPerSample / 8 &&
        given < 44)
        std::abort();
    return 0;
}
