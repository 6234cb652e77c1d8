// "Add MIDI File(s)": the open-files dialog, its buffer, and what reaches the file list.

#include "app/mainwindow.h"
#include "filelist/filelistview.h"
#include "filelist/opendialog.h"
#include "testwindow.h"

#include <QTest>

namespace {

const QString TooManyText = QStringLiteral("You've selected too many files to add.\r\rPlease try "
                                           "adding via the \"Add All\" button.");

QStringList Texts(const FileListView& list)
{
    QStringList texts;
    for (int position = 1; position <= list.count(); ++position)
        texts.append(list.entryText(position));
    return texts;
}

// Paths of one folder whose selection takes exactly the given number of characters in the
// dialog's buffer.
QStringList SelectionOfLength(qsizetype length)
{
    const QString folder = QStringLiteral("/music");
    const QString name = QString(94, QLatin1Char('n')) + QStringLiteral(".mid");
    QStringList paths;
    qsizetype used = folder.size() + 2;
    while (used + 2 * (name.size() + 1) <= length) {
        paths.append(folder + QLatin1Char('/') + name);
        used += name.size() + 1;
    }
    const qsizetype rest = length - used - 1;
    paths.append(folder + QLatin1Char('/') + QString(rest - 4, QLatin1Char('r')) +
                 QStringLiteral(".mid"));
    return paths;
}

// An open-files dialog that fails to show, as a broken platform dialog would.
class FailingDialogs : public ScriptedDialogs
{
public:
    QStringList openFileNames(const QString& title, const QString& filter) override
    {
        ScriptedDialogs::openFileNames(title, filter);
        throw tp::ApplicationError(QStringLiteral("The dialog could not be shown"));
    }
};

} // namespace

class TestAddDialog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void selectionParts_data();
    void selectionParts();
    void bufferLengthCountsSeparators();

    void addByDialog_data();
    void addByDialog();
    void dialogIsSetUp();
    void sameFileTwiceIsListedTwice();
    void bufferLimit_data();
    void bufferLimit();
    void otherDialogFailureIsReported();
};

void TestAddDialog::selectionParts_data()
{
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<QStringList>("parts");

    QTest::newRow("nothing") << QStringList() << QStringList();
    QTest::newRow("one file") << QStringList{QStringLiteral("/home/u/Music/Song.mid")}
                              << QStringList{QStringLiteral("/home/u/Music/Song.mid")};
    QTest::newRow("several in one folder")
        << QStringList{QStringLiteral("/home/u/b.mid"), QStringLiteral("/home/u/a.mid")}
        << QStringList{QStringLiteral("/home/u"), QStringLiteral("b.mid"), QStringLiteral("a.mid")};
    QTest::newRow("several in the root folder")
        << QStringList{QStringLiteral("/a.mid"), QStringLiteral("/b.mid")}
        << QStringList{QStringLiteral("/"), QStringLiteral("a.mid"), QStringLiteral("b.mid")};
    QTest::newRow("folders of a common parent")
        << QStringList{QStringLiteral("/m/x/a.mid"), QStringLiteral("/m/y/b.mid")}
        << QStringList{QStringLiteral("/m"), QStringLiteral("x/a.mid"), QStringLiteral("y/b.mid")};
    QTest::newRow("only the root in common")
        << QStringList{QStringLiteral("/m/a.mid"), QStringLiteral("/n/b.mid")}
        << QStringList{QStringLiteral("/"), QStringLiteral("m/a.mid"), QStringLiteral("n/b.mid")};
    QTest::newRow("name prefix is no folder")
        << QStringList{QStringLiteral("/m/ab/a.mid"), QStringLiteral("/m/abc/b.mid")}
        << QStringList{QStringLiteral("/m"), QStringLiteral("ab/a.mid"),
                       QStringLiteral("abc/b.mid")};
}

void TestAddDialog::selectionParts()
{
    QFETCH(QStringList, paths);
    QFETCH(QStringList, parts);
    QCOMPARE(OpenFilesDialog::SelectionParts(paths), parts);
}

void TestAddDialog::bufferLengthCountsSeparators()
{
    // "/m" NUL "a.mid" NUL "bc.mid" NUL NUL
    QCOMPARE(OpenFilesDialog::BufferLength(
                 {QStringLiteral("/m"), QStringLiteral("a.mid"), QStringLiteral("bc.mid")}),
             2 + 1 + 5 + 1 + 6 + 2);
    QCOMPARE(OpenFilesDialog::BufferLength({QStringLiteral("/m/a.mid")}), 8 + 2);
    for (const qsizetype length : {qsizetype(30000), qsizetype(30001), qsizetype(4321)})
        QCOMPARE(OpenFilesDialog::BufferLength(
                     OpenFilesDialog::SelectionParts(SelectionOfLength(length))),
                 length);
}

