#include "app/form1.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>

void Form1::Combo1_Change()
{
    settings().SaveSetting(SettingKeys::Kbps, Combo1->currentText());
}

void Form1::Combo1_Click()
{
    Combo1_Change();
}

void Form1::Text1_Change()
{
    settings().SaveSetting(SettingKeys::OutputFolder, Text1->text());
}

void Form1::saveOptions()
{
    settings().SaveSetting(SettingKeys::Option1, BooleanText(Option1->isChecked()));
    settings().SaveSetting(SettingKeys::Option2, BooleanText(Option2->isChecked()));
    Frame3->setEnabled(Option1->isChecked());
}

void Form1::Option1_Click()
{
    saveOptions();
}

void Form1::Option2_Click()
{
    saveOptions();
}
