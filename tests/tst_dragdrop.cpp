// Dropping files and folders from other programs onto the list.
#include "filelist/filelistview.h"
#include "testfiles.h"
#include "testwindow.h"

#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

namespace {

struct DragOutcome
{
    bool enterAccepted = false;
    Qt::DropAction enterAction = Qt::IgnoreAction;
    bool moveAccepted = false;
    bool dropAccepted = false;
    Qt::DropAction dropAction = Qt::IgnoreAction;
};

} // namespace

class TestDragDrop : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestWindow> m_test;
    std::unique_ptr<QTemporaryDir> m_files;

    FileListView& list() { return *m_test->form->fileList; }
    QString file(const QString& relative) const { return m_files->filePath(relative); }

    // Drags the data over the list and drops it, as a file manager would.
    DragOutcome dragAndDrop(QMimeData* data, Qt::DropAction proposed = Qt::CopyAction,
                            Qt::DropActions possible = Qt::CopyAction | Qt::MoveAction |
                                                       Qt::LinkAction)
    {
        QWidget* viewport = list().viewport();
        const QPoint at(20, 20);
        DragOutcome outcome;
        QDragEnterEvent enter(at, possible, data, Qt::LeftButton, Qt::NoModifier);
        enter.setDropAction(proposed);
        QCoreApplication::sendEvent(viewport, &enter);
        outcome.enterAccepted = enter.isAccepted();
        outcome.enterAction = enter.dropAction();
        QDragMoveEvent move(at + QPoint(5, 5), possible, data, Qt::LeftButton, Qt::NoModifier);
        move.setDropAction(proposed);
        QCoreApplication::sendEvent(viewport, &move);
        outcome.moveAccepted = move.isAccepted();
        QDropEvent drop(at + QPoint(5, 5), possible, data, Qt::LeftButton, Qt::NoModifier);
        drop.setDropAction(proposed);
        QCoreApplication::sendEvent(viewport, &drop);
        outcome.dropAccepted = drop.isAccepted();
        outcome.dropAction = drop.dropAction();
        return outcome;
    }

    DragOutcome dropPaths(const QStringList& paths)
    {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls.append(QUrl::fromLocalFile(path));
        data.setUrls(urls);
        return dragAndDrop(&data);
    }

