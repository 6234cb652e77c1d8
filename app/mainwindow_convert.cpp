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

// The installed tools a run starts.
struct Tools
{
    QString renderer;
    QString encoder;
};

// What one pass of the run takes from the list and the window: the entry, its MP3 path, and
// the job that converts it (none when it cannot be made).
struct Pass
{
    QString source;
    QString mp3;
    std::optional<Conversion::Job> job;
};

// The first part of a pass over list entry i, lines 126 to 146: takes the entry, shows it on
// the bar and makes its job. Answers false when the list has no entry i any more.
bool StartPass(MainWindow& form, tp::ErrorTrap& trap, Workspace& workspace, int i, Pass& pass)
{
    bool present = false;
    trap.at(126, [&] { Platform::PumpEvents(); });
    trap.at(128, [&] { form.setMousePointer(Pointer::Hourglass); });
    trap.at(130, [&] {
        // An entry removed during the run leaves fewer entries than passes: the last passes find
        // nothing, and the run names the entries that no pass took when it ends.
        if (i > form.fileList->count())
            return;
        pass.source = form.fileList->entryText(i);
        present = true;
    });
    if (!present)
        return false;
    trap.at(132, [&] {
        const double count = form.fileList->count();
        form.progressBar->SetValue(i / count * 100);
    });
    trap.at(134, [&] {
        form.progressBar->setText(QStringLiteral("Processing: ") +
                                  Platform::DisplayPath(Paths::FileNameOfPath(pass.source)));
    });
    trap.at(136, [&] { Platform::PumpEvents(); });

    bool saveToFolder = false;
    bool saveBesideSource = false;
    const QString& source = pass.source;
    trap.at(138, [&] { saveToFolder = form.saveToFolderOption->isChecked(); });
    if (saveToFolder) {
        trap.at(140, [&] {
            pass.mp3 =
                Conversion::Mp3Path(form.outputFolderBox->text(), Conversion::BaseName(source),
                                    form.bitrateBox->currentText());
        });
    } else {
        trap.at(142, [&] { saveBesideSource = form.saveBesideSourceOption->isChecked(); });
        if (saveBesideSource)
            trap.at(144, [&] {
                pass.mp3 =
                    Conversion::Mp3Path(Paths::FolderOfPath(source), Conversion::BaseName(source),
                                        form.bitrateBox->currentText());
            });
    }
    trap.at(146, [&] {
        pass.job.emplace(Conversion::Request{source, pass.mp3, workspace.path()});
    });
    return true;
}

// Why a pass cannot convert at all, or "": without an output path or a workspace there is
// nowhere to convert to; and clearing the way for a WAV file that is the source itself would
// delete the file to be converted.
QString Obstacle(const Pass& pass)
{
    if (pass.mp3.isEmpty())
        return QStringLiteral("no save option is selected");
    if (!pass.job)
        return QStringLiteral("the temporary folder cannot be used");
    if (Conversion::SameFile(pass.job->wavPath(), pass.source))
        return QStringLiteral("it lies in the temporary folder under the name of its own "
                              "temporary WAV file");
    return QString();
}

// The rest of the pass, lines 148 to 166: renders, encodes and judges the entry.
void ConvertPass(MainWindow& form, tp::ErrorTrap& trap, Workspace& workspace, const Tools& tools,
                 Pass& pass, QList<Conversion::FailedEntry>& failures)
{
    Conversion::Job& job = *pass.job;
    trap.at(148, [&] { job.removeWav(); });
    // The MP3 file is written under a temporary name and replaces an earlier one only once it
    // is whole, so a failed pass keeps the earlier result.
    trap.at(150, [&] { job.clearPartialMp3(); });

    QString program;
    trap.at(152, [&] { program = Staging::RunnableRenderer(tools.renderer, workspace); });
    Runner::Options wait;
    trap.at(154, [&] { wait = BarWait(form); });
    trap.at(156, [&] { job.render(program, wait); });

    // Encoding a WAV file without music would only make an MP3 file to be thrown away.
    if (job.renderedMusic()) {
        program.clear();
        trap.at(158, [&] { program = tools.encoder; });
        int bitrate = 0;
        trap.at(160, [&] {
            bitrate = Bitrate::BitrateNumber(form.bitrateBox->currentText());
            wait = BarWait(form);
        });
        trap.at(162, [&] { job.encode(program, bitrate, wait); });
    }
    trap.at(164, [&] { job.removeWav(); });

    trap.at(166, [&] {
        const Conversion::Outcome outcome = job.finish();
        if (!outcome.converted())
            failures.append({Paths::FileNameOfPath(pass.source), outcome.reason});
    });
}

