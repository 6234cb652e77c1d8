#include "app/mainwindow.h"
#include "convert/paths.h"
#include "convert/platform.h"
#include "filelist/filelistview.h"
#include "filelist/foldersearch.h"

#include <QMimeData>
#include <QUrl>

namespace {

// The folder search's statements are numbered from here in the window's error reports.
constexpr int TreeSearchFirstLine = 114;

// The local paths of what is dropped, in the drop's order. Addresses of other kinds are no
// files of this computer.
QStringList DroppedPaths(const QMimeData* data)
{
    QStringList paths;
    if (data == nullptr || !data->hasUrls())
        return paths;
    const QList<QUrl> urls = data->urls();
    for (const QUrl& url : urls)
        if (const QString path = Platform::LocalPathOfUrl(url); !path.isEmpty())
            paths.append(path);
    return paths;
}

// A dropped path counts as a folder when it is found as one and its attributes say so.
bool IsDroppedFolder(const QString& path)
{
    if (!Paths::FolderExists(path))
        return false;
    const int attributes = Platform::FileAttributes(path);
    if (attributes < 0)
        throw tp::ApplicationError(QStringLiteral("Path not found: ") + path);
    return (attributes & Platform::Directory) != 0;
}

} // namespace

void MainWindow::fileListDragMoved(const QMimeData* data, Qt::DropAction& effect)
{
    if (DroppedPaths(data).isEmpty())
        effect = Qt::IgnoreAction;
}

void MainWindow::fileListDropped(const QMimeData* data)
{
    // A failure with one dropped path is reported like those of the other ways of adding
    // files, and the drop goes on with the next path.
    const QStringList paths = DroppedPaths(data);
    for (const QString& path : paths) {
        tp::ErrorTrap trap = this->trap(QStringLiteral("ListView1_OLEDragDrop"));
        bool folder = false;
        if (!trap.at(100, [&] { folder = IsDroppedFolder(path); }))
            continue;
        // The folder's search appends its own separator.
        if (folder)
            FolderSearch::AddTreeFiles([this](const QString& entry) { fileList->append(entry); },
                                       Platform::WithoutTrailingSeparators(path),
                                       QStringLiteral("*.*"), trap, reporter(),
                                       TreeSearchFirstLine);
        else
            trap.at(102, [&] { fileList->append(path); });
    }
}
