#include "app/form1.h"
#include "app/progressbar.h"
#include "convert/bit.h"
#include "convert/conversion.h"
#include "convert/job.h"
#include "convert/main_paths.h"
#include "convert/platform.h"
#include "convert/runner.h"
#include "convert/staging.h"
#include "convert/workspace.h"
#include "filelist/listview1.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QRadioButton>
#include <optional>

namespace {

// The window style the tools run with: hidden.
constexpr int Hidden = 0;

// How a tool's wait shows on the bar: from the bar's text and value and the list's count now.
Runner::Options BarWait(Form1& form)
{
    Runner::Options wait;
    wait.windowStyle = Hidden;
    wait.progressBar = form.ProgressBar1;
    wait.baseText = form.ProgressBar1->Text();
    wait.startValue = form.ProgressBar1->Value();
    wait.entryCount = form.listView1->count();
    return wait;
}

// One pass of the run over list entry i, lines 126 to 166. Failures of its statements are
// reported through the trap and the pass goes on; an entry that did not become an MP3 file is
// added to the failures.
void ConvertEntry(Form1& form, tp::ErrorTrap& trap, Workspace& workspace, int i, QStringList& taken,
                  QList<Conversion::FailedEntry>& failures)
{
    QString source;
    QString mp3;
    bool present = false;

    trap.at(126, [&] { Platform::PumpEvents(); });
    trap.at(128, [&] { form.setMousePointer(Pointer::Hourglass); });
    trap.at(130, [&] {
        // An entry removed during the run leaves fewer entries than passes: the last passes find
        // nothing, and the run names the entries that no pass took when it ends.
        if (i > form.listView1->count())
            return;
        source = form.listView1->entryText(i);
        taken.append(source);
        present = true;
    });
    if (!present)
        return;
    trap.at(132, [&] {
        const double count = form.listView1->count();
        form.ProgressBar1->SetValue(i / count * 100);
    });
    trap.at(134, [&] {
        form.ProgressBar1->setText(QStringLiteral("Processing: ") + Main::FileNameOfPath(source));
    });
    trap.at(136, [&] { Platform::PumpEvents(); });

    bool option1 = false;
    bool option2 = false;
    trap.at(138, [&] { option1 = form.Option1->isChecked(); });
    if (option1) {
        trap.at(140, [&] {
            mp3 = Conversion::Mp3Path(form.Text1->text(), Conversion::BaseName(source),
                                      form.Combo1->currentText());
        });
    } else {
        trap.at(142, [&] { option2 = form.Option2->isChecked(); });
        if (option2)
            trap.at(144, [&] {
                mp3 = Conversion::Mp3Path(Main::FolderOfPath(source), Conversion::BaseName(source),
                                          form.Combo1->currentText());
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
        failures.append({Main::FileNameOfPath(source), cannot});
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
            bitrate = Bit::changeKBPS(form.Combo1->currentText());
            wait = BarWait(form);
        });
        trap.at(162, [&] { job->encode(program, bitrate, wait); });
    }
    trap.at(164, [&] { job->removeWav(); });

    trap.at(166, [&] {
        const Conversion::Outcome outcome = job->finish();
        if (!outcome.converted())
            failures.append({Main::FileNameOfPath(source), outcome.reason});
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
        trap.at(line, [&] { Main::DeleteFileQuiet(workspace.filePath(name)); });
        line += 2;
    }
    workspace.remove();
}

} // namespace

void Form1::PushButton2_Click()
{
    tp::ErrorTrap trap = this->trap(QStringLiteral("PushButton2_Click"));

    bool running = false;
    trap.at(100, [&] { running = IsConverting; });
    if (running)
        return;
    trap.at(102, [&] { IsConverting = true; });

    bool empty = false;
    trap.at(104, [&] { empty = listView1->count() == 0; });
    if (empty) {
        trap.at(188, [&] {
            dialogs().messageBox(QStringLiteral("No files added."), appTitle(),
                                 tp::MessageButtons::Ok, tp::MessageIcon::None);
        });
        trap.at(190, [&] { IsConverting = false; });
        return;
    }

    bool folderUsable = false;
    trap.at(106, [&] { folderUsable = Main::FolderExists(Text1->text()) || Option2->isChecked(); });
    if (!folderUsable) {
        trap.at(186, [&] {
            dialogs().messageBox(
                QStringLiteral("Folder does not exist. Please select another folder."), appTitle(),
                tp::MessageButtons::Ok, tp::MessageIcon::None);
        });
        trap.at(190, [&] { IsConverting = false; });
        return;
    }

    trap.at(108, [&] { setMousePointer(Pointer::Hourglass); });
    // Each run has a workspace of its own, so that runs of several windows never meet.
    Workspace workspace;
    StageTools(trap, workspace);

    int entryCount = 0;
    QStringList atStart;
    trap.at(124, [&] {
        entryCount = listView1->count();
        for (int i = 1; i <= entryCount; ++i)
            atStart.append(listView1->entryText(i));
    });
    QStringList taken;
    QList<Conversion::FailedEntry> failures;
    for (int i = 1; i <= entryCount; ++i)
        ConvertEntry(*this, trap, workspace, i, taken, failures);
    trap.at(166, [&] {
        QStringList now;
        for (int i = 1; i <= listView1->count(); ++i)
            now.append(listView1->entryText(i));
        failures.append(Conversion::MissedEntries(atStart, taken, now));
    });

    trap.at(168, [&] { Platform::PumpEvents(); });
    RemoveStagedTools(trap, workspace);
    trap.at(178, [&] { setMousePointer(Pointer::Default); });
    trap.at(180, [&] { ProgressBar1->SetValue(0); });
    trap.at(182, [&] { ProgressBar1->setText(QStringLiteral("Progress Bar")); });
    trap.at(184, [&] {
        dialogs().messageBox(Conversion::FinalMessage(failures), appTitle(), tp::MessageButtons::Ok,
                             tp::MessageIcon::None);
    });
    trap.at(190, [&] { IsConverting = false; });
}
