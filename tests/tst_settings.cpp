#include "app/settings.h"
#include "convert/applicationerror.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void absentKeyGivesDefaultAndPresentEmptyValueStaysEmpty();
    void valuesRoundTripExactly_data();
    void valuesRoundTripExactly();
    void everyWriteIsOnDiskAtOnce();
    void booleansAreRead_data();
    void booleansAreRead();
    void nonBooleanIsATypeMismatch_data();
    void nonBooleanIsATypeMismatch();
    void handEditedListValueStaysOneText();
    void userStoreIsTheOrganisationFile();
};

void TestSettings::absentKeyGivesDefaultAndPresentEmptyValueStaysEmpty()
{
    QTemporaryDir folder;
    SettingsStore store(folder.filePath(QStringLiteral("s.conf")));
    QCOMPARE(store.GetSetting(SettingKeys::Kbps, SettingDefaults::Kbps), QStringLiteral("48 kbps"));
    QCOMPARE(store.GetSetting(SettingKeys::SaveToFolder, SettingDefaults::SaveToFolder),
             QStringLiteral("1"));
    QCOMPARE(store.GetSetting(SettingKeys::Extension, SettingDefaults::Extension),
             QStringLiteral("midi"));
    store.SaveSetting(SettingKeys::OutputFolder, QString());
    const QString again = SettingsStore(folder.filePath(QStringLiteral("s.conf")))
                              .GetSetting(SettingKeys::OutputFolder, QStringLiteral("/default/"));
    QCOMPARE(again, QString());
}

void TestSettings::valuesRoundTripExactly_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("comma") << QStringLiteral("/music/a,b/");
    QTest::newRow("quotes") << QStringLiteral("say \"hi\" 'there'");
    QTest::newRow("at sign first") << QStringLiteral("@Variant(x)");
    QTest::newRow("blanks around") << QStringLiteral("  padded  ");
    QTest::newRow("non-ASCII") << QStringLiteral("/home/zoë/Müsik/日本/");
    QTest::newRow("semicolon and hash") << QStringLiteral("a;b#c=d");
    QTest::newRow("backslashes") << QStringLiteral("C:\\Music\\");
    QTest::newRow("line breaks") << QStringLiteral("one\ntwo\rthree");
}

void TestSettings::valuesRoundTripExactly()
{
    QFETCH(QString, value);
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("s.conf"));
    SettingsStore(file).SaveSetting(SettingKeys::OutputFolder, value);
    QCOMPARE(SettingsStore(file).GetSetting(SettingKeys::OutputFolder, QString()), value);
}

void TestSettings::everyWriteIsOnDiskAtOnce()
{
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("s.conf"));
    SettingsStore store(file);
    store.SaveSetting(SettingKeys::Kbps, QStringLiteral("128 kbps"));
    QFile written(file);
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QByteArray text = written.readAll();
    QVERIFY(text.contains("[Tunepress%20Studio]"));
    QVERIFY(text.contains("kbps=128 kbps"));
}

void TestSettings::booleansAreRead_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("expected");
    QTest::newRow("True") << QStringLiteral("True") << true;
    QTest::newRow("false lower") << QStringLiteral("false") << false;
    QTest::newRow("TRUE upper") << QStringLiteral("TRUE") << true;
    QTest::newRow("one") << QStringLiteral("1") << true;
    QTest::newRow("zero") << QStringLiteral("0") << false;
    QTest::newRow("minus one") << QStringLiteral("-1") << true;
    QTest::newRow("fraction") << QStringLiteral("0.5") << true;
}

void TestSettings::booleansAreRead()
{
    QFETCH(QString, text);
    QFETCH(bool, expected);
    QCOMPARE(ReadBoolean(text), expected);
}

void TestSettings::nonBooleanIsATypeMismatch_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("yes") << QStringLiteral("yes");
    QTest::newRow("empty") << QString();
    QTest::newRow("number with text") << QStringLiteral("1x");
}

void TestSettings::nonBooleanIsATypeMismatch()
{
    QFETCH(QString, text);
    try {
        ReadBoolean(text);
        QFAIL("no error");
    } catch (const tp::ApplicationError& error) {
        QCOMPARE(error.description(), QStringLiteral("Type mismatch"));
    }
}

void TestSettings::handEditedListValueStaysOneText()
{
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("s.conf"));
    QFile edited(file);
    QVERIFY(edited.open(QIODevice::WriteOnly));
    edited.write("[Tunepress%20Studio]\nOutput%20Folder=/a,b/\n");
    edited.close();
    QCOMPARE(SettingsStore(file).GetSetting(SettingKeys::OutputFolder, QString()),
             QStringLiteral("/a,b/"));
}

void TestSettings::userStoreIsTheOrganisationFile()
{
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    SettingsStore store;
    store.SaveSetting(SettingKeys::Extension, QStringLiteral("mid"));
    QVERIFY(QFile::exists(home.filePath(QStringLiteral("Quillmere.conf"))));
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
