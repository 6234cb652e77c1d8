#include "convert/paths.h"
#include "fuzzinput.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString path = FuzzText(data, size);
    for (const QChar separator : {QChar(u'/'), QChar(u'\\')}) {
        const QString folder = Paths::FolderOfPath(path, separator);
        const QString name = Paths::FileNameOfPath(path, separator);
        // The folder part and the name part always make up the whole text again.
        if (folder + name != path)
            std::abort();
        const QString collapsed = Paths::CollapseBackslashes(path, separator);
        if (collapsed.size() > path.size() + 1)
            std::abort();
    }
    const QString stem = Paths::StripExtension(path);
    if (!path.startsWith(stem))
        std::abort();
    return 0;
}
