// The command line's own walk over a tree finds what the window's folder search finds, in the
// same order, on a tree of every awkward kind of entry.
#include "cli/treewalk.h"
#include "convert/applicationerror.h"
#include "convert/platform.h"
#include "filelist/foldersearch.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class Tree
{
public:
    Tree() { QVERIFY(m_dir.isValid()); }
    // QTemporaryDir removes names by their text, which loses the stray bytes.
    ~Tree() { QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), m_dir.path()}); }

    QByteArray path(const QByteArray& relative = {}) const
    {
        return Platform::EncodePath(m_dir.path()) + '/' + relative;
    }
    void folder(const QByteArray& relative) const
    {
        QVERIFY2(::mkdir(path(relative).constData(), 0755) == 0, relative.constData());
    }
    void file(const QByteArray& relative, mode_t mode = 0644) const
    {
        const int descriptor = ::open(path(relative).constData(), O_WRONLY | O_CREAT, mode);
        QVERIFY2(descriptor >= 0, relative.constData());
        QCOMPARE(::write(descriptor, "MThd", 4), 4);
        ::close(descriptor);
    }
    void link(const QByteArray& target, const QByteArray& relative) const
    {
        QVERIFY2(::symlink(target.constData(), path(relative).constData()) == 0,
                 relative.constData());
    }

private:
    QTemporaryDir m_dir;
};

// Folders with names in every order of case and bytes, the names the search leaves out, links
// to files, to folders, in a loop and to nothing, a FIFO and a folder named like a song.
void Build(const Tree& tree)
{
    for (const char* folder : {"Beta", "alpha", "Zed", "Zed/deep", "Zed/deep/deeper", "f\xe9",
                               "\xc3\x89t\xc3\xa9", "bad\x01", "d.mid", ".hidden"})
        tree.folder(folder);
    for (const char* file : {"b.mid",
                             "A.mid",
                             "a.MID",
                             "_x.mid",
                             "B2.mid",
                             "a.kar",
                             "noext",
                             "~skip.mid",
                             ".h.mid",
                             "caf\xe9.mid",
                             "\xc3\xa9t\xc3\xa9.mid",
                             "\xc3\x89T\xc3\x89.mid",
                             "\xe2\x84\xaa.mid",
                             "k.mid",
                             "alpha/one.midi",
                             "alpha/One.mid",
                             "Beta/two.rmi",
                             "Beta/Apple.mid",
                             "Beta/banana.mid",
                             "Beta/_under.mid",
                             "Beta/Cherry.mid",
                             "Zed/deep/deeper/x.mid",
                             "f\xe9/in.mid",
                             "\xc3\x89t\xc3\xa9/in.mid",
                             "bad\x01/lost.mid",
                             ".hidden/seen.mid"})
        tree.file(file);
    tree.file("readonly.mid", 0444);
    tree.link("b.mid", "linked.mid");
    tree.link("b.mid", ".linked.mid");
    tree.link("nothing.mid", "dangling.mid");
    tree.link("..", "Zed/deep/up");
    tree.link(tree.path("alpha"), "Zed/alpha link");
    tree.link(tree.path("Beta"), ".beta link");
    QVERIFY(::mkfifo(tree.path("fifo.mid").constData(), 0644) == 0);
}

QStringList Walked(const QByteArray& folder, const QStringList& patterns)
{
    QStringList found;
    TreeWalk::Walk(folder, patterns, [&](const TreeWalk::File& file) {
        struct stat facts
        {
        };
        const QByteArray path = file.path.toByteArray();
        if (::stat(path.constData(), &facts) != 0 || quint64(facts.st_ino) != file.inode ||
            path.at(file.nameAt - 1) != '/')
            found << QStringLiteral("wrong facts of ") + Platform::DecodePath(path);
        found << Platform::DecodePath(path);
    });
    return found;
}

QStringList Searched(const QString& folder, const QStringList& patterns)
{
    QStringList found;
    QStringList reports;
    const tp::ErrorReporter reporter = [&](const QString& text, const QString&, int) {
        reports << text;
    };
    tp::ErrorTrap trap(QStringLiteral("test"), reporter);
    FolderSearch::AddTreeFiles([&](const QString& path) { found << path; }, folder, patterns, trap,
                               reporter, 0);
    return found + reports;
}

} // namespace

class TestTreeWalk : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void findsWhatTheWindowFinds_data();
    void findsWhatTheWindowFinds();
};

void TestTreeWalk::findsWhatTheWindowFinds_data()
{
    QTest::addColumn<QByteArray>("start");
    QTest::addColumn<QStringList>("patterns");
    QTest::addColumn<int>("count");

    const QStringList midiKinds{QStringLiteral("*.mid"), QStringLiteral("*.midi"),
                                QStringLiteral("*.kar"), QStringLiteral("*.rmi")};
    QTest::newRow("every MIDI kind") << QByteArray() << midiKinds << 25;
    QTest::newRow("every file") << QByteArray() << QStringList{QStringLiteral("*.*")} << 26;
    QTest::newRow("a wildcard letter") << QByteArray() << QStringList{QStringLiteral("*.k?r")} << 1;
    QTest::newRow("a pattern beyond ASCII")
        << QByteArray() << QStringList{QStringLiteral("\u00e9*.mid")} << 2;
    QTest::newRow("a sub-folder") << QByteArray("Zed") << midiKinds << 3;
    QTest::newRow("a folder reached by a link") << QByteArray("Zed/alpha link") << midiKinds << 2;
    QTest::newRow("a hidden link to a folder") << QByteArray(".beta link") << midiKinds << 5;
}

void TestTreeWalk::findsWhatTheWindowFinds()
{
    QFETCH(QByteArray, start);
    QFETCH(QStringList, patterns);
    QFETCH(int, count);

    Tree tree;
    Build(tree);
    const QByteArray folder = tree.path(start).chopped(start.isEmpty());
    const QStringList walked = Walked(folder, patterns);
    QCOMPARE(walked, Searched(Platform::DecodePath(folder), patterns));
    QCOMPARE(walked.size(), count);
}

QTEST_GUILESS_MAIN(TestTreeWalk)
#include "tst_treewalk.moc"
