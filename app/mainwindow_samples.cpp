#include "app/mainwindow.h"
#include "filelist/filelistview.h"
#include "filelist/samples.h"

void MainWindow::loadSamples()
{
    tp::ErrorTrap trap = this->trap(QStringLiteral("PushButton5_Click"));
    // A failure while adding ends the operation: the question is only asked after the
    // samples are in the list.
    if (trap.at(100, [&] { Samples::LoadSampleFiles(*fileList, programFolder()); }))
        trap.at(102, [&] { Samples::OfferSamplesFolder(dialogs(), appTitle(), programFolder()); });
}