private Q_SLOTS:
    void init()
    {
        m_files = std::make_unique<QTemporaryDir>();
        m_test = std::make_unique<TestWindow>();
        m_test->load();
    }
    void cleanup()
    {
        m_test.reset();
        m_files.reset();
    }

    void dataWithoutLocalFilesIsRefused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("plain text") << QStringLiteral("text");
        QTest::newRow("text naming a file") << QStringLiteral("path text");
        QTest::newRow("web address") << QStringLiteral("web");
        QTest::newRow("no data") << QStringLiteral("empty");
    }
    void dataWithoutLocalFilesIsRefused()
    {
        QFETCH(QString, kind);
        MakeFile(file(QStringLiteral("a.mid")));
        QMimeData data;
        if (kind == QLatin1String("text"))
            data.setText(QStringLiteral("some words"));
        else if (kind == QLatin1String("path text"))
            data.setText(file(QStringLiteral("a.mid")));
        else if (kind == QLatin1String("web"))
            data.setUrls({QUrl(QStringLiteral("https://example.org/song.mid"))});
        const DragOutcome outcome = dragAndDrop(&data);
        QVERIFY(!outcome.enterAccepted);
        QCOMPARE(outcome.enterAction, Qt::IgnoreAction);
        QVERIFY(!outcome.moveAccepted);
        QCOMPARE(list().count(), 0);
        QVERIFY(m_test->dialogs.shown.isEmpty());
    }

    // The list takes paths, never the files: a proposed move is answered as a copy, so the
    // file manager does not delete what was dropped.
    void dropIsNeverAMove_data()
    {
        QTest::addColumn<Qt::DropAction>("proposed");
        QTest::addColumn<Qt::DropActions>("possible");
        QTest::addColumn<Qt::DropAction>("answered");
        QTest::newRow("copy") << Qt::CopyAction << Qt::DropActions(Qt::CopyAction | Qt::MoveAction)
                              << Qt::CopyAction;
        QTest::newRow("move") << Qt::MoveAction << Qt::DropActions(Qt::CopyAction | Qt::MoveAction)
                              << Qt::CopyAction;
        QTest::newRow("move or link")
            << Qt::MoveAction << Qt::DropActions(Qt::MoveAction | Qt::LinkAction) << Qt::LinkAction;
        QTest::newRow("move only")
            << Qt::MoveAction << Qt::DropActions(Qt::MoveAction) << Qt::IgnoreAction;
    }
    void dropIsNeverAMove()
    {
        QFETCH(Qt::DropAction, proposed);
        QFETCH(Qt::DropActions, possible);
        QFETCH(Qt::DropAction, answered);
        const QString song = file(QStringLiteral("a.mid"));
        MakeFile(song);
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(song)});
        const DragOutcome outcome = dragAndDrop(&data, proposed, possible);
        QCOMPARE(outcome.enterAccepted, answered != Qt::IgnoreAction);
        QCOMPARE(outcome.enterAction, answered);
        QCOMPARE(outcome.dropAccepted, answered != Qt::IgnoreAction);
        if (answered != Qt::IgnoreAction)
            QCOMPARE(outcome.dropAction, answered);
        QCOMPARE(list().count(), answered != Qt::IgnoreAction ? 1 : 0);
        QVERIFY(QFile::exists(song));
    }

    // A dropped file goes in as it is: no type, name, existence or openability test.
    void droppedFileIsAddedUnchanged_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("create");
        QTest::newRow("text file") << QStringLiteral("notes.txt") << true;
        QTest::newRow("name with ~") << QStringLiteral("~draft.mid") << true;
        QTest::newRow("hidden file") << QStringLiteral(".hidden.mid") << true;
        QTest::newRow("blanks and #") << QStringLiteral("My #1 Song.mid") << true;
        QTest::newRow("gone by the time of the drop") << QStringLiteral("gone.mid") << false;
    }
    void droppedFileIsAddedUnchanged()
    {
        QFETCH(QString, name);
        QFETCH(bool, create);
        const QString path = file(name);
        if (create)
            MakeFile(path);
        const DragOutcome outcome = dropPaths({path});
        QVERIFY(outcome.enterAccepted);
        QVERIFY(outcome.dropAccepted);
        QCOMPARE(Entries(list()), QStringList{path});
        QVERIFY(m_test->dialogs.shown.isEmpty());
    }

    // A dropped folder adds its whole tree, whatever the files' types, but not names that
    // begin with "~", hidden files, or what cannot be opened as a file (a broken link, a pipe).
    void droppedFolderAddsItsTree()
    {
        for (const char* name : {"A/song.mid", "A/notes.txt", "A/~lock.mid", "A/.hidden.mid",
                                 "A/deeper/more.kar", "A/deeper/deepest/last.mid"})
            MakeFile(file(QString::fromLatin1(name)));
        QVERIFY(
            QFile::link(file(QStringLiteral("A/song.mid")), file(QStringLiteral("A/link.mid"))));
        QVERIFY(
            QFile::link(file(QStringLiteral("nowhere.mid")), file(QStringLiteral("A/broken.mid"))));
        QCOMPARE(::mkfifo(QFile::encodeName(file(QStringLiteral("A/pipe.mid"))).constData(), 0600),
                 0);
        dropPaths({file(QStringLiteral("A"))});
        const QStringList expected{
            file(QStringLiteral("A/link.mid")), file(QStringLiteral("A/notes.txt")),
            file(QStringLiteral("A/song.mid")), file(QStringLiteral("A/deeper/more.kar")),
            file(QStringLiteral("A/deeper/deepest/last.mid"))};
        QCOMPARE(Entries(list()), expected);
        QVERIFY(m_test->dialogs.shown.isEmpty());
    }

    void twoFoldersAddEachFileOnce()
    {
        for (const char* name : {"A/a1.mid", "A/a2.mid", "A/sub/a3.mid", "B/b1.mid", "B/b2.mid"})
            MakeFile(file(QString::fromLatin1(name)));
        dropPaths({file(QStringLiteral("B")), file(QStringLiteral("A"))});
        QCOMPARE(Entries(list()),
                 (QStringList{file(QStringLiteral("B/b1.mid")), file(QStringLiteral("B/b2.mid")),
                              file(QStringLiteral("A/a1.mid")), file(QStringLiteral("A/a2.mid")),
                              file(QStringLiteral("A/sub/a3.mid"))}));
    }

    void folderInsideAnotherDroppedFolderIsSearchedOnItsOwn()
    {
        for (const char* name : {"A/a1.mid", "A/sub/a2.mid"})
            MakeFile(file(QString::fromLatin1(name)));
        dropPaths({file(QStringLiteral("A")), file(QStringLiteral("A/sub"))});
        QCOMPARE(Entries(list()), (QStringList{file(QStringLiteral("A/a1.mid")),
                                               file(QStringLiteral("A/sub/a2.mid")),
                                               file(QStringLiteral("A/sub/a2.mid"))}));
    }

    void pathsAreTakenInDropOrder_data()
    {
        QTest::addColumn<bool>("fileFirst");
        QTest::newRow("file before folder") << true;
        QTest::newRow("folder before file") << false;
    }
    void pathsAreTakenInDropOrder()
    {
        QFETCH(bool, fileFirst);
        MakeFile(file(QStringLiteral("D/d1.mid")));
        MakeFile(file(QStringLiteral("D/d2.mid")));
        MakeFile(file(QStringLiteral("single.mid")));
        const QString single = file(QStringLiteral("single.mid"));
        const QString folder = file(QStringLiteral("D"));
        dropPaths(fileFirst ? QStringList{single, folder} : QStringList{folder, single});
        QStringList expected{file(QStringLiteral("D/d1.mid")), file(QStringLiteral("D/d2.mid"))};
        if (fileFirst)
            expected.prepend(single);
        else
            expected.append(single);
        QCOMPARE(Entries(list()), expected);
    }

    // A hidden folder that is a link (attribute value 1046, a hidden system folder) is not
    // entered; a folder that is only hidden is.
    void hiddenSystemSubFoldersAreLeftOut()
    {
        MakeFile(file(QStringLiteral("D/own.mid")));
        MakeFile(file(QStringLiteral("elsewhere/linked.mid")));
        MakeFile(file(QStringLiteral("D/.hidden/inside.mid")));
        QVERIFY(QFile::link(file(QStringLiteral("elsewhere")), file(QStringLiteral("D/.system"))));
        dropPaths({file(QStringLiteral("D"))});
        QCOMPARE(Entries(list()), (QStringList{file(QStringLiteral("D/own.mid")),
                                               file(QStringLiteral("D/.hidden/inside.mid"))}));
    }

    void folderDroppedWithTrailingSeparator()
    {
        MakeFile(file(QStringLiteral("D/d1.mid")));
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(file(QStringLiteral("D")) + QLatin1Char('/'))});
        dragAndDrop(&data);
        QCOMPARE(Entries(list()), QStringList{file(QStringLiteral("D/d1.mid"))});
    }

    void emptyFolderAddsNothing()
    {
        QVERIFY(QDir().mkpath(file(QStringLiteral("empty/deeper"))));
        dropPaths({file(QStringLiteral("empty"))});
        QCOMPARE(list().count(), 0);
        QVERIFY(m_test->dialogs.shown.isEmpty());
    }

    void onlyLocalFilesOfAMixedDropAreTaken()
    {
        MakeFile(file(QStringLiteral("a.mid")));
        QMimeData data;
        data.setUrls({QUrl(QStringLiteral("https://example.org/x.mid")),
                      QUrl::fromLocalFile(file(QStringLiteral("a.mid")))});
        const DragOutcome outcome = dragAndDrop(&data);
        QVERIFY(outcome.enterAccepted);
        QCOMPARE(Entries(list()), QStringList{file(QStringLiteral("a.mid"))});
    }

    void dropAppendsAfterExistingEntries()
    {
        MakeFile(file(QStringLiteral("a.mid")));
        list().append(QStringLiteral("/earlier.mid"));
        dropPaths({file(QStringLiteral("a.mid")), file(QStringLiteral("a.mid"))});
        QCOMPARE(Entries(list()),
                 (QStringList{QStringLiteral("/earlier.mid"), file(QStringLiteral("a.mid")),
                              file(QStringLiteral("a.mid"))}));
    }
};

QTEST_MAIN(TestDragDrop)
#include "tst_dragdrop.moc"
