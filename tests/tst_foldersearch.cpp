#include "convert/platform.h"
#include "filelist/filelistview.h"
#include "filelist/folderlisting.h"
#include "filelist/foldersearch.h"
#include "nobody.h"
#include "scripteddialogs.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QTimer>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A folder tree built for one test, open to every user so that an unprivileged child can
// search it too.
class Tree
{
public:
    Tree()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(::chmod(encoded(QString()).constData(), 0755) == 0);
    }

    // The tree's top folder with a trailing separator, or a path inside the tree.
    QString path(const QString& relative = QString()) const
    {
        return m_dir.path() + QLatin1Char('/') + relative;
    }
    QByteArray encoded(const QString& relative) const { return QFile::encodeName(path(relative)); }

    void folder(const QString& relative, mode_t mode = 0755) const
    {
        QVERIFY2(QDir().mkpath(path(relative)), qPrintable(relative));
        QVERIFY(::chmod(encoded(relative).constData(), mode) == 0);
    }
    void file(const QString& relative, mode_t mode = 0644) const
    {
        QFile created(path(relative));
        QVERIFY2(created.open(QIODevice::WriteOnly), qPrintable(relative));
        created.write("MThd");
        created.close();
        QVERIFY(::chmod(encoded(relative).constData(), mode) == 0);
    }
    void link(const QString& target, const QString& relative) const
    {
        QVERIFY2(::symlink(QFile::encodeName(target).constData(), encoded(relative).constData()) ==
                     0,
                 qPrintable(relative));
    }
    void fifo(const QString& relative) const
    {
        QVERIFY(::mkfifo(encoded(relative).constData(), 0644) == 0);
    }
    void chmod(const QString& relative, mode_t mode) const
    {
        QVERIFY(::chmod(encoded(relative).constData(), mode) == 0);
    }

    // The tree's paths with the tree's own prefix taken off, for short comparisons.
    QStringList relative(const QStringList& paths) const
    {
        QStringList result;
        for (const QString& full : paths)
            result << (full.startsWith(path()) ? full.mid(path().size()) : full);
        return result;
    }

private:
    QTemporaryDir m_dir;
};

// Every failure the search reports, as the user would read it.
struct Reports
{
    QStringList texts;
    tp::ErrorReporter reporter()
    {
        return [this](const QString& description, const QString& location, int line) {
            texts << tp::ApplicationErrorText(description, location, line);
        };
    }
};

QStringList Searched(const QString& start, bool recurse, Reports& reports)
{
    QStringList folders{start};
    FolderSearch::AddSubFolders(folders, recurse, reports.reporter());
    return folders;
}

// What an unprivileged user gets: this program runs again as "nobody" and does one job.
QStringList RunAsNobody(const QStringList& job)
{
    QTemporaryDir runtime;
    if (!runtime.isValid() ||
        ::chown(QFile::encodeName(runtime.path()).constData(), Nobody::User, Nobody::Group) != 0)
        return {QStringLiteral("no runtime folder for the child")};
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("HOME"), runtime.path());
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QStringLiteral("setpriv"),
                Nobody::Credentials() + QStringList{Nobody::Program(), QStringLiteral("--child")} +
                    job);
    if (!child.waitForFinished(60000) || child.exitStatus() != QProcess::NormalExit ||
        child.exitCode() != 0)
        return {QStringLiteral("child failed")};
    return QString::fromUtf8(child.readAllStandardOutput())
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

bool CanDropToNobody()
{
    return Nobody::CanRun();
}

