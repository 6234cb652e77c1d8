// Removing entries, clearing the list and reordering entries by dragging them.
#include "app/pushbutton.h"
#include "filelist/filelistview.h"
#include "filelist/reordering.h"
#include "testfiles.h"
#include "testwindow.h"

#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

namespace {} // namespace

class TestListEdit : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestWindow> m_test;

    MainWindow& form() { return *m_test->form; }
    FileListView& list() { return *form().fileList; }
    QWidget* viewport() { return list().viewport(); }

    void fill(const QStringList& texts)
    {
        for (const QString& text : texts)
            list().append(text);
        list().flushAppends();
    }

    QPoint centreOf(int position)
    {
        return list().visualItemRect(list().topLevelItem(position - 1)).center();
    }

    void mouse(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held)
    {
        QMouseEvent event(type, at, viewport()->mapToGlobal(at), button, held, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport(), &event);
    }
    void press(QPoint at) { mouse(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton); }
    void release(QPoint at) { mouse(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton); }
    void dragTo(QPoint at) { mouse(QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton); }
    void click(int position)
    {
        press(centreOf(position));
        release(centreOf(position));
    }
    void doubleClick(int position)
    {
        const QPoint at = centreOf(position);
        press(at);
        release(at);
        mouse(QEvent::MouseButtonDblClick, at, Qt::LeftButton, Qt::LeftButton);
        release(at);
    }
    // A point of the list below its last entry.
    QPoint emptySpace() { return QPoint(10, viewport()->height() - 3); }

    void show(const QString& programFolder = QCoreApplication::applicationDirPath())
    {
        m_test->load(programFolder);
        form().show();
        QVERIFY(QTest::qWaitForWindowExposed(&form()));
    }

