#include "app/mainwindow.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>

void MainWindow::bitrateChanged()
{
    settings().SaveSetting(SettingKeys::Kbps, bitrateBox->currentText());
}

void MainWindow::bitrateClicked()
{
    bitrateChanged();
}

void MainWindow::outputFolderEdited()
{
    settings().SaveSetting(SettingKeys::OutputFolder, outputFolderBox->text());
}

void MainWindow::saveOptions()
{
    settings().SaveSetting(SettingKeys::SaveToFolder, BooleanText(saveToFolderOption->isChecked()));
    settings().SaveSetting(SettingKeys::SaveBesideSource,
                           BooleanText(saveBesideSourceOption->isChecked()));
    outputFolderFrame->setEnabled(saveToFolderOption->isChecked());
}

void MainWindow::saveToFolderChosen()
{
    saveOptions();
}

void MainWindow::saveBesideSourceChosen()
{
    saveOptions();
}