// The jobs of the unprivileged child. Each prints one line per result.
int RunChildJob(const QStringList& job)
{
    QTextStream out(stdout);
    Reports reports;
    if (job.value(0) == QStringLiteral("search")) {
        for (const QString& folder : Searched(job.value(1), true, reports))
            out << QStringLiteral("folder ") << folder << '\n';
    } else if (job.value(0) == QStringLiteral("addtree")) {
        FileListView list;
        tp::ErrorTrap trap(QStringLiteral("test"), reports.reporter());
        FolderSearch::AddTreeFiles([&](const QString& path) { list.append(path); }, job.value(1),
                                   job.value(2), trap, reports.reporter(), 114);
        for (int position = 1; position <= list.count(); ++position)
            out << QStringLiteral("entry ") << list.entryText(position) << '\n';
    } else if (job.value(0) == QStringLiteral("openable")) {
        out << (FolderSearch::IsOpenableFile(job.value(1)) ? "true" : "false") << '\n';
    } else {
        return 2;
    }
    for (const QString& text : std::as_const(reports.texts))
        out << QStringLiteral("report ") << text.simplified() << '\n';
    return 0;
}

} // namespace

class TestFolderSearch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void wildcardMatchesAsOnWindows_data();
    void wildcardMatchesAsOnWindows();
    void badCharactersInFolderNames_data();
    void badCharactersInFolderNames();
    void attributeValuesOfRealPaths_data();
    void attributeValuesOfRealPaths();
    void hiddenSystemFolderRule_data();
    void hiddenSystemFolderRule();
    void pathLimitCountsEncodedBytes_data();
    void pathLimitCountsEncodedBytes();
    void rootFolderIsAnyRunOfSeparators_data();
    void rootFolderIsAnyRunOfSeparators();
    void pickerAnswerLosesTrailingSeparator_data();
    void pickerAnswerLosesTrailingSeparator();

    void searchIsBreadthFirstAndAppliesFolderRules();
    void searchWithoutRecursionListsOneLevel();
    void startFolderIsKeptWhateverItsAttributes_data();
    void startFolderIsKeptWhateverItsAttributes();
    void linkLoopsAreSearchedOnce();
    void pendingEventsRunDuringSearch();
    void unreadableFoldersAreDroppedSilently_data();
    void unreadableFoldersAreDroppedSilently();

    void filesInFolderAreEveryOpenableMatch();
    void filesInFolderAreListedCaseInsensitively();
    void filesInFolderOfMissingOrEmptyFolderAreNone();
    void openableFile_data();
    void openableFile();
    void unreadableFileIsNotOpenable();
    void treeFilesSkipTildeAndHiddenWritableFiles();
};

void TestFolderSearch::wildcardMatchesAsOnWindows_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("matches");
    QTest::newRow("extension") << "Song.mid"
                               << "*.mid" << true;
    QTest::newRow("letter case ignored") << "SONG.MID"
                                         << "*.mid" << true;
    QTest::newRow("non-ASCII letter case ignored") << "\u00c4rger.mid"
                                                   << "\u00e4*.MID" << true;
    QTest::newRow("longer extension") << "Song.midi"
                                      << "*.mid" << false;
    QTest::newRow("default extension midi") << "Song.midi"
                                            << "*.midi" << true;
    QTest::newRow("shorter extension") << "Song.mid"
                                       << "*.midi" << false;
    QTest::newRow("star dot star takes a name without dot") << "README"
                                                            << "*.*" << true;
    QTest::newRow("star dot star takes a dotted name") << "a.b.c"
                                                       << "*.*" << true;
    QTest::newRow("name dot star takes the bare name") << "notes"
                                                       << "notes.*" << true;
    QTest::newRow("typed dot gives two dots") << "Song.mid"
                                              << "*..mid" << false;
    QTest::newRow("two dots match two dots") << "Song..mid"
                                             << "*..mid" << true;
    QTest::newRow("last extension counts") << "x.tar.gz"
                                           << "*.gz" << true;
    QTest::newRow("question mark is one character") << "ab.mid"
                                                    << "a?.mid" << true;
    QTest::newRow("question mark needs a character") << "a.mid"
                                                     << "a?.mid" << false;
    QTest::newRow("star backtracks") << "a.mid.mid.txt"
                                     << "*.mid" << false;
    QTest::newRow("hidden file") << ".mid"
                                 << "*.mid" << true;
}

void TestFolderSearch::wildcardMatchesAsOnWindows()
{
    QFETCH(QString, name);
    QFETCH(QString, pattern);
    QFETCH(bool, matches);
    QCOMPARE(FolderSearch::MatchesWildcard(name, pattern), matches);
}