private Q_SLOTS:
    void init()
    {
        m_test = std::make_unique<TestWindow>();
        // Keep the pointer off the window so that no real move reaches the list.
        QCursor::setPos(0, 0);
    }
    void cleanup() { m_test.reset(); }

    void removesTheSelectedEntry_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<bool>("removed");
        QTest::newRow("Delete") << int(Qt::Key_Delete) << Qt::KeyboardModifiers() << true;
        QTest::newRow("Shift+Delete")
            << int(Qt::Key_Delete) << Qt::KeyboardModifiers(Qt::ShiftModifier) << true;
        QTest::newRow("Control+Delete")
            << int(Qt::Key_Delete) << Qt::KeyboardModifiers(Qt::ControlModifier) << true;
        QTest::newRow("Backspace") << int(Qt::Key_Backspace) << Qt::KeyboardModifiers() << false;
        QTest::newRow("letter D") << int(Qt::Key_D) << Qt::KeyboardModifiers() << false;
        QTest::newRow("Shift+Backspace")
            << int(Qt::Key_Backspace) << Qt::KeyboardModifiers(Qt::ShiftModifier) << false;
    }
    void removesTheSelectedEntry()
    {
        QFETCH(int, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(bool, removed);
        show();
        fill({QStringLiteral("/m/a.mid"), QStringLiteral("/m/b.mid"), QStringLiteral("/m/c.mid")});
        list().selectAt(2);
        QTest::keyClick(&list(), Qt::Key(key), modifiers);
        const QStringList expected =
            removed ? QStringList{QStringLiteral("/m/a.mid"), QStringLiteral("/m/c.mid")}
                    : QStringList{QStringLiteral("/m/a.mid"), QStringLiteral("/m/b.mid"),
                                  QStringLiteral("/m/c.mid")};
        QCOMPARE(Entries(list()), expected);
        QVERIFY(m_test->dialogs.shown.isEmpty());
    }

    void doubleClickRemovesTheClickedEntry()
    {
        show();
        fill({QStringLiteral("/m/a.mid"), QStringLiteral("/m/b.mid"), QStringLiteral("/m/c.mid")});
        doubleClick(3);
        QCOMPARE(Entries(list()),
                 (QStringList{QStringLiteral("/m/a.mid"), QStringLiteral("/m/b.mid")}));
        // The entry that moved up into the removed one's place is not selected by the
        // double-click's second press.
        doubleClick(1);
        QCOMPARE(Entries(list()), QStringList{QStringLiteral("/m/b.mid")});
    }

    // Removal does nothing on an empty list, with nothing selected, or while the window is
    // busy; it never fails or asks.
    void removalRefused_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<bool>("select");
        QTest::addColumn<bool>("busy");
        QTest::addColumn<bool>("byDoubleClick");
        const QStringList two{QStringLiteral("/m/a.mid"), QStringLiteral("/m/b.mid")};
        QTest::newRow("Delete, empty list") << QStringList() << false << false << false;
        QTest::newRow("Delete, nothing selected") << two << false << false << false;
        QTest::newRow("Delete, busy") << two << true << true << false;
        QTest::newRow("double-click, busy") << two << true << true << true;
        QTest::newRow("double-click, empty list") << QStringList() << false << false << true;
    }
    void removalRefused()
    {
        QFETCH(QStringList, entries);
        QFETCH(bool, select);
        QFETCH(bool, busy);
        QFETCH(bool, byDoubleClick);
        show();
        fill(entries);
        if (select)
            list().selectAt(1);
        if (busy)
            form().setMousePointer(Pointer::Hourglass);
        if (byDoubleClick && !entries.isEmpty())
            doubleClick(1);
        else if (byDoubleClick)
            form().fileListDoubleClicked();
        else
            QTest::keyClick(&list(), Qt::Key_Delete);
        QCOMPARE(Entries(list()), entries);
        QVERIFY(m_test->dialogs.shown.isEmpty());
    }

    void clearList_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<bool>("busy");
        QTest::addColumn<int>("left");
        QStringList many;
        for (int i = 0; i < 500; ++i)
            many.append(QStringLiteral("/m/%1.mid").arg(i));
        QTest::newRow("idle") << many << false << 0;
        QTest::newRow("empty") << QStringList() << false << 0;
        QTest::newRow("busy") << many << true << 500;
    }
    void clearList()
    {
        QFETCH(QStringList, entries);
        QFETCH(bool, busy);
        QFETCH(int, left);
        show();
        fill(entries);
        if (busy)
            form().setMousePointer(Pointer::Hourglass);
        QTest::mouseClick(form().clearListButton, Qt::LeftButton);
        QCOMPARE(list().count(), left);
        QVERIFY(m_test->dialogs.shown.isEmpty());
    }

    void clearListTakesEntriesNotYetShown()
    {
        m_test->load();
        list().append(QStringLiteral("/m/a.mid"));
        form().clearList();
        QCOMPARE(list().count(), 0);
        QCoreApplication::processEvents();
        QCOMPARE(list().count(), 0);
    }

    // After a click on the first of three entries, a press on it and a drag down the list:
    // passing over each entry moves the dragged one along; skipping the middle entry only
    // exchanges the two ends.
    void dragMovesTheEntry_data()
    {
        QTest::addColumn<QList<int>>("path");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("selected");
        QTest::newRow("slow") << QList<int>{1, 2, 2, 3}
                              << QStringList{QStringLiteral("b"), QStringLiteral("c"),
                                             QStringLiteral("a")}
                              << 3;
        QTest::newRow("fast") << QList<int>{1, 3}
                              << QStringList{QStringLiteral("c"), QStringLiteral("b"),
                                             QStringLiteral("a")}
                              << 3;
        QTest::newRow("there and back")
            << QList<int>{2, 3, 2, 1}
            << QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")} << 1;
    }
    void dragMovesTheEntry()
    {
        QFETCH(QList<int>, path);
        QFETCH(QStringList, expected);
        QFETCH(int, selected);
        show();
        fill({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
        click(1);
        press(centreOf(1));
        for (const int position : path)
            dragTo(centreOf(position));
        release(centreOf(path.last()));
        QCOMPARE(Entries(list()), expected);
        QCOMPARE(list().selectedPosition(), selected);
    }

    void pressAndDragAtOnceMovesThePressedEntry()
    {
        show();
        fill({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")});
        click(1);
        press(centreOf(3));
        dragTo(centreOf(4));
        release(centreOf(4));
        QCOMPARE(Entries(list()), (QStringList{QStringLiteral("a"), QStringLiteral("b"),
                                               QStringLiteral("d"), QStringLiteral("c")}));
    }

    void equalTextsExchangeNothing()
    {
        show();
        fill({QStringLiteral("same"), QStringLiteral("same"), QStringLiteral("other")});
        click(1);
        press(centreOf(1));
        dragTo(centreOf(2));
        QCOMPARE(list().selectedPosition(), 1);
        // The dragged entry is still the first: the next exchange is with it.
        dragTo(centreOf(3));
        release(centreOf(3));
        QCOMPARE(Entries(list()), (QStringList{QStringLiteral("other"), QStringLiteral("same"),
                                               QStringLiteral("same")}));
    }

    void movesWithoutADraggedEntryChangeNothing_data()
    {
        QTest::addColumn<QString>("before");
        QTest::newRow("no entry clicked yet") << QString();
        QTest::newRow("clicked entry removed") << QStringLiteral("remove");
        QTest::newRow("list cleared and refilled") << QStringLiteral("clear");
        QTest::newRow("released") << QStringLiteral("release");
    }
    void movesWithoutADraggedEntryChangeNothing()
    {
        QFETCH(QString, before);
        show();
        const QStringList texts{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};
        fill(texts);
        QStringList expected = texts;
        if (before == QLatin1String("remove")) {
            click(2);
            QTest::keyClick(&list(), Qt::Key_Delete);
            expected.removeAt(1);
        } else if (before == QLatin1String("clear")) {
            click(2);
            form().clearList();
            fill(texts);
        } else if (before == QLatin1String("release")) {
            click(1);
        }
        if (before != QLatin1String("release"))
            press(emptySpace());
        for (int position = 1; position <= list().count(); ++position)
            dragTo(centreOf(position));
        QCOMPARE(Entries(list()), expected);
    }

    void dragFromEmptySpaceUsesTheLastClickedEntry()
    {
        show();
        fill({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
        click(1);
        press(emptySpace());
        dragTo(centreOf(2));
        release(centreOf(2));
        QCOMPARE(Entries(list()),
                 (QStringList{QStringLiteral("b"), QStringLiteral("a"), QStringLiteral("c")}));
    }

    void reorderingWorksWhileBusy()
    {
        show();
        fill({QStringLiteral("a"), QStringLiteral("b")});
        form().setMousePointer(Pointer::Hourglass);
        click(1);
        press(centreOf(1));
        dragTo(centreOf(2));
        release(centreOf(2));
        QCOMPARE(Entries(list()), (QStringList{QStringLiteral("b"), QStringLiteral("a")}));
        QCOMPARE(form().mousePointer(), Pointer::Hourglass);
    }

    void scrollBands_data()
    {
        QTest::addColumn<int>("screenY");
        QTest::addColumn<int>("hit");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("target");
        QTest::newRow("304, top entry") << 304 << 1 << 10 << 0;
        QTest::newRow("304, fifth entry") << 304 << 5 << 10 << 4;
        QTest::newRow("0, second entry") << 0 << 2 << 2 << 1;
        QTest::newRow("305") << 305 << 5 << 10 << 0;
        QTest::newRow("364") << 364 << 5 << 10 << 0;
        QTest::newRow("365") << 365 << 5 << 10 << 6;
        QTest::newRow("365, last entry") << 365 << 10 << 10 << 0;
        QTest::newRow("2000, next to last") << 2000 << 9 << 10 << 10;
    }
    void scrollBands()
    {
        QFETCH(int, screenY);
        QFETCH(int, hit);
        QFETCH(int, count);
        QFETCH(int, target);
        QCOMPARE(Reordering::ScrollTarget(screenY, hit, count), target);
    }

    // An exchange scrolls by one entry when the pointer is in a band of the screen; the
    // entry scrolled into view lies just outside the list's visible part.
    void exchangeScrollsTheList_data()
    {
        QTest::addColumn<int>("screenY");
        QTest::addColumn<bool>("upward");
        QTest::addColumn<bool>("scrolls");
        QTest::newRow("304, dragging up") << 304 << true << true;
        QTest::newRow("305, dragging up") << 305 << true << false;
        QTest::newRow("364, dragging down") << 364 << false << false;
        QTest::newRow("365, dragging down") << 365 << false << true;
    }
    void exchangeScrollsTheList()
    {
        QFETCH(int, screenY);
        QFETCH(bool, upward);
        QFETCH(bool, scrolls);
        show();
        QStringList texts;
        for (int i = 1; i <= 60; ++i)
            texts.append(QStringLiteral("/m/%1.mid").arg(i));
        fill(texts);
        list().scrollToItem(list().topLevelItem(29), QAbstractItemView::PositionAtTop);
        QCoreApplication::processEvents();
        const QRect visible = viewport()->rect();
        auto shown = [&](int position) {
            return visible.contains(list().visualItemRect(list().topLevelItem(position - 1)));
        };
        const int first = 30;
        int last = first;
        while (last < 60 && shown(last + 1))
            ++last;
        // The entry at the edge of the visible part and its neighbour inside; the one beyond
        // is scrolled into view.
        const int from = upward ? first + 1 : last - 1;
        const int to = upward ? first : last;
        const int beyond = upward ? first - 1 : last + 1;
        QVERIFY(!shown(beyond));

        click(from);
        press(centreOf(from));
        QCursor::setPos(0, screenY);
        dragTo(centreOf(to));
        QCursor::setPos(0, 0);
        release(centreOf(to));
        QCOMPARE(list().entryText(to), texts.at(from - 1));
        QCOMPARE(shown(beyond), scrolls);
    }

    void dragPointerFollowsPressAndRelease_data()
    {
        QTest::addColumn<QString>("iconFile");
        QTest::addColumn<bool>("picture");
        QTest::newRow("program's drag.ico") << QStringLiteral("program") << true;
        QTest::newRow("missing") << QString() << false;
        QTest::newRow("not an icon") << QStringLiteral("garbage") << false;
    }
    void dragPointerFollowsPressAndRelease()
    {
        QFETCH(QString, iconFile);
        QFETCH(bool, picture);
        QTemporaryDir programFolder;
        const QString icon = programFolder.filePath(QStringLiteral("drag.ico"));
        if (iconFile == QLatin1String("program"))
            QVERIFY(QFile::copy(
                QCoreApplication::applicationDirPath() + QStringLiteral("/drag.ico"), icon));
        else if (iconFile == QLatin1String("garbage")) {
            QFile file(icon);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("this is not a picture");
        }
        show(programFolder.path());
        fill({QStringLiteral("a"), QStringLiteral("b")});
        press(centreOf(1));
        dragTo(centreOf(1));
        QCOMPARE(form().fileListPointer(), Pointer::Custom);
        QCOMPARE(form().fileListPointerIcon().has_value(), picture);
        QCOMPARE(viewport()->cursor().shape(), picture ? Qt::BitmapCursor : Qt::ArrowCursor);
        release(centreOf(1));
        QCOMPARE(form().fileListPointer(), Pointer::Arrow);
        QCOMPARE(viewport()->cursor().shape(), Qt::ArrowCursor);
        QVERIFY(m_test->dialogs.shown.isEmpty());
    }

    void dragPointerIsReadOnEveryClick()
    {
        QTemporaryDir programFolder;
        show(programFolder.path());
        fill({QStringLiteral("a")});
        click(1);
        QVERIFY(!form().fileListPointerIcon().has_value());
        QVERIFY(QFile::copy(QCoreApplication::applicationDirPath() + QStringLiteral("/drag.ico"),
                            programFolder.filePath(QStringLiteral("drag.ico"))));
        click(1);
        QVERIFY(form().fileListPointerIcon().has_value());
    }

    void movingOverTheListResetsTheWindowPointer_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("after");
        QTest::newRow("hand") << Pointer::Custom << Pointer::Default;
        QTest::newRow("hourglass") << Pointer::Hourglass << Pointer::Hourglass;
    }
    void movingOverTheListResetsTheWindowPointer()
    {
        QFETCH(int, before);
        QFETCH(int, after);
        show();
        form().setMousePointer(before);
        mouse(QEvent::MouseMove, QPoint(5, 5), Qt::NoButton, Qt::NoButton);
        QCOMPARE(form().mousePointer(), after);
    }
};

QTEST_MAIN(TestListEdit)
#include "tst_listedit.moc"
