#include "app/mainwindow.h"
#include "app/progressbar.h"
#include "convert/bitrate.h"
#include "convert/conversion.h"
#include "convert/job.h"
#include "convert/paths.h"
#include "convert/platform.h"
#include "convert/runner.h"
#include "convert/staging.h"
#include "convert/workspace.h"
#include "filelist/filelistview.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QRadioButton>
#include <optional>

namespace {

// The window style the tools run with: hidden.
constexpr int Hidden = 0;

// How a tool's wait shows on the bar: from the bar's text and value and the list's count now.
Runner::Options BarWait(MainWindow& form)
{
    Runner::Options wait;
    wait.windowStyle = Hidden;
    wait.progressBar = form.progressBar;
    wait.baseText = form.progressBar->Text();
    wait.startValue = form.progressBar->Value();
    wait.entryCount = form.fileList->count();
    return wait;
}

// One pass of the run over list entry i, lines 126 to 166. Failures of its statements are
// reported through the trap and the pass goes on; an entry that did not become an MP3 file is
// added to the failures.
void ConvertEntry(MainWindow& form, tp::ErrorTrap& trap, Workspace& workspace, int i,
                  QStringList& taken, QList<Conversion::FailedEntry>& failures)
{
    QString source;
    QString mp3;
    bool present = false;

    trap.at(126, [&] { Platform::PumpEvents(); });
    trap.at(128, [&] { form.setMousePointer(Pointer::Hourglass); });
    trap.at(130, [&] {
        // An entry removed during the run leaves fewer entries than passes: the last passes find
        // nothing, and the run names the entries that no pass took when it ends.
        if (i > form.fileList->count())
            return;
        source = form.fileList->entryText(i);
        taken.append(source);
        present = true;
    });
    if (!present)
        return;
    trap.at(132, [&] {
        const double count = form.fileList->count();
        form.progressBar->SetValue(i / count * 100);
    });
    trap.at(134, [&] {
        form.progressBar->setText(QStringLiteral("Processing: ") + Paths::FileNameOfPath(source));
    });
    trap.at(136, [&] { Platform::PumpEvents(); });

    bool saveToFolder = false;
    bool saveBesideSource = false;
    trap.at(138, [&] { saveToFolder = form.saveToFolderOption->isChecked(); });
    if (saveToFolder) {
        trap.at(140, [&] {
            mp3 = Conversion::Mp3Path(form.outputFolderBox->text(), Conversion::BaseName(source),
                                      form.bitrateBox->currentText());
        });
    } else {
        trap.at(142, [&] { saveBesideSource = form.saveBesideSourceOption->isChecked(); });
        if (saveBesideSource)
            trap.at(144, [&] {
                mp3 = Conversion::Mp3Path(Paths::FolderOfPath(source), Conversion::BaseName(source),
                                          form.bitrateBox->currentText());
            });
    }
    std::optional<Conversion::Job> job;
    bool wavIsSource = false;
    trap.at(146, [&] {
        job.emplace(Conversion::Request{source, mp3, 0, workspace.path()});
        wavIsSource = Conversion::SameFile(job->wavPath(), source);
    });
    // Without an output path or a workspace there is nowhere to convert to; and clearing the
    // way for a WAV file that is the source itself would delete the file to be converted.
    QString cannot;
    if (mp3.isEmpty())
        cannot = QStringLiteral("no save option is selected");
    else if (!job)
        cannot = QStringLiteral("the temporary folder cannot be used");
    else if (wavIsSource)
        cannot = QStringLiteral("it lies in the temporary folder under the name of its own "
                                "temporary WAV file");
    if (!cannot.isEmpty()) {
        failures.append({Paths::FileNameOfPath(source), cannot});
        return;
    }

    trap.at(148, [&] { job->clearWav(); });
    // The MP3 file is written under a temporary name and replaces an earlier one only once it
    // is whole, so a failed pass keeps the earlier result.
    trap.at(150, [&] { job->clearPartialMp3(); });

    QString program;
    trap.at(152,
            [&] { program = Staging::RunnableProgram(Staging::Resource::Renderer, workspace); });
    Runner::Options wait;
    trap.at(154, [&] { wait = BarWait(form); });
    trap.at(156, [&] { job->render(program, wait); });

    // Encoding a WAV file without music would only make an MP3 file to be thrown away.
    if (job->renderedMusic()) {
        program.clear();
        trap.at(158,
                [&] { program = Staging::RunnableProgram(Staging::Resource::Encoder, workspace); });
        int bitrate = 0;
        trap.at(160, [&] {
            bitrate = Bitrate::BitrateNumber(form.bitrateBox->currentText());
            wait = BarWait(form);
        });
        trap.at(162, [&] { job->encode(program, bitrate, wait); });
    }
    trap.at(164, [&] { job->removeWav(); });

    trap.at(166, [&] {
        const Conversion::Outcome outcome = job->finish();
        if (!outcome.converted())
            failures.append({Paths::FileNameOfPath(source), outcome.reason});
    });
}

// Stages the three tools and the configuration in the workspace, lines 110 to 122.
void StageTools(tp::ErrorTrap& trap, Workspace& workspace)
{
    const Staging::Resource resources[] = {
        Staging::Resource::Renderer, Staging::Resource::SoundFont, Staging::Resource::Encoder};
    int line = 110;
    for (const Staging::Resource resource : resources) {
        QByteArray bytes;
        trap.at(line, [&] { bytes = Staging::LoadResource(resource); });
        trap.at(line + 2, [&] { Staging::StageResource(bytes, resource, workspace); });
        line += 4;
    }
    trap.at(122, [&] { Staging::WriteConfig(workspace); });
}

// Removes the four staged files, lines 170 to 176, and with the last the workspace itself.
void RemoveStagedTools(tp::ErrorTrap& trap, Workspace& workspace)
{
    int line = 170;
    for (const QString& name : Staging::StagedNames()) {
        trap.at(line, [&] { Paths::DeleteFileQuiet(workspace.filePath(name)); });
        line += 2;
    }
    workspace.remove();
}

} // namespace