void TestFolderSearch::badCharactersInFolderNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("bad");
    QTest::newRow("plain") << "Music" << false;
    QTest::newRow("accented") << "Caf\u00e9" << false;
    QTest::newRow("em dash, representable in UTF-8") << "a\u2014b" << false;
    QTest::newRow("curly quotes") << "\u201cx\u201d" << false;
    QTest::newRow("no-break space, code 160") << "a\u00a0b" << false;
    QTest::newRow("character outside the BMP") << "\U0001F3B5" << false;
    QTest::newRow("control character") << "a\u0001b" << true;
    QTest::newRow("tab") << "a\tb" << true;
    QTest::newRow("delete, code 127") << "a\u007fb" << true;
    QTest::newRow("C1 control, code 133") << "a\u0085b" << true;
    QTest::newRow("C1 control, code 159") << "a\u009fb" << true;
    QTest::newRow("question mark") << "why?" << true;
    QTest::newRow("lone surrogate") << QString(QChar(0xD800)) + QStringLiteral("x") << true;
    QTest::newRow("byte that is not UTF-8") << QStringLiteral("caf") + QChar(0xDCE9) << false;
}

void TestFolderSearch::badCharactersInFolderNames()
{
    QFETCH(QString, name);
    QFETCH(bool, bad);
    QCOMPARE(FolderSearch::HasBadCharacters(name), bad);
}

void TestFolderSearch::attributeValuesOfRealPaths_data()
{
    QTest::addColumn<QString>("relative");
    QTest::addColumn<int>("attributes");
    QTest::newRow("file") << "file.mid" << 32;
    QTest::newRow("hidden file") << ".file.mid" << 34;
    QTest::newRow("folder") << "folder" << 16;
    QTest::newRow("hidden folder") << ".folder" << 18;
    QTest::newRow("hidden link to a folder") << ".folder-link" << 1046;
    QTest::newRow("link to a file") << "file-link" << 1060;
    QTest::newRow("FIFO") << "pipe" << 4;
    QTest::newRow("missing") << "missing" << -1;
}

// The search's rules are written against these values; as root, nothing is read-only.
void TestFolderSearch::attributeValuesOfRealPaths()
{
    QFETCH(QString, relative);
    QFETCH(int, attributes);
    Tree tree;
    tree.file(QStringLiteral("file.mid"));
    tree.file(QStringLiteral(".file.mid"));
    tree.folder(QStringLiteral("folder"));
    tree.folder(QStringLiteral(".folder"));
    tree.link(QStringLiteral("folder"), QStringLiteral(".folder-link"));
    tree.link(QStringLiteral("file.mid"), QStringLiteral("file-link"));
    tree.fifo(QStringLiteral("pipe"));
    if (::geteuid() != 0)
        QSKIP("the values assume that every path is writable, as for root");
    QCOMPARE(Platform::FileAttributes(tree.path(relative)), attributes);
    if (attributes >= 0) {
        const bool hidden = (attributes & Platform::Hidden) != 0;
        QCOMPARE(Platform::IsHidden(tree.path(relative)), hidden);
        QCOMPARE(Platform::IsHidden(tree.path(relative) + QStringLiteral("//")), hidden);
    }
    QVERIFY(!Platform::IsHidden(QStringLiteral("/")));
    QVERIFY(!Platform::IsHidden(QStringLiteral("/.config/file")));
}

void TestFolderSearch::hiddenSystemFolderRule_data()
{
    QTest::addColumn<int>("attributes");
    QTest::addColumn<bool>("skipped");
    QTest::newRow("22 hidden system folder") << 22 << true;
    QTest::newRow("1046 hidden system link") << 1046 << true;
    QTest::newRow("16 folder") << 16 << false;
    QTest::newRow("18 hidden folder") << 18 << false;
    QTest::newRow("23 hidden system read-only") << 23 << false;
    QTest::newRow("1047 read-only hidden system link") << 1047 << false;
    QTest::newRow("1044 system link") << 1044 << false;
    QTest::newRow("20 system folder") << 20 << false;
}

