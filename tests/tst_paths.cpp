// The shared path and file helpers and the bitrate number, on the real file system.

#include "app/mainwindow.h"
#include "convert/applicationerror.h"
#include "convert/bitrate.h"
#include "convert/paths.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <functional>
#include <grp.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QChar Backslash = QLatin1Char('\\');
const QChar Slash = QLatin1Char('/');

// Exit codes of a child that ran a writer.
constexpr int Threw = 0;
constexpr int Returned = 1;
constexpr int ThrewOther = 2;
constexpr int CouldNotDrop = 90;

// Runs a statement in a child process, after an optional preparation there (dropping to the
// user nobody, a file size limit); answers whether it threw an ApplicationError, returned, or
// failed otherwise.
int RunInChild(const std::function<bool()>& prepare, const std::function<void()>& statement)
{
    const pid_t child = ::fork();
    if (child == 0) {
        if (prepare && !prepare())
            ::_exit(CouldNotDrop);
        int code = Returned;
        try {
            statement();
        } catch (const tp::ApplicationError&) {
            code = Threw;
        } catch (...) {
            code = ThrewOther;
        }
        ::_exit(code);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

bool DropToNobody()
{
    const passwd* nobody = ::getpwnam("nobody");
    return nobody && ::setgroups(0, nullptr) == 0 && ::setgid(nobody->pw_gid) == 0 &&
           ::setuid(nobody->pw_uid) == 0;
}

bool LimitFileSize()
{
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    return ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray Contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteRaw(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// A writer under test, called by name in data rows.
using Writer = std::function<void(const QByteArray& bytes, const QString& path)>;

Writer WriterNamed(const QString& name)
{
    if (name == QStringLiteral("WriteTextFile"))
        return [](const QByteArray& bytes, const QString& path) {
            Paths::WriteTextFile(QString::fromUtf8(bytes), path);
        };
    return [](const QByteArray& bytes, const QString& path) {
        Paths::WriteBytesIfMissing(bytes, path);
    };
}

} // namespace

class TestPaths : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void pathParts_data();
    void pathParts();
    void stripExtension_data();
    void stripExtension();
    void collapseBackslashes_data();
    void collapseBackslashes();

    void existence_data();
    void existence();

    void deleteFileQuiet_data();
    void deleteFileQuiet();
    void deleteFileQuietNeverRaisesWhenDenied();
    void deleteFileForcedReportsFailure();
    void helpersLetPendingEventsRun_data();
    void helpersLetPendingEventsRun();

    void writeBytesIfMissingWritesBytesUnchanged();
    void writeBytesIfMissingLeavesPresentFileUntouched_data();
    void writeBytesIfMissingLeavesPresentFileUntouched();
    void writeBytesIfMissingReplacesDanglingLink();
    void writeTextFile_data();
    void writeTextFile();
    void writeTextFileKeepsPermissionsOfReplacedFile();
    void writerFailureLeavesNoFile_data();
    void writerFailureLeavesNoFile();
    void writerDeniedAsUserLeavesNoFile_data();
    void writerDeniedAsUserLeavesNoFile();
    void interruptedWriteLeavesNoPartialFile_data();
    void interruptedWriteLeavesNoPartialFile();

    void bitrateNumberOfEveryListChoice();
    void bitrateNumber_data();
    void bitrateNumber();
    void bitrateNumberOverflow_data();
    void bitrateNumberOverflow();
    void lenientNumber_data();
    void lenientNumber();
};

void TestPaths::pathParts_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("name");

    QTest::newRow("windows full path")
        << Backslash << QStringLiteral("C:\\Music\\Song.mid") << QStringLiteral("C:\\Music\\")
        << QStringLiteral("Song.mid");
    QTest::newRow("windows bare name")
        << Backslash << QStringLiteral("Song.mid") << QString() << QStringLiteral("Song.mid");
    QTest::newRow("windows ends in separator")
        << Backslash << QStringLiteral("C:\\Music\\") << QStringLiteral("C:\\Music\\") << QString();
    QTest::newRow("windows ignores slash") << Backslash << QStringLiteral("C:/Music/Song.mid")
                                           << QString() << QStringLiteral("C:/Music/Song.mid");
    QTest::newRow("linux full path")
        << Slash << QStringLiteral("/home/u/Music/Song.mid") << QStringLiteral("/home/u/Music/")
        << QStringLiteral("Song.mid");
    QTest::newRow("linux root file") << Slash << QStringLiteral("/Song.mid") << QStringLiteral("/")
                                     << QStringLiteral("Song.mid");
    QTest::newRow("linux bare name")
        << Slash << QStringLiteral("Song.mid") << QString() << QStringLiteral("Song.mid");
    QTest::newRow("linux backslash is part of a name")
        << Slash << QStringLiteral("/tmp/a\\b.mid") << QStringLiteral("/tmp/")
        << QStringLiteral("a\\b.mid");
    QTest::newRow("empty") << Slash << QString() << QString() << QString();
}

void TestPaths::pathParts()
{
    QFETCH(QChar, separator);
    QFETCH(QString, path);
    QFETCH(QString, folder);
    QFETCH(QString, name);
    QCOMPARE(Paths::FolderOfPath(path, separator), folder);
    QCOMPARE(Paths::FileNameOfPath(path, separator), name);
}

void TestPaths::stripExtension_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("stripped");

    QTest::newRow("one dot") << QStringLiteral("Song.mid") << QStringLiteral("Song");
    QTest::newRow("several dots") << QStringLiteral("My.Song.mid") << QStringLiteral("My.Song");
    QTest::newRow("no dot") << QStringLiteral("Song") << QStringLiteral("Song");
    QTest::newRow("only dot first") << QStringLiteral(".mid") << QStringLiteral(".mid");
    QTest::newRow("dot at second character") << QStringLiteral("a.b") << QStringLiteral("a");
    QTest::newRow("trailing dot") << QStringLiteral("Song.") << QStringLiteral("Song");
    QTest::newRow("hidden with extension") << QStringLiteral(".a.mid") << QStringLiteral(".a");
    QTest::newRow("empty") << QString() << QString();
}

