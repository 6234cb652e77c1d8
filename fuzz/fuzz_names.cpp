#include "filelist/foldersearch.h"
#include "fuzzinput.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    // The first code unit splits the input into a name and a pattern.
    const QString text = FuzzText(data + 2, size - 2);
    const qsizetype split = qsizetype(data[0]) % (text.size() + 1);
    const QString name = text.left(split);
    const QString pattern = text.mid(split);
    FolderSearch::HasBadCharacters(name);
    if (!FolderSearch::MatchesWildcard(name, QStringLiteral("*")))
        std::abort();
    FolderSearch::MatchesWildcard(name, pattern);
    return 0;
}
