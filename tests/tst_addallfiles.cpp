#include "app/mainwindow.h"
#include "filelist/filelistview.h"
#include "testfiles.h"
#include "testwindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QTimer>
#include <unistd.h>

namespace {

const QString ExtensionPrompt =
    QStringLiteral("Enter file extension to load:\r\r(* for all files, txt for all txt files, doc "
                   "for all doc files, etc.)");

QStringList Names(std::initializer_list<const char*> names)
{
    QStringList result;
    for (const char* name : names)
        result << QString::fromUtf8(name);
    return result;
}

QStringList Entries(const MainWindow& form)
{
    QStringList entries;
    for (int position = 1; position <= form.fileList->count(); ++position)
        entries << form.fileList->entryText(position);
    return entries;
}

// A main window whose "Add All" answers are scripted: the extension, then the folder.
void AddAll(TestWindow& t, const QString& extension, const QString& folder)
{
    t.dialogs.inputAnswers << extension;
    t.dialogs.folderAnswers << folder;
    t.form->addAllFilesInFolder();
}

// The child's job: pick the root folder of a tree that stands in for the whole file system.
int AddAllFromRoot(const QString& tree)
{
    QTextStream out(stdout);
    TestWindow t;
    MainWindow& form = t.load();
    if (::chroot(QFile::encodeName(tree).constData()) != 0 || ::chdir("/") != 0) {
        out << "cannot chroot\n";
        return 0;
    }
    AddAll(t, QStringLiteral("mid"), QStringLiteral("/"));
    for (const QString& entry : Entries(form))
        out << "entry " << entry << '\n';
    out << "last folder " << t.settings->GetSetting(SettingKeys::LastFolder, QString()) << '\n';
    out << "dialogs " << t.dialogs.shown.size() << '\n';
    return 0;
}

} // namespace

class TestAddAllFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void addsMatchingFilesLevelByLevel_data();
    void addsMatchingFilesLevelByLevel();
    void asksForExtensionThenFolder();
    void cancelKeepsStoredValues_data();
    void cancelKeepsStoredValues();
    void pickerOpensOnLastFolderAlsoAfterRestart();
    void busyPointerShowsDuringSearch();
    void rootFolderGivesPathsWithOneSeparator();

private:
    std::unique_ptr<TestWindow> t;
    std::unique_ptr<QTemporaryDir> tree;
    QString root() const { return tree->path(); }
};

void TestAddAllFiles::init()
{
    tree = std::make_unique<QTemporaryDir>();
    QVERIFY(tree->isValid());
    for (const char* name :
         {"a.mid", "b.MID", "c.midi", "readme", "notes.txt", "~temp.mid", ".hidden.mid",
          "Sub/d.mid", "Sub/e.txt", "Sub/Deeper/f.mid", "Two/g.mid", ".cache/h.mid"})
        MakeFile(tree->filePath(QLatin1String(name)));
    t = std::make_unique<TestWindow>();
    t->load();
}

void TestAddAllFiles::cleanup()
{
    t.reset();
    tree.reset();
}

void TestAddAllFiles::addsMatchingFilesLevelByLevel_data()
{
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QStringList>("expected");
    // As root every file is writable, so a hidden file is hidden and archive (34): skipped.
    QTest::newRow("mid") << "mid"
                         << Names({"a.mid", "b.MID", ".cache/h.mid", "Sub/d.mid", "Two/g.mid",
                                   "Sub/Deeper/f.mid"});
    QTest::newRow("letter case of the extension does not matter")
        << "MID"
        << Names({"a.mid", "b.MID", ".cache/h.mid", "Sub/d.mid", "Two/g.mid", "Sub/Deeper/f.mid"});
    QTest::newRow("default midi takes only .midi") << "midi" << Names({"c.midi"});
    QTest::newRow("star takes every file")
        << "*"
        << Names({"a.mid", "b.MID", "c.midi", "notes.txt", "readme", ".cache/h.mid", "Sub/d.mid",
                  "Sub/e.txt", "Two/g.mid", "Sub/Deeper/f.mid"});
    QTest::newRow("typed dot gives two dots and finds nothing") << ".mid" << QStringList();
    QTest::newRow("no matching file") << "wav" << QStringList();
}

void TestAddAllFiles::addsMatchingFilesLevelByLevel()
{
    QFETCH(QString, extension);
    QFETCH(QStringList, expected);
    t->form->fileList->append(QStringLiteral("/already/there.mid"));
    AddAll(*t, extension, root());

    QStringList expectedEntries{QStringLiteral("/already/there.mid")};
    for (const QString& name : expected)
        expectedEntries << root() + QLatin1Char('/') + name;
    QCOMPARE(Entries(*t->form), expectedEntries);
    QCOMPARE(t->settings->GetSetting(SettingKeys::Extension, QString()), extension);
    QCOMPARE(t->settings->GetSetting(SettingKeys::LastFolder, QString()), root());
    QCOMPARE(t->dialogs.messageTexts(), QStringList());
    QCOMPARE(t->form->mousePointer(), Pointer::Default);
}

