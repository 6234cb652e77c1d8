#include "app/form1.h"
#include "filelist/listview1.h"
#include "filelist/samples.h"

void Form1::PushButton5_Click()
{
    tp::ErrorTrap trap = this->trap(QStringLiteral("PushButton5_Click"));
    // A failure while adding ends the operation: the question is only asked after the
    // samples are in the list.
    if (trap.at(100, [&] { Samples::LoadSampleFiles(*listView1, programFolder()); }))
        trap.at(102, [&] { Samples::OfferSamplesFolder(dialogs(), appTitle(), programFolder()); });
}