void TestFolderSearch::hiddenSystemFolderRule()
{
    QFETCH(int, attributes);
    QFETCH(bool, skipped);
    QCOMPARE(FolderSearch::IsHiddenSystemFolder(attributes), skipped);
}

void TestFolderSearch::pathLimitCountsEncodedBytes_data()
{
    const int limit = Platform::PathLimit();
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("tooLong");
    QTest::newRow("one byte below the limit") << QString(limit - 1, QLatin1Char('a')) << false;
    QTest::newRow("at the limit") << QString(limit, QLatin1Char('a')) << true;
    QTest::newRow("two-byte characters reach the limit")
        << QString(limit / 2, QChar(0x00e9)) << true;
}

void TestFolderSearch::pathLimitCountsEncodedBytes()
{
    QFETCH(QString, path);
    QFETCH(bool, tooLong);
    QCOMPARE(FolderSearch::IsPathTooLong(path), tooLong);
}

void TestFolderSearch::rootFolderIsAnyRunOfSeparators_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("root");
    QTest::newRow("root") << "/" << true;
    QTest::newRow("root with the added separator") << "//" << true;
    QTest::newRow("folder") << "/home/" << false;
    QTest::newRow("empty") << "" << false;
}

void TestFolderSearch::rootFolderIsAnyRunOfSeparators()
{
    QFETCH(QString, folder);
    QFETCH(bool, root);
    QCOMPARE(FolderSearch::IsRootFolder(folder), root);
}

void TestFolderSearch::pickerAnswerLosesTrailingSeparator_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("chosen");
    QTest::newRow("root stays root") << "/"
                                     << "/";
    QTest::newRow("doubled root") << "//"
                                  << "/";
    QTest::newRow("folder") << "/home/u/Music"
                            << "/home/u/Music";
    QTest::newRow("folder with separator") << "/home/u/Music/"
                                           << "/home/u/Music";
    QTest::newRow("cancelled") << ""
                               << "";
}

void TestFolderSearch::pickerAnswerLosesTrailingSeparator()
{
    QFETCH(QString, answer);
    QFETCH(QString, chosen);
    ScriptedDialogs dialogs;
    dialogs.folderAnswers << answer;
    QCOMPARE(FolderSearch::BrowseForFolder(dialogs, QStringLiteral("Please select folder:"),
                                           QStringLiteral("/start")),
             chosen);
    QCOMPARE(dialogs.shown.size(), 1);
    QCOMPARE(dialogs.shown[0].kind, QStringLiteral("folder"));
    QCOMPARE(dialogs.shown[0].text, QStringLiteral("Please select folder:"));
    QCOMPARE(dialogs.shown[0].proposed, QStringLiteral("/start"));
}

void TestFolderSearch::searchIsBreadthFirstAndAppliesFolderRules()
{
    Tree tree;
    tree.folder(QStringLiteral("a/deep/deeper"));
    tree.link(QStringLiteral("../.."), QStringLiteral("a/deep/back"));
    tree.folder(QStringLiteral("B/x"));
    tree.folder(QStringLiteral("c"));
    tree.folder(QStringLiteral("Caf\u00e9"));
    tree.folder(QStringLiteral("em\u2014dash"));
    tree.folder(QStringLiteral(".hidden/inside"));
    tree.link(tree.path(QStringLiteral("a")), QStringLiteral(".link"));
    tree.link(tree.path(), QStringLiteral("loop"));
    tree.folder(QStringLiteral("bad\u0001name/below"));
    tree.folder(QStringLiteral("what?/below"));
    tree.fifo(QStringLiteral("pipe"));
    tree.file(QStringLiteral("a/file.mid"));
    const QByteArray rawName = tree.encoded(QString()) + "raw\xff";
    QVERIFY(::mkdir(rawName.constData(), 0755) == 0);
    // The temporary folder's clean-up cannot name a folder whose name is not UTF-8. Such a name
    // is searched like any other.
    const auto removeRaw = qScopeGuard([&] { ::rmdir(rawName.constData()); });
    if (QTest::currentTestFailed())
        return;

    Reports reports;
    const QStringList folders = Searched(tree.path(), true, reports);
    QCOMPARE(tree.relative(folders),
             QStringList({QString(), QStringLiteral(".hidden/"), QStringLiteral("a/"),
                          QStringLiteral("B/"), QStringLiteral("c/"), QStringLiteral("Caf\u00e9/"),
                          QStringLiteral("em\u2014dash/"),
                          QStringLiteral("raw") + QChar(0xDCFF) + QLatin1Char('/'),
                          QStringLiteral(".hidden/inside/"), QStringLiteral("a/deep/"),
                          QStringLiteral("B/x/"), QStringLiteral("a/deep/deeper/")}));
    QCOMPARE(reports.texts, QStringList());
}