void TestPaths::stripExtension()
{
    QFETCH(QString, name);
    QFETCH(QString, stripped);
    QCOMPARE(Paths::StripExtension(name), stripped);
}

void TestPaths::collapseBackslashes_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("collapsed");

    const auto row = [](const char* name, QChar separator, const char* path,
                        const char* collapsed) {
        QTest::newRow(name) << separator << QString::fromUtf8(path) << QString::fromUtf8(collapsed);
    };
    row("\\ doubled in the middle", Backslash, "C:\\Music\\\\Song_128 kbps.mp3",
        "C:\\Music\\Song_128 kbps.mp3");
    row("\\ root of a drive", Backslash, "D:\\\\Song.mp3", "D:\\Song.mp3");
    row("\\ network path", Backslash, "\\\\server\\share\\\\a.mp3", "\\\\server\\share\\a.mp3");
    row("\\ three leading", Backslash, "\\\\\\x", "\\\\x");
    row("\\ one leading", Backslash, "\\x", "\\\\x");
    row("\\ only backslashes", Backslash, "\\\\\\\\", "\\\\");
    row("\\ single backslash", Backslash, "\\", "\\\\");
    row("\\ nothing doubled", Backslash, "C:\\Music\\Song.mid", "C:\\Music\\Song.mid");
    row("\\ three in a row", Backslash, "C:\\a\\\\\\b", "C:\\a\\\\b");
    row("\\ four in a row", Backslash, "C:\\a\\\\\\\\b", "C:\\a\\\\b");
    row("\\ trailing pair", Backslash, "C:\\a\\\\", "C:\\a\\");
    row("\\ slashes untouched", Backslash, "C://a", "C://a");
    row("\\ empty", Backslash, "", "");
    row("/ doubled in the middle", Slash, "/home/u/Music//Song_128 kbps.mp3",
        "/home/u/Music/Song_128 kbps.mp3");
    row("/ two leading", Slash, "//x", "/x");
    row("/ three leading", Slash, "///x", "/x");
    row("/ root joined with a name", Slash, "//a.mid", "/a.mid");
    row("/ root alone", Slash, "/", "/");
    row("/ only slashes", Slash, "////", "/");
    row("/ nothing doubled", Slash, "/home/u/a.mid", "/home/u/a.mid");
    row("/ three in a row", Slash, "/a///b", "/a//b");
    row("/ four in a row", Slash, "/a////b", "/a//b");
    row("/ relative", Slash, "Music//a.mid", "Music/a.mid");
    row("/ backslashes untouched", Slash, "/a\\\\b", "/a\\\\b");
    row("/ empty", Slash, "", "");
}

