#include "app/mainwindow.h"
#include "testwindow.h"

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

    std::unique_ptr<TestWindow> t;
};

void TestOutputOptions::init()
{
    t = std::make_unique<TestWindow>();
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
    QTest::addColumn<QString>("folderText");
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
    QFETCH(QString, folderText);
    QFETCH(QString, lastFolderDot);
    t->dialogs.folderAnswers << answer;
    t->form->browseForOutputFolder();

    QCOMPARE(t->form->outputFolderBox->text(), folderText);
    QCOMPARE(stored(SettingKeys::OutputFolder), folderText);
    QCOMPARE(stored(SettingKeys::LastFolderDot), lastFolderDot);
    QCOMPARE(t->dialogs.shown.size(), 1);
    QCOMPARE(t->dialogs.shown[0].kind, QStringLiteral("folder"));
    QCOMPARE(t->dialogs.shown[0].text, QStringLiteral("Please select folder:"));
    QCOMPARE(t->dialogs.shown[0].proposed, QString());
}

void TestOutputOptions::cancelledBrowseChangesNothing()
{
    t->settings->SaveSetting(SettingKeys::LastFolderDot, QStringLiteral("/previous"));
    t->form->outputFolderBox->setText(QStringLiteral("/out/"));
    t->form->browseForOutputFolder();
    QCOMPARE(t->form->outputFolderBox->text(), QStringLiteral("/out/"));
    QCOMPARE(stored(SettingKeys::OutputFolder), QStringLiteral("/out/"));
    QCOMPARE(stored(SettingKeys::LastFolderDot), QStringLiteral("/previous"));
    QCOMPARE(t->dialogs.shown.value(0).proposed, QStringLiteral("/previous"));
    QCOMPARE(t->dialogs.messageTexts(), QStringList());
}

void TestOutputOptions::browseStartsInFolderChosenLastWithThisButton()
{
    t->settings->SaveSetting(SettingKeys::LastFolder, QStringLiteral("/added/from"));
    t->dialogs.folderAnswers << QStringLiteral("/music");
    t->form->browseForOutputFolder();
    t->dialogs.clear();
    t->form->browseForOutputFolder();
    QCOMPARE(t->dialogs.shown.value(0).proposed, QStringLiteral("/music"));

    restart();
    t->form->browseForOutputFolder();
    QCOMPARE(t->dialogs.shown.value(0).proposed, QStringLiteral("/music"));
    QCOMPARE(t->form->outputFolderBox->text(), QStringLiteral("/music/"));
}

void TestOutputOptions::optionsSaveBothAndEnableFolderBox()
{
    t->form->saveBesideSourceOption->click();
    QVERIFY(!t->form->outputFolderFrame->isEnabled());
    QVERIFY(!t->form->outputFolderBox->isEnabled());
    QCOMPARE(stored(SettingKeys::SaveToFolder), QStringLiteral("False"));
    QCOMPARE(stored(SettingKeys::SaveBesideSource), QStringLiteral("True"));

    restart();
    QVERIFY(t->form->saveBesideSourceOption->isChecked());
    QVERIFY(!t->form->outputFolderFrame->isEnabled());

    t->form->saveToFolderOption->click();
    QVERIFY(t->form->outputFolderFrame->isEnabled());
    QCOMPARE(stored(SettingKeys::SaveToFolder), QStringLiteral("True"));
    QCOMPARE(stored(SettingKeys::SaveBesideSource), QStringLiteral("False"));
}

void TestOutputOptions::clearedOutputFolderStaysEmptyAfterRestart()
{
    t->form->outputFolderBox->setText(QStringLiteral("/typed/folder/that/does/not/exist"));
    QCOMPARE(stored(SettingKeys::OutputFolder),
             QStringLiteral("/typed/folder/that/does/not/exist"));
    t->form->outputFolderBox->clear();
    QCOMPARE(stored(SettingKeys::OutputFolder), QString());
    restart();
    QCOMPARE(t->form->outputFolderBox->text(), QString());
}

QTEST_MAIN(TestOutputOptions)
#include "tst_outputoptions.moc"