void TestFolderSearch::searchWithoutRecursionListsOneLevel()
{
    Tree tree;
    tree.folder(QStringLiteral("one/two"));
    tree.folder(QStringLiteral("Other"));
    Reports reports;
    QCOMPARE(tree.relative(Searched(tree.path(), false, reports)),
             QStringList({QString(), QStringLiteral("one/"), QStringLiteral("Other/")}));
    QCOMPARE(reports.texts, QStringList());
}

void TestFolderSearch::startFolderIsKeptWhateverItsAttributes_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("hidden link to a folder, 1046: kept, not entered")
        << ".start/" << QStringList{QStringLiteral(".start/")};
    QTest::newRow("missing folder: kept, nothing found")
        << "gone/" << QStringList{QStringLiteral("gone/")};
    QTest::newRow("hidden folder, 18: entered")
        << ".plain/" << QStringList{QStringLiteral(".plain/"), QStringLiteral(".plain/sub/")};
}

void TestFolderSearch::startFolderIsKeptWhateverItsAttributes()
{
    QFETCH(QString, start);
    QFETCH(QStringList, expected);
    Tree tree;
    tree.folder(QStringLiteral("target/sub"));
    tree.folder(QStringLiteral(".plain/sub"));
    tree.link(tree.path(QStringLiteral("target")), QStringLiteral(".start"));
    Reports reports;
    QCOMPARE(tree.relative(Searched(tree.path(start), true, reports)), expected);
    QCOMPARE(reports.texts, QStringList());
}

void TestFolderSearch::linkLoopsAreSearchedOnce()
{
    Tree tree;
    tree.folder(QStringLiteral("m/n"));
    tree.file(QStringLiteral("top.mid"));
    tree.file(QStringLiteral("m/n/deep.mid"));
    tree.link(QStringLiteral("../.."), QStringLiteral("m/n/up"));
    tree.link(QStringLiteral("n"), QStringLiteral("m/again"));
    tree.link(QStringLiteral("m/n"), QStringLiteral("alias"));
    if (QTest::currentTestFailed())
        return;

    Reports reports;
    FileListView list;
    tp::ErrorTrap trap(QStringLiteral("test"), reports.reporter());
    FolderSearch::AddTreeFiles([&](const QString& path) { list.append(path); },
                               tree.path().chopped(1), QStringLiteral("*.mid"), trap,
                               reports.reporter(), 114);
    QStringList added;
    for (int position = 1; position <= list.count(); ++position)
        added << list.entryText(position);
    // The second way to m/n is the one found first, level by level; each file comes once.
    QCOMPARE(tree.relative(added),
             QStringList({QStringLiteral("top.mid"), QStringLiteral("alias/deep.mid")}));
    QCOMPARE(reports.texts, QStringList());
}

void TestFolderSearch::pendingEventsRunDuringSearch()
{
    Tree tree;
    tree.folder(QStringLiteral("one"));
    bool ran = false;
    QTimer::singleShot(0, this, [&] { ran = true; });
    Reports reports;
    Searched(tree.path(), true, reports);
    QVERIFY(ran);
}

