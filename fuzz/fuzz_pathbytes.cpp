#include "convert/platform.h"
#include "fuzzinput.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Any bytes a file name can hold come back from their text unchanged.
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString text = Platform::DecodePath(bytes);
    if (Platform::EncodePath(text) != bytes)
        std::abort();
    // Any text, lone surrogates included, names one set of bytes, which stay the same through
    // a second round.
    const QString anyText = FuzzText(data, size);
    const QByteArray encoded = Platform::EncodePath(anyText);
    if (Platform::EncodePath(Platform::DecodePath(encoded)) != encoded)
        std::abort();
    // What is shown is valid Unicode.
    for (const QString& shown : {Platform::DisplayPath(text), Platform::DisplayPath(anyText)})
        if (!shown.isValidUtf16())
            std::abort();
    return 0;
}