void TestPaths::collapseBackslashes()
{
    QFETCH(QChar, separator);
    QFETCH(QString, path);
    QFETCH(QString, collapsed);
    QCOMPARE(Paths::CollapseBackslashes(path, separator), collapsed);
    if (separator == Platform::NativeSeparator)
        QCOMPARE(Paths::CollapseBackslashes(path), collapsed);
}

void TestPaths::existence_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("file");
    QTest::addColumn<bool>("folder");

    // Names are relative to a prepared folder; "<empty>" and "<nul>" stand for those texts.
    QTest::newRow("file") << QStringLiteral("song.mid") << true << false;
    QTest::newRow("empty file") << QStringLiteral("empty.mid") << true << false;
    QTest::newRow("read-only file") << QStringLiteral("readonly.mid") << true << false;
    QTest::newRow("folder") << QStringLiteral("sub") << false << true;
    QTest::newRow("folder with separator") << QStringLiteral("sub/") << false << true;
    QTest::newRow("file with separator") << QStringLiteral("song.mid/") << false << false;
    QTest::newRow("link to file") << QStringLiteral("link.mid") << true << false;
    QTest::newRow("link to folder") << QStringLiteral("linkdir") << false << true;
    QTest::newRow("dangling link") << QStringLiteral("dangling.mid") << false << false;
    QTest::newRow("missing") << QStringLiteral("missing.mid") << false << false;
    QTest::newRow("missing folder on the way")
        << QStringLiteral("nowhere/song.mid") << false << false;
    QTest::newRow("letter case differs") << QStringLiteral("SONG.MID") << false << false;
    QTest::newRow("empty text") << QStringLiteral("<empty>") << false << false;
    QTest::newRow("NUL in text") << QStringLiteral("<nul>") << false << false;
}

void TestPaths::existence()
{
    QFETCH(QString, name);
    QFETCH(bool, file);
    QFETCH(bool, folder);

    QTemporaryDir dir;
    const QString base = dir.path() + Slash;
    WriteRaw(base + QStringLiteral("song.mid"), "MThd");
    WriteRaw(base + QStringLiteral("empty.mid"), QByteArray());
    WriteRaw(base + QStringLiteral("readonly.mid"), "x");
    QVERIFY(QFile::setPermissions(base + QStringLiteral("readonly.mid"), QFile::ReadOwner));
    QVERIFY(QDir().mkdir(base + QStringLiteral("sub")));
    QVERIFY(QFile::link(base + QStringLiteral("song.mid"), base + QStringLiteral("link.mid")));
    QVERIFY(QFile::link(base + QStringLiteral("sub"), base + QStringLiteral("linkdir")));
    QVERIFY(QFile::link(base + QStringLiteral("gone.mid"), base + QStringLiteral("dangling.mid")));

    QString path = base + name;
    if (name == QStringLiteral("<empty>"))
        path.clear();
    else if (name == QStringLiteral("<nul>"))
        path = base + QStringLiteral("song.mid") + QChar(u'\0') + QStringLiteral("x");

    QCOMPARE(Paths::FileExists(path), file);
    QCOMPARE(Paths::FolderExists(path), folder);
}

void TestPaths::deleteFileQuiet_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("gone");

    QTest::newRow("file") << QStringLiteral("song.wav") << true;
    QTest::newRow("read-only file") << QStringLiteral("readonly.wav") << true;
    QTest::newRow("link, not its target") << QStringLiteral("link.wav") << true;
    QTest::newRow("folder stays") << QStringLiteral("sub") << false;
    QTest::newRow("missing") << QStringLiteral("missing.wav") << true;
    QTest::newRow("empty text") << QStringLiteral("<empty>") << true;
}

