#include "app/form1.h"
#include "app/progressbar.h"
#include "convert/bit.h"
#include "convert/conversion.h"
#include "convert/main_paths.h"
#include "convert/platform.h"
#include "convert/runner.h"
#include "convert/staging.h"
#include "filelist/listview1.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QRadioButton>

namespace {

// The window style the tools run with: hidden.
constexpr int Hidden = 0;

// One pass of the run over list entry i, lines 126 to 166. Failures of its statements are
// reported through the trap and the pass goes on; an entry that did not become an MP3 file is
// added to the failures.
void ConvertEntry(Form1& form, tp::ErrorTrap& trap, int i, QStringList& taken,
                  QList<Conversion::FailedEntry>& failures)
{
    QString source;
    QString mp3;
    QString wav;
    Runner::Command renderer;
    Runner::Command encoder;
    Conversion::EntryFacts facts;
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
    bool wavIsSource = false;
    trap.at(146, [&] {
        wav = Conversion::WavPath(Platform::TempFolder(), Conversion::BaseName(source));
        wavIsSource = Conversion::SameFile(wav, source);
    });
    // Without an output path or a TEMP folder there is nowhere to convert to; and clearing the
    // way for a WAV file that is the source itself would delete the file to be converted.
    QString cannot;
    if (mp3.isEmpty())
        cannot = QStringLiteral("no save option is selected");
    else if (wav.isEmpty())
        cannot = QStringLiteral("the temporary folder cannot be used");
    else if (wavIsSource)
        cannot = QStringLiteral("it lies in the temporary folder under the name of its own "
                                "temporary WAV file");
    if (!cannot.isEmpty()) {
        failures.append({Main::FileNameOfPath(source), cannot});
        return;
    }

    trap.at(148, [&] { Main::DeleteFileQuiet(wav); });
    trap.at(150, [&] { Main::DeleteFileQuiet(mp3); });

    QString program;
    trap.at(152, [&] { program = Staging::RunnableProgram(Staging::Resource::Renderer); });
    trap.at(154, [&] {
        renderer = Staging::RendererCommand(program, Platform::TempFolder(), source, wav);
    });
    trap.at(156, [&] {
        // A source that is not a readable file is not handed to the renderer: there is
        // nothing to render, and a named pipe would never answer.
        facts.sourceProblem = Conversion::SourceProblem(source);
        if (!facts.sourceProblem.isEmpty())
            return;
        Runner::RunAndWait(renderer, Hidden, form.ProgressBar1, form.ProgressBar1->Text(),
                           form.ProgressBar1->Value(), form.listView1->count(), &facts.rendered);
        facts.wavWriteError = Conversion::WriteErrorIn(facts.rendered, wav);
        facts.wav = Conversion::InspectWav(wav);
    });

    // Encoding a WAV file without music would only make an MP3 file to be thrown away.
    if (Conversion::RenderFailure(facts).isEmpty()) {
        program.clear();
        trap.at(158, [&] { program = Staging::RunnableProgram(Staging::Resource::Encoder); });
        trap.at(160, [&] {
            encoder = Staging::EncoderCommand(program, Bit::changeKBPS(form.Combo1->currentText()),
                                              wav, mp3);
        });
        trap.at(162, [&] {
            Runner::RunAndWait(encoder, Hidden, form.ProgressBar1, form.ProgressBar1->Text(),
                               form.ProgressBar1->Value(), form.listView1->count(), &facts.encoded);
            facts.mp3Written = QFileInfo(mp3).isFile() && QFileInfo(mp3).size() > 0;
        });
    }
    trap.at(164, [&] { Main::DeleteFileQuiet(wav); });

    trap.at(166, [&] {
        const QString reason = Conversion::Judge(facts);
        if (reason.isEmpty())
            return;
        // What a failed encoder left behind is not a result.
        Main::DeleteFileQuiet(mp3);
        failures.append({Main::FileNameOfPath(source), reason});
    });
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
    Staging::StageTools(trap);

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
        ConvertEntry(*this, trap, i, taken, failures);
    trap.at(166, [&] {
        QStringList now;
        for (int i = 1; i <= listView1->count(); ++i)
            now.append(listView1->entryText(i));
        failures.append(Conversion::MissedEntries(atStart, taken, now));
    });

    trap.at(168, [&] { Platform::PumpEvents(); });
    Staging::RemoveStagedTools(trap);
    trap.at(178, [&] { setMousePointer(Pointer::Default); });
    trap.at(180, [&] { ProgressBar1->SetValue(0); });
    trap.at(182, [&] { ProgressBar1->setText(QStringLiteral("Progress Bar")); });
    trap.at(184, [&] {
        dialogs().messageBox(Conversion::FinalMessage(failures), appTitle(), tp::MessageButtons::Ok,
                             tp::MessageIcon::None);
    });
    trap.at(190, [&] { IsConverting = false; });
}