void TestFolderSearch::unreadableFoldersAreDroppedSilently_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("unreadable folders among readable ones")
        << ""
        << QStringList{QString(),
                       QStringLiteral("a/"),
                       QStringLiteral("z/"),
                       QStringLiteral("a/deep/"),
                       QStringLiteral("z/open/"),
                       QStringLiteral("a/deep/deeper/")};
    QTest::newRow("unreadable start folder") << "locked/" << QStringList();
}

void TestFolderSearch::unreadableFoldersAreDroppedSilently()
{
    QFETCH(QString, start);
    QFETCH(QStringList, expected);
    if (!CanDropToNobody())
        QSKIP("needs root and setpriv to search as an unprivileged user");
    Tree tree;
    tree.folder(QStringLiteral("a/deep/deeper"));
    tree.folder(QStringLiteral("a/deep/shut/inside"));
    tree.folder(QStringLiteral("locked/inside"));
    tree.folder(QStringLiteral("m_listonly/inside"));
    tree.folder(QStringLiteral("z/open"));
    tree.chmod(QStringLiteral("a/deep/shut"), 0000);
    tree.chmod(QStringLiteral("locked"), 0700);
    tree.chmod(QStringLiteral("m_listonly"), 0311);
    if (QTest::currentTestFailed())
        return;

    QStringList expectedLines;
    for (const QString& folder : expected)
        expectedLines << QStringLiteral("folder ") + tree.path(folder);
    QCOMPARE(RunAsNobody({QStringLiteral("search"), tree.path(start)}), expectedLines);
}

void TestFolderSearch::filesInFolderAreEveryOpenableMatch()
{
    Tree tree;
    QStringList expected;
    for (int i = 0; i < 151; ++i) {
        const QString name = QStringLiteral("song%1.mid").arg(i, 3, 10, QLatin1Char('0'));
        tree.file(name);
        expected << name;
    }
    tree.file(QStringLiteral(".hidden.mid"));
    tree.file(QStringLiteral("other.txt"));
    tree.file(QStringLiteral("noextension"));
    tree.folder(QStringLiteral("folder.mid"));
    tree.fifo(QStringLiteral("pipe.mid"));
    tree.link(QStringLiteral("song000.mid"), QStringLiteral("to-file.mid"));
    tree.link(QStringLiteral("nowhere"), QStringLiteral("dangling.mid"));
    tree.link(QStringLiteral("folder.mid"), QStringLiteral("to-folder.mid"));
    tree.link(QStringLiteral("/dev/null"), QStringLiteral("device.mid"));
    if (QTest::currentTestFailed())
        return;

    QElapsedTimer clock;
    clock.start();
    const QStringList names =
        FolderSearch::GetFilesInFolder(tree.path().chopped(1), QStringLiteral("*.mid"));
    QVERIFY2(clock.elapsed() < 30000, "the listing must not wait on the FIFO");
    QCOMPARE(names, QStringList{QStringLiteral(".hidden.mid")} + expected +
                        QStringList{QStringLiteral("to-file.mid")});

    // "*.*" takes every openable file, with or without a dot in its name.
    QVERIFY(FolderSearch::GetFilesInFolder(tree.path(), QStringLiteral("*.*"))
                .contains(QStringLiteral("noextension")));
}

void TestFolderSearch::filesInFolderAreListedCaseInsensitively()
{
    Tree tree;
    for (const char* name : {"b.mid", "a.mid", "C.MID", "A.mid", "_x.mid", "a1.mid"})
        tree.file(QLatin1String(name));
    QCOMPARE(
        FolderSearch::GetFilesInFolder(tree.path(), QStringLiteral("*.mid")),
        QStringList({QStringLiteral("_x.mid"), QStringLiteral("A.mid"), QStringLiteral("a.mid"),
                     QStringLiteral("a1.mid"), QStringLiteral("b.mid"), QStringLiteral("C.MID")}));
}