void TestPaths::deleteFileQuiet()
{
    QFETCH(QString, name);
    QFETCH(bool, gone);

    QTemporaryDir dir;
    const QString base = dir.path() + Slash;
    WriteRaw(base + QStringLiteral("song.wav"), "RIFF");
    WriteRaw(base + QStringLiteral("readonly.wav"), "RIFF");
    QVERIFY(QFile::setPermissions(base + QStringLiteral("readonly.wav"), QFile::ReadOwner));
    WriteRaw(base + QStringLiteral("target.wav"), "RIFF");
    QVERIFY(QFile::link(base + QStringLiteral("target.wav"), base + QStringLiteral("link.wav")));
    QVERIFY(QDir().mkdir(base + QStringLiteral("sub")));
    WriteRaw(base + QStringLiteral("sub/inside.wav"), "RIFF");

    const QString path = name == QStringLiteral("<empty>") ? QString() : base + name;
    Paths::DeleteFileQuiet(path);

    if (!path.isEmpty())
        QCOMPARE(QFileInfo(path).exists() || QFileInfo(path).isSymLink(), !gone);
    QVERIFY(QFileInfo::exists(base + QStringLiteral("target.wav")));
    QVERIFY(QFileInfo::exists(base + QStringLiteral("sub/inside.wav")));
}

void TestPaths::deleteFileQuietNeverRaisesWhenDenied()
{
    if (::geteuid() != 0)
        QSKIP("needs root to act as another user");
    QTemporaryDir dir;
    QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                  QFile::ExeOwner | QFile::ReadOther |
                                                  QFile::ExeOther));
    // A read-only file of the user's own in a folder that the user may not change: the
    // deletion fails, and the file keeps its contents and its permissions.
    const QString path = dir.path() + QStringLiteral("/kept.wav");
    WriteRaw(path, "RIFF");
    const passwd* nobody = ::getpwnam("nobody");
    QVERIFY(nobody);
    QCOMPARE(::chown(QFile::encodeName(path).constData(), nobody->pw_uid, nobody->pw_gid), 0);
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadOther));
    const QFile::Permissions before = QFileInfo(path).permissions();

    QCOMPARE(RunInChild(DropToNobody, [&] { Paths::DeleteFileQuiet(path); }), Returned);
    QCOMPARE(RunInChild(DropToNobody, [&] { Paths::DeleteFileForced(path); }), Threw);
    QCOMPARE(Contents(path), QByteArray("RIFF"));
    QCOMPARE(QFileInfo(path).permissions(), before);
}

void TestPaths::deleteFileForcedReportsFailure()
{
    QTemporaryDir dir;
    QVERIFY_THROWS_EXCEPTION(tp::ApplicationError,
                             Paths::DeleteFileForced(dir.path() + QStringLiteral("/missing.wav")));
    QVERIFY_THROWS_EXCEPTION(tp::ApplicationError, Paths::DeleteFileForced(dir.path()));
    QVERIFY(QFileInfo(dir.path()).isDir());
}

void TestPaths::helpersLetPendingEventsRun_data()
{
    QTest::addColumn<QString>("helper");
    QTest::newRow("DeleteFileQuiet") << QStringLiteral("DeleteFileQuiet");
    QTest::newRow("WriteBytesIfMissing") << QStringLiteral("WriteBytesIfMissing");
}

void TestPaths::helpersLetPendingEventsRun()
{
    QFETCH(QString, helper);
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/a.bin");
    bool ran = false;
    QTimer::singleShot(0, this, [&] { ran = true; });
    if (helper == QStringLiteral("DeleteFileQuiet"))
        Paths::DeleteFileQuiet(path);
    else
        Paths::WriteBytesIfMissing("x", path);
    QVERIFY(ran);
}

