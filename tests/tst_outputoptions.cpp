#include "app/form1.h"
#include "testform.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

class TestOutputOptions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void browseSetsOutputFolder_data();
    void browseSetsOutputFolder();
    void cancelledBrowseChangesNothing();
    void browseStartsInFolderChosenLastWithThisButton();
    void optionsSaveBothAndEnableFolderBox();
    void clearedOutputFolderStaysEmptyAfterRestart();

private:
    void restart();
    QString stored(const QString& key) const
    {
        return t->settings->GetSetting(key, QStringLiteral("<none>"));
    }

    std::unique_ptr<TestForm> t;
};

void TestOutputOptions::init()
{
    t = std::make_unique<TestForm>();
    t->load();
}

void TestOutputOptions::cleanup()
{
    t.reset();
}

// A new window over the same settings file, as at the next start of the program.
void TestOutputOptions::restart()
{
    t->form.reset();
    t->settings = std::make_unique<SettingsStore>(t->settingsFile());
    t->dialogs.clear();
    t->load();
}

void TestOutputOptions::browseSetsOutputFolder_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("text1");
    QTest::addColumn<QString>("lastFolderDot");
    QTest::newRow("root keeps its one separator") << "/"
                                                  << "/"
                                                  << "/";
    QTest::newRow("folder gets a separator") << "/home/u/Music"
                                             << "/home/u/Music/"
                                             << "/home/u/Music";
    QTest::newRow("picker answer with separator") << "/home/u/Music/"
                                                  << "/home/u/Music/"
                                                  << "/home/u/Music";
}

void TestOutputOptions::browseSetsOutputFolder()
{
    QFETCH(QString, answer);
    QFETCH(QString, text1);
    QFETCH(QString, lastFolderDot);
    t->dialogs.folderAnswers << answer;
    t->form->PushButton7_Click();

    QCOMPARE(t->form->Text1->text(), text1);
    QCOMPARE(stored(SettingKeys::OutputFolder), text1);
    QCOMPARE(stored(SettingKeys::LastFolderDot), lastFolderDot);
    QCOMPARE(t->dialogs.shown.size(), 1);
    QCOMPARE(t->dialogs.shown[0].kind, QStringLiteral("folder"));
    QCOMPARE(t->dialogs.shown[0].text, QStringLiteral("Please select folder:"));
    QCOMPARE(t->dialogs.shown[0].proposed, QString());
}

void TestOutputOptions::cancelledBrowseChangesNothing()
{
    t->settings->SaveSetting(SettingKeys::LastFolderDot, QStringLiteral("/previous"));
    t->form->Text1->setText(QStringLiteral("/out/"));
    t->form->PushButton7_Click();
    QCOMPARE(t->form->Text1->text(), QStringLiteral("/out/"));
    QCOMPARE(stored(SettingKeys::OutputFolder), QStringLiteral("/out/"));
    QCOMPARE(stored(SettingKeys::LastFolderDot), QStringLiteral("/previous"));
    QCOMPARE(t->dialogs.shown.value(0).proposed, QStringLiteral("/previous"));
    QCOMPARE(t->dialogs.messageTexts(), QStringList());
}

void TestOutputOptions::browseStartsInFolderChosenLastWithThisButton()
{
    t->settings->SaveSetting(SettingKeys::LastFolder, QStringLiteral("/added/from"));
    t->dialogs.folderAnswers << QStringLiteral("/music");
    t->form->PushButton7_Click();
    t->dialogs.clear();
    t->form->PushButton7_Click();
    QCOMPARE(t->dialogs.shown.value(0).proposed, QStringLiteral("/music"));

    restart();
    t->form->PushButton7_Click();
    QCOMPARE(t->dialogs.shown.value(0).proposed, QStringLiteral("/music"));
    QCOMPARE(t->form->Text1->text(), QStringLiteral("/music/"));
}

void TestOutputOptions::optionsSaveBothAndEnableFolderBox()
{
    t->form->Option2->click();
    QVERIFY(!t->form->Frame3->isEnabled());
    QVERIFY(!t->form->Text1->isEnabled());
    QCOMPARE(stored(SettingKeys::Option1), QStringLiteral("False"));
    QCOMPARE(stored(SettingKeys::Option2), QStringLiteral("True"));

    restart();
    QVERIFY(t->form->Option2->isChecked());
    QVERIFY(!t->form->Frame3->isEnabled());

    t->form->Option1->click();
    QVERIFY(t->form->Frame3->isEnabled());
    QCOMPARE(stored(SettingKeys::Option1), QStringLiteral("True"));
    QCOMPARE(stored(SettingKeys::Option2), QStringLiteral("False"));
}

void TestOutputOptions::clearedOutputFolderStaysEmptyAfterRestart()
{
    t->form->Text1->setText(QStringLiteral("/typed/folder/that/does/not/exist"));
    QCOMPARE(stored(SettingKeys::OutputFolder),
             QStringLiteral("/typed/folder/that/does/not/exist"));
    t->form->Text1->clear();
    QCOMPARE(stored(SettingKeys::OutputFolder), QString());
    restart();
    QCOMPARE(t->form->Text1->text(), QString());
}

QTEST_MAIN(TestOutputOptions)
#include "tst_outputoptions.moc"
