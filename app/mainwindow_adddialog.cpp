#include "app/mainwindow.h"
#include "convert/paths.h"
#include "filelist/filelistview.h"
#include "filelist/opendialog.h"

void MainWindow::addFiles()
{
    tp::ErrorTrap trap = this->trap(QStringLiteral("PushButton1_Click"));
    OpenFilesDialog CommonDialog1;
    trap.at(104, [&] { CommonDialog1.FileName.clear(); });
    trap.at(106, [&] { CommonDialog1.Flags = OpenFilesDialog::MultiSelectFlags; });
    trap.at(108, [&] {
        CommonDialog1.DialogTitle =
            QStringLiteral("Add File(s) - Hold Ctrl to select multiple files");
    });
    trap.at(110, [&] { CommonDialog1.Filter = QStringLiteral("MIDI File (*.mid)"); });

    bool tooMany = false;
    trap.at(112, [&] {
        try {
            CommonDialog1.ShowOpen(dialogs());
        } catch (const DialogError& error) {
            if (error.number() != OpenFilesDialog::BufferTooSmall)
                throw;
            tooMany = true;
            dialogs().messageBox(
                QStringLiteral("You've selected too many files to add.") + QStringLiteral("\r\r") +
                    QStringLiteral("Please try adding via the \"Add All\" button."),
                appTitle(), tp::MessageButtons::Ok, tp::MessageIcon::None);
        }
    });
    if (tooMany)
        return;

    bool cancelled = false;
    trap.at(114, [&] { cancelled = CommonDialog1.FileName.isEmpty(); });
    if (cancelled)
        return;

    QStringList parts;
    trap.at(116, [&] { parts = CommonDialog1.FileName.split(QChar(u'\0')); });
    bool single = false;
    trap.at(118, [&] { single = parts.size() == 1; });
    if (single) {
        QString path;
        trap.at(120, [&] { path = parts.first(); });
        trap.at(122, [&] { fileList->append(path); });
        return;
    }

    bool several = false;
    trap.at(124, [&] { several = parts.size() >= 2; });
    if (!several)
        return;
    qsizetype first = 0;
    qsizetype last = -1;
    trap.at(126, [&] { first = 1; });
    trap.at(128, [&] { last = parts.size() - 1; });
    for (qsizetype name = first; name <= last; ++name) {
        QString path;
        trap.at(136, [&] { path = parts.at(0) + Platform::NativeSeparator + parts.at(name); });
        trap.at(138, [&] { path = Paths::CollapseBackslashes(path); });
        trap.at(140, [&] { fileList->append(path); });
    }
}