void TestPaths::writeBytesIfMissingWritesBytesUnchanged()
{
    QTemporaryDir dir;
    QByteArray bytes;
    for (int i = 0; i < 70000; ++i)
        bytes.append(static_cast<char>(i * 7 % 256));
    const QString path = dir.path() + QStringLiteral("/timidity.exe");

    Paths::WriteBytesIfMissing(bytes, path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QCOMPARE(Contents(path), bytes);
    QCOMPARE(QFileInfo(path).permissions() &
                 (QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther),
             QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(Entries(dir.path()), QStringList{QStringLiteral("timidity.exe")});

    const QString empty = dir.path() + QStringLiteral("/empty.bin");
    Paths::WriteBytesIfMissing(QByteArray(), empty);
    QVERIFY(QFileInfo(empty).isFile());
    QCOMPARE(QFileInfo(empty).size(), 0);
}

void TestPaths::writeBytesIfMissingLeavesPresentFileUntouched_data()
{
    QTest::addColumn<QByteArray>("present");
    QTest::addColumn<bool>("readOnly");
    QTest::newRow("empty file") << QByteArray() << false;
    QTest::newRow("shorter file") << QByteArray("old") << false;
    QTest::newRow("read-only file") << QByteArray("old") << true;
}

void TestPaths::writeBytesIfMissingLeavesPresentFileUntouched()
{
    QFETCH(QByteArray, present);
    QFETCH(bool, readOnly);
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/8MBGMSFX.SF2");
    WriteRaw(path, present);
    if (readOnly)
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner));
    const QDateTime modified = QDateTime::currentDateTime().addDays(-3);
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.setFileTime(modified, QFileDevice::FileModificationTime));
    }
    const QFileInfo before(path);

    Paths::WriteBytesIfMissing("new and longer contents", path);

    const QFileInfo after(path);
    QCOMPARE(Contents(path), present);
    QCOMPARE(after.lastModified(), before.lastModified());
    QCOMPARE(after.permissions(), before.permissions());
    QCOMPARE(Entries(dir.path()), QStringList{QStringLiteral("8MBGMSFX.SF2")});
}

void TestPaths::writeBytesIfMissingReplacesDanglingLink()
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/lame.exe");
    QVERIFY(QFile::link(dir.path() + QStringLiteral("/gone"), path));
    Paths::WriteBytesIfMissing("bytes", path);
    QVERIFY(!QFileInfo(path).isSymLink());
    QCOMPARE(Contents(path), QByteArray("bytes"));
    QVERIFY(!QFileInfo::exists(dir.path() + QStringLiteral("/gone")));
}

void TestPaths::writeTextFile_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("present");
    QTest::addColumn<QByteArray>("written");

    QTest::newRow("new file") << QStringLiteral("soundfont \"/tmp/x/8MBGMSFX.SF2\"") << QByteArray()
                              << QByteArray("soundfont \"/tmp/x/8MBGMSFX.SF2\"\r\n");
    QTest::newRow("longer file is emptied first")
        << QStringLiteral("short") << QByteArray("a much longer line that was here\r\n")
        << QByteArray("short\r\n");
    QTest::newRow("empty text") << QString() << QByteArray("old") << QByteArray("\r\n");
    QTest::newRow("characters beyond ASCII") << QStringLiteral("M\u00fcller \u266a") << QByteArray()
                                             << QByteArray("M\xc3\xbcller \xe2\x99\xaa\r\n");
}

void TestPaths::writeTextFile()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, present);
    QFETCH(QByteArray, written);
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/timidity.cfg");
    if (!present.isEmpty())
        WriteRaw(path, present);

    Paths::WriteTextFile(text, path);

    QCOMPARE(Contents(path), written);
    QCOMPARE(Entries(dir.path()), QStringList{QStringLiteral("timidity.cfg")});
}

void TestPaths::writeTextFileKeepsPermissionsOfReplacedFile()
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/timidity.cfg");
    WriteRaw(path, "old");
    const auto permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    QVERIFY(QFile::setPermissions(path, permissions));
    Paths::WriteTextFile(QStringLiteral("new"), path);
    QCOMPARE(Contents(path), QByteArray("new\r\n"));
    QCOMPARE(QFileInfo(path).permissions() &
                 (QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup |
                  QFile::ReadOther),
             permissions);
}

void TestPaths::writerFailureLeavesNoFile_data()
{
    QTest::addColumn<QString>("writer");
    QTest::addColumn<QString>("name");

    for (const QString& writer :
         {QStringLiteral("WriteBytesIfMissing"), QStringLiteral("WriteTextFile")}) {
        QTest::addRow("%s, folder missing", qPrintable(writer))
            << writer << QStringLiteral("missing/out.bin");
        QTest::addRow("%s, name is a folder", qPrintable(writer))
            << writer << QStringLiteral("taken");
        QTest::addRow("%s, name ends in separator", qPrintable(writer))
            << writer << QStringLiteral("out.bin/");
    }
}

