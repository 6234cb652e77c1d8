#include "app/form1.h"
#include "convert/platform.h"
#include "filelist/addfolder.h"
#include "filelist/listview1.h"

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

void Form1::PushButton3_Click()
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
        chosen = AddFolder::BrowseForFolder(
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
    AddFolder::AddTreeFiles([this](const QString& path) { listView1->append(path); }, chosen,
                            QStringLiteral("*.") + extension, trap, reporter(),
                            TreeSearchFirstLine);
    trap.at(136, [&] { setMousePointer(Pointer::Default); });
}

void Form1::PushButton7_Click()
{
    tp::ErrorTrap trap = this->trap(QStringLiteral("PushButton7_Click"));

    QString chosen;
    trap.at(100, [&] {
        const QString lastFolder =
            settings().GetSetting(SettingKeys::LastFolderDot, SettingDefaults::LastFolderDot);
        chosen = AddFolder::BrowseForFolder(dialogs(), FolderPrompt(), lastFolder);
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
        trap.at(106, [&] { Text1->setText(chosen + Platform::NativeSeparator); });
    else
        trap.at(108, [&] { Text1->setText(chosen); });
}
