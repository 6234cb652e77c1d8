#include "cli/sources.h"

#include <QByteArray>
#include <cstdlib>

// The --files-from lists: any bytes, split one path a line or at NUL bytes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const bool nullSeparated : {false, true}) {
        QStringList paths;
        const bool read = Sources::SplitList(bytes, nullSeparated, paths);
        // Only a line list can hold a NUL byte inside a path, and it is then refused.
        if (read == (!nullSeparated && bytes.contains('\0')))
            std::abort();
        for (const QString& path : std::as_const(paths))
            if (path.isEmpty() || path.contains(QChar(u'\0')) ||
                (!nullSeparated && path.contains(QChar(u'\n'))))
                std::abort();
    }
    return 0;
}