void TestPaths::writerFailureLeavesNoFile()
{
    QFETCH(QString, writer);
    QFETCH(QString, name);
    QTemporaryDir dir;
    QVERIFY(QDir().mkdir(dir.path() + QStringLiteral("/taken")));
    const QStringList before = Entries(dir.path());

    QVERIFY_THROWS_EXCEPTION(tp::ApplicationError,
                             WriterNamed(writer)("bytes", dir.path() + Slash + name));

    QCOMPARE(Entries(dir.path()), before);
    QVERIFY(Entries(dir.path() + QStringLiteral("/taken")).isEmpty());
}

void TestPaths::writerDeniedAsUserLeavesNoFile_data()
{
    QTest::addColumn<QString>("writer");
    QTest::newRow("WriteBytesIfMissing") << QStringLiteral("WriteBytesIfMissing");
    QTest::newRow("WriteTextFile") << QStringLiteral("WriteTextFile");
}

void TestPaths::writerDeniedAsUserLeavesNoFile()
{
    QFETCH(QString, writer);
    if (::geteuid() != 0)
        QSKIP("needs root to act as another user");
    QTemporaryDir dir;
    // The folder can be entered and read by everyone but written only by its owner, root.
    QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                  QFile::ExeOwner | QFile::ReadOther |
                                                  QFile::ExeOther));
    const QString path = dir.path() + QStringLiteral("/timidity.cfg");
    const Writer write = WriterNamed(writer);

    QCOMPARE(RunInChild(DropToNobody, [&] { write("bytes", path); }), Threw);
    QVERIFY(Entries(dir.path()).isEmpty());
}

void TestPaths::interruptedWriteLeavesNoPartialFile_data()
{
    QTest::addColumn<QString>("writer");
    QTest::addColumn<QByteArray>("present");
    QTest::newRow("WriteBytesIfMissing") << QStringLiteral("WriteBytesIfMissing") << QByteArray();
    QTest::newRow("WriteTextFile, new") << QStringLiteral("WriteTextFile") << QByteArray();
    QTest::newRow("WriteTextFile, old file kept")
        << QStringLiteral("WriteTextFile") << QByteArray("old contents\r\n");
}

void TestPaths::interruptedWriteLeavesNoPartialFile()
{
    QFETCH(QString, writer);
    QFETCH(QByteArray, present);
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/8MBGMSFX.SF2");
    if (!present.isEmpty())
        WriteRaw(path, present);
    const Writer write = WriterNamed(writer);

    // The file size limit stops the write part-way, as a full disk would.
    QCOMPARE(RunInChild(LimitFileSize, [&] { write(QByteArray(1 << 20, 'x'), path); }), Threw);

    if (present.isEmpty())
        QVERIFY(Entries(dir.path()).isEmpty());
    else
        QCOMPARE(Entries(dir.path()), QStringList{QStringLiteral("8MBGMSFX.SF2")});
    QCOMPARE(Contents(path), present);
}

void TestPaths::bitrateNumberOfEveryListChoice()
{
    const QStringList choices = MainWindow::BitrateEntries();
    QCOMPARE(choices.size(), 18);
    for (const QString& choice : choices)
        QCOMPARE(Bitrate::BitrateNumber(choice), choice.section(QLatin1Char(' '), 0, 0).toInt());
}