void TestAddDialog::addByDialog_data()
{
    QTest::addColumn<QStringList>("picked");
    QTest::addColumn<QStringList>("listed");

    QTest::newRow("cancel") << QStringList() << QStringList();
    QTest::newRow("one file, exactly as returned")
        << QStringList{QStringLiteral("/home/u//Music/Song.mid")}
        << QStringList{QStringLiteral("/home/u//Music/Song.mid")};
    QTest::newRow("several, in the dialog's order")
        << QStringList{QStringLiteral("/home/u/Music/b.mid"), QStringLiteral("/home/u/Music/a.mid"),
                       QStringLiteral("/home/u/Music/c d.mid")}
        << QStringList{QStringLiteral("/home/u/Music/b.mid"), QStringLiteral("/home/u/Music/a.mid"),
                       QStringLiteral("/home/u/Music/c d.mid")};
    QTest::newRow("several from the root folder")
        << QStringList{QStringLiteral("/a.mid"), QStringLiteral("/b.mid")}
        << QStringList{QStringLiteral("/a.mid"), QStringLiteral("/b.mid")};
    QTest::newRow("typed names of missing files")
        << QStringList{QStringLiteral("/nowhere/not there.mid"),
                       QStringLiteral("/nowhere/Not There.MID")}
        << QStringList{QStringLiteral("/nowhere/not there.mid"),
                       QStringLiteral("/nowhere/Not There.MID")};
    QTest::newRow("several from different folders")
        << QStringList{QStringLiteral("/m/x/a.mid"), QStringLiteral("/n/b.mid")}
        << QStringList{QStringLiteral("/m/x/a.mid"), QStringLiteral("/n/b.mid")};
    QTest::newRow("names beyond ASCII")
        << QStringList{QStringLiteral("/m/M\u00fcller.mid"), QStringLiteral("/m/\u266a.mid")}
        << QStringList{QStringLiteral("/m/M\u00fcller.mid"), QStringLiteral("/m/\u266a.mid")};
}

void TestAddDialog::addByDialog()
{
    QFETCH(QStringList, picked);
    QFETCH(QStringList, listed);
    TestWindow test;
    MainWindow& form = test.load();
    test.dialogs.openAnswers.enqueue(picked);

    form.addFiles();

    QCOMPARE(Texts(*form.fileList), listed);
    QVERIFY(test.dialogs.messages().isEmpty());
}

void TestAddDialog::dialogIsSetUp()
{
    TestWindow test;
    MainWindow& form = test.load();
    test.dialogs.clear();
    form.addFiles();
    form.addFiles();

    QCOMPARE(test.dialogs.shown.size(), 2);
    for (const ScriptedDialogs::Shown& shown : std::as_const(test.dialogs.shown)) {
        QCOMPARE(shown.kind, QStringLiteral("open"));
        QCOMPARE(shown.title, QStringLiteral("Add File(s) - Hold Ctrl to select multiple files"));
        QCOMPARE(shown.text, QStringLiteral("MIDI File (*.mid)"));
    }
}

void TestAddDialog::sameFileTwiceIsListedTwice()
{
    TestWindow test;
    MainWindow& form = test.load();
    const QStringList picked{QStringLiteral("/m/a.mid"), QStringLiteral("/m/b.mid")};
    test.dialogs.openAnswers.enqueue(picked);
    test.dialogs.openAnswers.enqueue(QStringList{QStringLiteral("/m/a.mid")});
    form.addFiles();
    form.addFiles();
    QCOMPARE(Texts(*form.fileList), picked + QStringList{QStringLiteral("/m/a.mid")});
}

void TestAddDialog::bufferLimit_data()
{
    QTest::addColumn<qsizetype>("length");
    QTest::addColumn<bool>("fits");
    QTest::newRow("fills the buffer exactly") << qsizetype(30000) << true;
    QTest::newRow("one character too many") << qsizetype(30001) << false;
    QTest::newRow("far too many") << qsizetype(250000) << false;
}

void TestAddDialog::bufferLimit()
{
    QFETCH(qsizetype, length);
    QFETCH(bool, fits);
    TestWindow test;
    MainWindow& form = test.load();
    form.fileList->append(QStringLiteral("/m/listed before.mid"));
    const QStringList picked = SelectionOfLength(length);
    test.dialogs.openAnswers.enqueue(picked);
    test.dialogs.clear();

    form.addFiles();

    const QList<ScriptedDialogs::Shown> messages = test.dialogs.messages();
    if (fits) {
        QVERIFY(messages.isEmpty());
        QCOMPARE(Texts(*form.fileList),
                 QStringList{QStringLiteral("/m/listed before.mid")} + picked);
        return;
    }
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].text, TooManyText);
    QCOMPARE(messages[0].title, form.appTitle());
    QCOMPARE(messages[0].buttons, tp::MessageButtons::Ok);
    QCOMPARE(messages[0].icon, tp::MessageIcon::None);
    QCOMPARE(Texts(*form.fileList), QStringList{QStringLiteral("/m/listed before.mid")});
}

void TestAddDialog::otherDialogFailureIsReported()
{
    TestWindow test;
    FailingDialogs dialogs;
    MainWindowEnvironment environment;
    environment.dialogs = &dialogs;
    environment.settings = test.settings.get();
    environment.randomFraction = [] { return 0.5; };
    environment.programFolder = QCoreApplication::applicationDirPath();
    environment.desktopFolder = [&test] { return test.desktop; };
    MainWindow form(environment);
    form.startUp();
    dialogs.clear();

    form.addFiles();

    const QList<ScriptedDialogs::Shown> messages = dialogs.messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].title, QStringLiteral("Application Error"));
    QVERIFY2(messages[0].text.startsWith(
                 QStringLiteral("The dialog could not be shown\r\nin "
                                "Tunepress2021/08/31.Form1.PushButton1_Click at line 112\r\r")),
             qPrintable(messages[0].text));
    QCOMPARE(form.fileList->count(), 0);
}

QTEST_MAIN(TestAddDialog)
#include "tst_adddialog.moc"
