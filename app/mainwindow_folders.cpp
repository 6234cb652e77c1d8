#include "app/mainwindow.h"
#include "convert/platform.h"
#include "filelist/filelistview.h"
#include "filelist/foldersearch.h"

#include <QLineEdit>

namespace {

// The folder search's statements are numbered from here in the window's error reports.
constexpr int TreeSearchFirstLine = 114;

QString FolderPrompt()
{
    return QStringLiteral("Please select folder:");
}

QString ExtensionPrompt()
{
    return QStringLiteral("Enter file extension to load:") + QStringLiteral("\r\r") +
           QStringLiteral("(* for all files, txt for all txt files, doc for all doc files, etc.)");
}

} // namespace

void MainWindow::addAllFilesInFolder()
{
    tp::ErrorTrap trap = this->trap(QStringLiteral("PushButton3_Click"));

    QString extension;
    trap.at(100, [&] {
        extension = dialogs().inputBox(
            ExtensionPrompt(), appTitle(),
            settings().GetSetting(SettingKeys::Extension, SettingDefaults::Extension));
        if (!extension.isEmpty())
            settings().SaveSetting(SettingKeys::Extension, extension);
    });
    bool stop = true;
    trap.at(102, [&] { stop = extension.isEmpty(); });
    if (stop)
        return;

    QString chosen;
    trap.at(104, [&] {
        chosen = FolderSearch::BrowseForFolder(
            dialogs(), FolderPrompt(),
            settings().GetSetting(SettingKeys::LastFolder, SettingDefaults::LastFolder));
    });
    trap.at(106, [&] { stop = chosen.isEmpty(); });
    if (stop)
        return;
    QString lastFolder;
    trap.at(333, [&] { lastFolder = chosen; });
    trap.at(334, [&] { settings().SaveSetting(SettingKeys::LastFolder, lastFolder); });

    trap.at(112, [&] { setMousePointer(Pointer::Hourglass); });
    FolderSearch::AddTreeFiles([this](const QString& path) { fileList->append(path); }, chosen,
                               QStringLiteral("*.") + extension, trap, reporter(),
                               TreeSearchFirstLine);
    trap.at(136, [&] { setMousePointer(Pointer::Default); });
}

void MainWindow::browseForOutputFolder()
{
    tp::ErrorTrap trap = this->trap(QStringLiteral("PushButton7_Click"));

    QString chosen;
    trap.at(100, [&] {
        const QString lastFolder =
            settings().GetSetting(SettingKeys::LastFolderDot, SettingDefaults::LastFolderDot);
        chosen = FolderSearch::BrowseForFolder(dialogs(), FolderPrompt(), lastFolder);
    });
    bool stop = true;
    trap.at(102, [&] { stop = chosen.isEmpty(); });
    if (stop)
        return;
    bool endsWithSeparator = false;
    trap.at(104, [&] {
        settings().SaveSetting(SettingKeys::LastFolderDot, chosen);
        endsWithSeparator = chosen.endsWith(Platform::NativeSeparator);
    });
    if (!endsWithSeparator)
        trap.at(106, [&] { outputFolderBox->setText(chosen + Platform::NativeSeparator); });
    else
        trap.at(108, [&] { outputFolderBox->setText(chosen); });
}