void TestPaths::bitrateNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("number");

    QTest::newRow("list choice") << QStringLiteral("128 kbps") << 128;
    QTest::newRow("upper case unit") << QStringLiteral("320KBPS") << 320;
    QTest::newRow("mixed case unit") << QStringLiteral("64 KbPs") << 64;
    QTest::newRow("number alone") << QStringLiteral("200") << 200;
    QTest::newRow("half rounds to even, down") << QStringLiteral("96.5 kbps") << 96;
    QTest::newRow("half rounds to even, up") << QStringLiteral("97.5 kbps") << 98;
    QTest::newRow("above half") << QStringLiteral("96.51") << 97;
    QTest::newRow("blanks inside") << QStringLiteral("1 2 8") << 128;
    QTest::newRow("tab and line feed inside") << QStringLiteral("1\t2\n8 kbps") << 128;
    QTest::newRow("unit in the middle") << QStringLiteral("12kbps8") << 128;
    QTest::newRow("unit first") << QStringLiteral("kbps 160") << 160;
    QTest::newRow("stops at a letter") << QStringLiteral("12a3") << 12;
    QTest::newRow("stops at a second point") << QStringLiteral("1.2.3") << 1;
    QTest::newRow("stops at a comma") << QStringLiteral("1,000") << 1;
    QTest::newRow("exponent") << QStringLiteral("1.5e2 kbps") << 150;
    QTest::newRow("negative") << QStringLiteral("-8 kbps") << -8;
    QTest::newRow("lowest") << QStringLiteral("-32768") << -32768;
    QTest::newRow("highest") << QStringLiteral("32767") << 32767;
    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("no digits") << QStringLiteral("kbps") << 0;
    QTest::newRow("letters first") << QStringLiteral("abc 128") << 0;
    QTest::newRow("carriage return is not skipped") << QStringLiteral("1\r28") << 1;
}

void TestPaths::bitrateNumber()
{
    QFETCH(QString, text);
    QFETCH(int, number);
    QCOMPARE(int(Bitrate::BitrateNumber(text)), number);
}

void TestPaths::bitrateNumberOverflow_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("40000") << QStringLiteral("40000");
    QTest::newRow("just above") << QStringLiteral("32768 kbps");
    QTest::newRow("rounds above") << QStringLiteral("32767.5");
    QTest::newRow("just below") << QStringLiteral("-32769");
    QTest::newRow("huge exponent") << QStringLiteral("1e400");
    QTest::newRow("many digits") << QString(400, QLatin1Char('9'));
    QTest::newRow("many digits, small exponent")
        << QString(400, QLatin1Char('9')) + QStringLiteral("e-10");
    QTest::newRow("huge exponent, negative") << QStringLiteral("-1e99999999999999999999");
}

void TestPaths::bitrateNumberOverflow()
{
    QFETCH(QString, text);
    try {
        Bitrate::BitrateNumber(text);
        QFAIL("no overflow raised");
    } catch (const tp::ApplicationError& error) {
        QCOMPARE(error.description(), QStringLiteral("Overflow"));
    }
}

void TestPaths::lenientNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("number");

    QTest::newRow("fraction") << QStringLiteral("96.5") << 96.5;
    QTest::newRow("leading point") << QStringLiteral(".25") << 0.25;
    QTest::newRow("negative leading point") << QStringLiteral("-.5") << -0.5;
    QTest::newRow("plus sign") << QStringLiteral("+7") << 7.0;
    QTest::newRow("two signs") << QStringLiteral("+-7") << 0.0;
    QTest::newRow("sign after digits") << QStringLiteral("5-3") << 5.0;
    QTest::newRow("exponent with sign") << QStringLiteral("25e-1") << 2.5;
    QTest::newRow("exponent letter D") << QStringLiteral("2D1") << 20.0;
    QTest::newRow("exponent without digits") << QStringLiteral("7e") << 7.0;
    QTest::newRow("exponent sign without digits") << QStringLiteral("7e+") << 7.0;
    QTest::newRow("blank inside exponent") << QStringLiteral("1 e 2") << 100.0;
    QTest::newRow("point alone") << QStringLiteral(".") << 0.0;
    QTest::newRow("tiny") << QStringLiteral("1e-400") << 0.0;
    QTest::newRow("tiny with many zeros")
        << QStringLiteral("0.") + QString(400, QLatin1Char('0')) + QStringLiteral("1") << 0.0;
    QTest::newRow("tiny exponent beyond any range")
        << QStringLiteral("5e-99999999999999999999") << 0.0;
    QTest::newRow("full-width digits") << QStringLiteral("\uff11\uff12") << 0.0;
}

void TestPaths::lenientNumber()
{
    QFETCH(QString, text);
    QFETCH(double, number);
    QCOMPARE(Bitrate::LenientNumber(text), number);
}

QTEST_GUILESS_MAIN(TestPaths)
#include "tst_paths.moc"