void TestAddAllFiles::asksForExtensionThenFolder()
{
    AddAll(*t, QStringLiteral("mid"), root() + QLatin1Char('/'));
    QCOMPARE(t->dialogs.shown.size(), 2);
    const ScriptedDialogs::Shown& input = t->dialogs.shown[0];
    QCOMPARE(input.kind, QStringLiteral("input"));
    QCOMPARE(input.text, ExtensionPrompt);
    QCOMPARE(input.title, t->form->appTitle());
    QCOMPARE(input.proposed, QStringLiteral("midi"));
    const ScriptedDialogs::Shown& picker = t->dialogs.shown[1];
    QCOMPARE(picker.kind, QStringLiteral("folder"));
    QCOMPARE(picker.text, QStringLiteral("Please select folder:"));
    QCOMPARE(picker.proposed, QString());
    // A picked folder is stored without its trailing separator.
    QCOMPARE(t->settings->GetSetting(SettingKeys::LastFolder, QString()), root());

    t->dialogs.clear();
    AddAll(*t, QString(), QString());
    QCOMPARE(t->dialogs.shown.value(0).proposed, QStringLiteral("mid"));
}

void TestAddAllFiles::cancelKeepsStoredValues_data()
{
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("storedExtension");
    QTest::addColumn<int>("dialogsShown");
    QTest::newRow("input box cancelled or left empty") << ""
                                                       << "txt" << 1;
    QTest::newRow("picker cancelled") << "mid"
                                      << "mid" << 2;
}

void TestAddAllFiles::cancelKeepsStoredValues()
{
    QFETCH(QString, extension);
    QFETCH(QString, storedExtension);
    QFETCH(int, dialogsShown);
    t->settings->SaveSetting(SettingKeys::Extension, QStringLiteral("txt"));
    t->settings->SaveSetting(SettingKeys::LastFolder, root());

    AddAll(*t, extension, QString());
    QCOMPARE(t->settings->GetSetting(SettingKeys::Extension, QString()), storedExtension);
    QCOMPARE(t->settings->GetSetting(SettingKeys::LastFolder, QString()), root());
    QCOMPARE(t->dialogs.shown.size(), dialogsShown);
    QCOMPARE(t->form->fileList->count(), 0);
    QCOMPARE(t->form->mousePointer(), Pointer::Default);
}

void TestAddAllFiles::pickerOpensOnLastFolderAlsoAfterRestart()
{
    const QString sub = root() + QStringLiteral("/Sub");
    t->settings->SaveSetting(SettingKeys::LastFolderDot, QStringLiteral("/output/folder"));
    AddAll(*t, QStringLiteral("mid"), sub);
    t->dialogs.clear();
    AddAll(*t, QStringLiteral("mid"), QString());
    QCOMPARE(t->dialogs.shown.value(1).proposed, sub);

    t->form.reset();
    t->settings = std::make_unique<SettingsStore>(t->settingsFile());
    t->dialogs.clear();
    t->load();
    AddAll(*t, QStringLiteral("mid"), QString());
    QCOMPARE(t->dialogs.shown.value(1).proposed, sub);
    QCOMPARE(t->dialogs.shown.value(0).proposed, QStringLiteral("mid"));
}

void TestAddAllFiles::busyPointerShowsDuringSearch()
{
    QList<int> seen;
    t->dialogs.inputAnswers << QStringLiteral("mid");
    t->dialogs.folderAnswers << root();
    // The search lets pending events run; a timer shows what a user would see meanwhile.
    QTimer::singleShot(0, this, [&] { seen << t->form->mousePointer(); });
    t->form->addAllFilesInFolder();
    QCOMPARE(seen, QList<int>{Pointer::Hourglass});
    QCOMPARE(t->form->mousePointer(), Pointer::Default);
}

void TestAddAllFiles::rootFolderGivesPathsWithOneSeparator()
{
    if (::geteuid() != 0)
        QSKIP("needs root to make a tree stand in for the root folder");
    QTemporaryDir fakeRoot;
    QVERIFY(fakeRoot.isValid());
    for (const char* name : {"a.mid", "Music/b.mid", "Music/Sub/c.MID", "other.txt", "~d.mid"})
        MakeFile(fakeRoot.filePath(QLatin1String(name)));
    // The child's own settings folder lies inside the tree, so the tree's clean-up takes it.
    QVERIFY(QDir().mkpath(fakeRoot.filePath(QStringLiteral("tmp"))));

    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("TMPDIR"), fakeRoot.filePath(QStringLiteral("tmp")));
    // Inside the chroot there is no /proc for the leak checker of a sanitizer build.
    environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--child"), fakeRoot.path()});
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.exitCode(), 0);
    const QStringList lines = QString::fromUtf8(child.readAllStandardOutput())
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (lines == QStringList{QStringLiteral("cannot chroot")})
        QSKIP("this system does not let the test change its root folder");
    QCOMPARE(lines,
             QStringList({QStringLiteral("entry /a.mid"), QStringLiteral("entry /Music/b.mid"),
                          QStringLiteral("entry /Music/Sub/c.MID"), QStringLiteral("last folder /"),
                          QStringLiteral("dialogs 2")}));
}

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const qsizetype child = arguments.indexOf(QStringLiteral("--child"));
    if (child >= 0)
        return AddAllFromRoot(arguments.value(child + 1));
    TestAddAllFiles test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_addallfiles.moc"