// Finds the installed tools and the SoundFont and prepares the workspace for the renderer,
// lines 110 to 122. A tool that is missing is reported with the package to install.
Tools FindTools(tp::ErrorTrap& trap, Workspace& workspace)
{
    Tools tools;
    trap.at(110, [&] { tools.renderer = Staging::ResourceSource(Staging::Resource::Renderer); });
    trap.at(112, [&] {
        if (!tools.renderer.isEmpty())
            Staging::CheckProgram(tools.renderer, Staging::Resource::Renderer);
    });
    QString soundFont;
    trap.at(114, [&] { soundFont = Staging::ResourceSource(Staging::Resource::SoundFont); });
    trap.at(116, [&] {
        if (!soundFont.isEmpty())
            Staging::LinkSoundFont(soundFont, workspace);
    });
    trap.at(118, [&] { tools.encoder = Staging::ResourceSource(Staging::Resource::Encoder); });
    trap.at(120, [&] {
        if (!tools.encoder.isEmpty())
            Staging::CheckProgram(tools.encoder, Staging::Resource::Encoder);
    });
    trap.at(122, [&] { Staging::WriteConfig(workspace); });
    return tools;
}

// Removes the renderer's configuration and the SoundFont link, lines 172 and 174, and with
// them the workspace itself.
void RemoveWorkspaceFiles(tp::ErrorTrap& trap, Workspace& workspace)
{
    int line = 172;
    for (const QString& name : Staging::WorkspaceFiles()) {
        trap.at(line, [&] { Paths::DeleteFileQuiet(workspace.filePath(name)); });
        line += 2;
    }
    workspace.remove();
}

// The entries of the list, in order.
QStringList Entries(const FileListView& list)
{
    QStringList entries;
    for (int i = 1; i <= list.count(); ++i)
        entries.append(list.entryText(i));
    return entries;
}

} // namespace

bool MainWindow::mayStartConverting(tp::ErrorTrap& trap)
{
    bool running = false;
    trap.at(100, [&] { running = m_converting; });
    if (running)
        return false;
    trap.at(102, [&] { m_converting = true; });

    bool empty = false;
    trap.at(104, [&] { empty = fileList->count() == 0; });
    bool folderUsable = false;
    if (!empty)
        trap.at(106, [&] {
            folderUsable =
                Paths::FolderExists(outputFolderBox->text()) || saveBesideSourceOption->isChecked();
        });
    if (!empty && folderUsable)
        return true;
    const int line = empty ? 188 : 186;
    const QString text =
        empty ? QStringLiteral("No files added.")
              : QStringLiteral("Folder does not exist. Please select another folder.");
    trap.at(line, [&] {
        dialogs().messageBox(text, appTitle(), tp::MessageButtons::Ok, tp::MessageIcon::None);
    });
    trap.at(190, [&] { m_converting = false; });
    return false;
}

void MainWindow::startConverting()
{
    tp::ErrorTrap trap = this->trap(QStringLiteral("PushButton2_Click"));
    if (!mayStartConverting(trap))
        return;

    trap.at(108, [&] { setMousePointer(Pointer::Hourglass); });
    // Each run has a workspace of its own, so that runs of several windows never meet.
    Workspace workspace;
    const Tools tools = FindTools(trap, workspace);

    QStringList atStart;
    trap.at(124, [&] { atStart = Entries(*fileList); });
    QStringList taken;
    QList<Conversion::FailedEntry> failures;
    for (int i = 1; i <= atStart.size(); ++i) {
        Pass pass;
        if (!StartPass(*this, trap, workspace, i, pass))
            continue;
        taken.append(pass.source);
        const QString obstacle = Obstacle(pass);
        if (obstacle.isEmpty())
            ConvertPass(*this, trap, workspace, tools, pass, failures);
        else
            failures.append({Paths::FileNameOfPath(pass.source), obstacle});
    }
    trap.at(166, [&] {
        failures.append(Conversion::MissedEntries(atStart, taken, Entries(*fileList)));
    });

    trap.at(168, [&] { Platform::PumpEvents(); });
    RemoveWorkspaceFiles(trap, workspace);
    trap.at(178, [&] { setMousePointer(Pointer::Default); });
    trap.at(180, [&] { progressBar->SetValue(0); });
    trap.at(182, [&] { progressBar->setText(QStringLiteral("Progress Bar")); });
    trap.at(184, [&] {
        dialogs().messageBox(Conversion::FinalMessage(failures), appTitle(), tp::MessageButtons::Ok,
                             tp::MessageIcon::None);
    });
    trap.at(190, [&] { m_converting = false; });
}
