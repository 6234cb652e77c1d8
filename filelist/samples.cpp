#include "filelist/samples.h"

#include "convert/paths.h"
#include "filelist/filelistview.h"
#include "filelist/foldersearch.h"

#include <QUrl>

namespace Samples {

QString SamplesFolder(const QString& programFolder)
{
    return programFolder + QStringLiteral("/Samples");
}

QString OfferText()
{
    return QStringLiteral("Would you like this software to open the folder where these sample "
                          "files are stored (so that you can view them before working with "
                          "them)?");
}

bool IsInList(const FileListView& list, const QString& text)
{
    const int count = list.count();
    for (int position = 1; position <= count; ++position)
        if (list.entryText(position) == text)
            return true;
    return false;
}

void LoadSampleFiles(FileListView& list, const QString& programFolder)
{
    const QString folder = SamplesFolder(programFolder);
    const QStringList names = FolderSearch::GetFilesInFolder(folder, QStringLiteral("*.*"));
    for (const QString& name : names) {
        const QString path = folder + Platform::NativeSeparator + name;
        if (!Paths::FileExists(path) || IsInList(list, path))
            continue;
        list.append(path);
    }
}

void OfferSamplesFolder(tp::Dialogs& dialogs, const QString& appTitle, const QString& programFolder)
{
    const tp::MessageAnswer answer =
        dialogs.messageBox(OfferText(), appTitle, tp::MessageButtons::YesNo, tp::MessageIcon::None);
    if (answer == tp::MessageAnswer::Yes)
        dialogs.openUrl(
            QUrl::fromLocalFile(SamplesFolder(programFolder) + Platform::NativeSeparator));
}

} // namespace Samples