void MainWindow::startConverting()
{
    tp::ErrorTrap trap = this->trap(QStringLiteral("PushButton2_Click"));

    bool running = false;
    trap.at(100, [&] { running = m_converting; });
    if (running)
        return;
    trap.at(102, [&] { m_converting = true; });

    bool empty = false;
    trap.at(104, [&] { empty = fileList->count() == 0; });
    if (empty) {
        trap.at(188, [&] {
            dialogs().messageBox(QStringLiteral("No files added."), appTitle(),
                                 tp::MessageButtons::Ok, tp::MessageIcon::None);
        });
        trap.at(190, [&] { m_converting = false; });
        return;
    }

    bool folderUsable = false;
    trap.at(106, [&] {
        folderUsable =
            Paths::FolderExists(outputFolderBox->text()) || saveBesideSourceOption->isChecked();
    });
    if (!folderUsable) {
        trap.at(186, [&] {
            dialogs().messageBox(
                QStringLiteral("Folder does not exist. Please select another folder."), appTitle(),
                tp::MessageButtons::Ok, tp::MessageIcon::None);
        });
        trap.at(190, [&] { m_converting = false; });
        return;
    }

    trap.at(108, [&] { setMousePointer(Pointer::Hourglass); });
    // Each run has a workspace of its own, so that runs of several windows never meet.
    Workspace workspace;
    StageTools(trap, workspace);

    int entryCount = 0;
    QStringList atStart;
    trap.at(124, [&] {
        entryCount = fileList->count();
        for (int i = 1; i <= entryCount; ++i)
            atStart.append(fileList->entryText(i));
    });
    QStringList taken;
    QList<Conversion::FailedEntry> failures;
    for (int i = 1; i <= entryCount; ++i)
        ConvertEntry(*this, trap, workspace, i, taken, failures);
    trap.at(166, [&] {
        QStringList now;
        for (int i = 1; i <= fileList->count(); ++i)
            now.append(fileList->entryText(i));
        failures.append(Conversion::MissedEntries(atStart, taken, now));
    });

    trap.at(168, [&] { Platform::PumpEvents(); });
    RemoveStagedTools(trap, workspace);
    trap.at(178, [&] { setMousePointer(Pointer::Default); });
    trap.at(180, [&] { progressBar->SetValue(0); });
    trap.at(182, [&] { progressBar->setText(QStringLiteral("Progress Bar")); });
    trap.at(184, [&] {
        dialogs().messageBox(Conversion::FinalMessage(failures), appTitle(), tp::MessageButtons::Ok,
                             tp::MessageIcon::None);
    });
    trap.at(190, [&] { m_converting = false; });
}
