#include "convert/applicationerror.h"
#include "convert/bitrate.h"
#include "fuzzinput.h"

#include <cmath>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = FuzzText(data, size);
    const double number = Bitrate::LenientNumber(text);
    if (std::isnan(number))
        std::abort();
    try {
        const int kbps = Bitrate::BitrateNumber(text);
        if (kbps < -32768 || kbps > 32767)
            std::abort();
    } catch (const tp::ApplicationError&) {
        // Overflow is the one failure the conversion may raise.
    }
    return 0;
}