void TestFolderSearch::filesInFolderOfMissingOrEmptyFolderAreNone()
{
    Tree tree;
    tree.file(QStringLiteral("a.txt"));
    QCOMPARE(FolderSearch::GetFilesInFolder(tree.path(), QStringLiteral("*.mid")), QStringList());
    QCOMPARE(
        FolderSearch::GetFilesInFolder(tree.path(QStringLiteral("gone")), QStringLiteral("*.*")),
        QStringList());
    QCOMPARE(
        FolderSearch::GetFilesInFolder(tree.path(QStringLiteral("a.txt")), QStringLiteral("*.*")),
        QStringList());
}

void TestFolderSearch::openableFile_data()
{
    QTest::addColumn<QString>("relative");
    QTest::addColumn<bool>("openable");
    QTest::newRow("regular file") << "file.mid" << true;
    QTest::newRow("link to a file") << "link.mid" << true;
    QTest::newRow("folder") << "folder" << false;
    QTest::newRow("missing") << "missing.mid" << false;
    QTest::newRow("FIFO without a writer") << "pipe" << false;
    QTest::newRow("dangling link") << "dangling" << false;
    QTest::newRow("link to a device") << "device" << false;
    QTest::newRow("file with a trailing separator") << "file.mid/" << false;
}

void TestFolderSearch::openableFile()
{
    QFETCH(QString, relative);
    QFETCH(bool, openable);
    Tree tree;
    tree.file(QStringLiteral("file.mid"));
    tree.link(QStringLiteral("file.mid"), QStringLiteral("link.mid"));
    tree.folder(QStringLiteral("folder"));
    tree.fifo(QStringLiteral("pipe"));
    tree.link(QStringLiteral("missing"), QStringLiteral("dangling"));
    tree.link(QStringLiteral("/dev/zero"), QStringLiteral("device"));
    QCOMPARE(FolderSearch::IsOpenableFile(tree.path(relative)), openable);
    QVERIFY(!FolderSearch::IsOpenableFile(QString()));
    QVERIFY(!FolderSearch::IsOpenableFile(tree.path(QStringLiteral("file.mid")) + QChar(u'\0')));
}

void TestFolderSearch::unreadableFileIsNotOpenable()
{
    if (!CanDropToNobody())
        QSKIP("needs root and setpriv to test as an unprivileged user");
    Tree tree;
    tree.file(QStringLiteral("private.mid"), 0600);
    tree.file(QStringLiteral("public.mid"), 0644);
    QCOMPARE(RunAsNobody({QStringLiteral("openable"), tree.path(QStringLiteral("private.mid"))}),
             QStringList{QStringLiteral("false")});
    QCOMPARE(RunAsNobody({QStringLiteral("openable"), tree.path(QStringLiteral("public.mid"))}),
             QStringList{QStringLiteral("true")});
}

void TestFolderSearch::treeFilesSkipTildeAndHiddenWritableFiles()
{
    if (!CanDropToNobody())
        QSKIP("needs root and setpriv to have files that are read-only for the user");
    Tree tree;
    tree.folder(QStringLiteral("sub"));
    tree.file(QStringLiteral("plain.mid"), 0644);          // 33: read-only for the user
    tree.file(QStringLiteral("mine.mid"), 0666);           // 32
    tree.file(QStringLiteral(".hidden-mine.mid"), 0666);   // 34: skipped
    tree.file(QStringLiteral(".hidden-shared.mid"), 0644); // 35
    tree.file(QStringLiteral("~lock.mid"), 0666);
    tree.file(QStringLiteral("private.mid"), 0600);
    tree.file(QStringLiteral("sub/~x.mid"), 0644);
    tree.file(QStringLiteral("sub/y.MID"), 0644);
    if (QTest::currentTestFailed())
        return;

    QStringList expected;
    for (const char* name : {".hidden-shared.mid", "mine.mid", "plain.mid", "sub/y.MID"})
        expected << QStringLiteral("entry ") + tree.path(QLatin1String(name));
    QCOMPARE(
        RunAsNobody({QStringLiteral("addtree"), tree.path().chopped(1), QStringLiteral("*.mid")}),
        expected);
}

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const qsizetype child = arguments.indexOf(QStringLiteral("--child"));
    if (child >= 0)
        return RunChildJob(arguments.mid(child + 1));
    TestFolderSearch test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_foldersearch.moc"
