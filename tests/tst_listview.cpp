// The file list: its rows are the data, kept exactly as appended, by 1-based position.

#include "app/mainwindow.h"
#include "convert/applicationerror.h"
#include "filelist/filelistview.h"
#include "testwindow.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QScrollBar>
#include <QTest>
#include <QToolTip>

namespace {

QStringList Texts(const FileListView& list)
{
    QStringList texts;
    for (int position = 1; position <= list.count(); ++position)
        texts.append(list.entryText(position));
    return texts;
}

// The texts as the tree itself holds them, once waiting entries have reached it.
QStringList TreeTexts(const FileListView& list)
{
    QStringList texts;
    for (int row = 0; row < list.topLevelItemCount(); ++row)
        texts.append(list.topLevelItem(row)->text(0));
    return texts;
}

void Fill(FileListView& list, const QStringList& texts)
{
    for (const QString& text : texts)
        list.append(text);
}

QStringList Abcd()
{
    return {QStringLiteral("/m/a.mid"), QStringLiteral("/m/b.mid"), QStringLiteral("/m/c.mid"),
            QStringLiteral("/m/d.mid")};
}

} // namespace

class TestListView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void appendKeepsTextsExactlyAndInOrder_data();
    void appendKeepsTextsExactlyAndInOrder();
    void positionsAreExactWhileAppendsWait();
    void clearedEntriesDoNotComeBack();
    void positionOutsideListFails_data();
    void positionOutsideListFails();
    void removeAtShiftsEntriesUp_data();
    void removeAtShiftsEntriesUp();
    void moveEntry_data();
    void moveEntry();
    void selectionByPosition();
    void hitTestAndScrolling();
    void columnAndHintOfTheMainWindow();
    void headerClickDoesNotSort();

private:
    FileListView* m_list = nullptr;
};

void TestListView::init()
{
    m_list = new FileListView;
    m_list->setHeaderLabels({QStringLiteral("MIDI File(s)")});
    m_list->resize(520, 169);
}

void TestListView::cleanup()
{
    delete m_list;
    m_list = nullptr;
}

void TestListView::appendKeepsTextsExactlyAndInOrder_data()
{
    QTest::addColumn<QStringList>("texts");

    QTest::newRow("one path") << QStringList{QStringLiteral("/home/u/Music/Song.mid")};
    QTest::newRow("same file twice") << QStringList{
        QStringLiteral("/m/a.mid"), QStringLiteral("/m/b.mid"), QStringLiteral("/m/a.mid")};
    QTest::newRow("letter case kept")
        << QStringList{QStringLiteral("/M/Song.MID"), QStringLiteral("/m/song.mid")};
    QTest::newRow("blanks and tabs kept")
        << QStringList{QStringLiteral("  /m/a b.mid  "), QStringLiteral("/m/a\tb.mid")};
    QTest::newRow("empty text") << QStringList{QString(), QStringLiteral("/m/a.mid")};
    QTest::newRow("doubled separators kept")
        << QStringList{QStringLiteral("//m//a.mid"), QStringLiteral("C:\\\\x.mid")};
    QTest::newRow("characters beyond ASCII")
        << QStringList{QStringLiteral("/m/M\u00fcller \u266a \u6771\u4eac.mid")};
    QTest::newRow("path far longer than the column") << QStringList{
        QStringLiteral("/m/") + QString(4000, QLatin1Char('x')) + QStringLiteral(".mid")};
    QTest::newRow("not sorted") << QStringList{QStringLiteral("/z.mid"), QStringLiteral("/a.mid"),
                                               QStringLiteral("/m.mid")};
}

void TestListView::appendKeepsTextsExactlyAndInOrder()
{
    QFETCH(QStringList, texts);
    Fill(*m_list, texts);
    QCOMPARE(m_list->count(), texts.size());
    QCOMPARE(Texts(*m_list), texts);

    QCoreApplication::processEvents();
    QCOMPARE(TreeTexts(*m_list), texts);
    QCOMPARE(m_list->model()->rowCount(), texts.size());
    QCOMPARE(Texts(*m_list), texts);
}

void TestListView::positionsAreExactWhileAppendsWait()
{
    Fill(*m_list, {QStringLiteral("/m/a.mid"), QStringLiteral("/m/b.mid")});
    QCoreApplication::processEvents();
    Fill(*m_list, {QStringLiteral("/m/c.mid"), QStringLiteral("/m/d.mid")});

    // Entries in the tree and entries still waiting count alike.
    QCOMPARE(m_list->count(), 4);
    QCOMPARE(m_list->entryText(4), QStringLiteral("/m/d.mid"));
    m_list->setEntryText(3, QStringLiteral("/m/C.mid"));
    m_list->append(QStringLiteral("/m/e.mid"));
    m_list->removeAt(1);
    QCOMPARE(Texts(*m_list), (QStringList{QStringLiteral("/m/b.mid"), QStringLiteral("/m/C.mid"),
                                          QStringLiteral("/m/d.mid"), QStringLiteral("/m/e.mid")}));
    QCOMPARE(m_list->indexAtPosition(4).data().toString(), QStringLiteral("/m/e.mid"));

    QCoreApplication::processEvents();
    QCOMPARE(TreeTexts(*m_list), Texts(*m_list));
}

void TestListView::clearedEntriesDoNotComeBack()
{
    Fill(*m_list, Abcd());
    m_list->removeAll();
    QCOMPARE(m_list->count(), 0);
    QCoreApplication::processEvents();
    QCOMPARE(m_list->count(), 0);
    QCOMPARE(m_list->topLevelItemCount(), 0);

    m_list->append(QStringLiteral("/m/after.mid"));
    QCoreApplication::processEvents();
    QCOMPARE(TreeTexts(*m_list), QStringList{QStringLiteral("/m/after.mid")});
}

void TestListView::positionOutsideListFails_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("position");

    for (const char* operation :
         {"entryText", "setEntryText", "removeAt", "selectAt", "scrollToPosition", "moveEntry"})
        for (const int position : {0, -1, 5})
            QTest::addRow("%s(%d)", operation, position)
                << QString::fromLatin1(operation) << position;
}

void TestListView::positionOutsideListFails()
{
    QFETCH(QString, operation);
    QFETCH(int, position);
    Fill(*m_list, Abcd());

    const auto call = [&] {
        if (operation == QStringLiteral("entryText"))
            m_list->entryText(position);
        else if (operation == QStringLiteral("setEntryText"))
            m_list->setEntryText(position, QStringLiteral("/x.mid"));
        else if (operation == QStringLiteral("removeAt"))
            m_list->removeAt(position);
        else if (operation == QStringLiteral("selectAt"))
            m_list->selectAt(position);
        else if (operation == QStringLiteral("scrollToPosition"))
            m_list->scrollToPosition(position);
        else
            m_list->moveEntry(1, position);
    };
    try {
        call();
        QFAIL("no failure raised");
    } catch (const tp::ApplicationError& error) {
        QCOMPARE(error.description(), QStringLiteral("Index out of bounds"));
    }
    QCOMPARE(Texts(*m_list), Abcd());
    QVERIFY(!m_list->indexAtPosition(position).isValid());
}

void TestListView::removeAtShiftsEntriesUp_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QStringList>("remaining");
    const QStringList all = Abcd();
    QTest::newRow("first") << 1 << all.mid(1);
    QTest::newRow("middle") << 2 << QStringList{all[0], all[2], all[3]};
    QTest::newRow("last") << 4 << all.mid(0, 3);
}

void TestListView::removeAtShiftsEntriesUp()
{
    QFETCH(int, position);
    QFETCH(QStringList, remaining);
    Fill(*m_list, Abcd());
    QCoreApplication::processEvents();
    m_list->removeAt(position);
    QCOMPARE(Texts(*m_list), remaining);
    QCOMPARE(TreeTexts(*m_list), remaining);
}

void TestListView::moveEntry_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<QString>("order");
    QTest::newRow("down to the end") << 1 << 4 << QStringLiteral("bcda");
    QTest::newRow("up to the top") << 4 << 1 << QStringLiteral("dabc");
    QTest::newRow("one down") << 2 << 3 << QStringLiteral("acbd");
    QTest::newRow("in place") << 3 << 3 << QStringLiteral("abcd");
}

void TestListView::moveEntry()
{
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(QString, order);
    Fill(*m_list, Abcd());
    m_list->selectAt(from);

    m_list->moveEntry(from, to);

    QStringList expected;
    for (const QChar letter : order)
        expected.append(QStringLiteral("/m/") + letter + QStringLiteral(".mid"));
    QCOMPARE(Texts(*m_list), expected);
    QCOMPARE(m_list->selectedPosition(), to);
}

void TestListView::selectionByPosition()
{
    QCOMPARE(m_list->selectedPosition(), 0);
    Fill(*m_list, Abcd());
    QCOMPARE(m_list->selectedPosition(), 0);

    m_list->selectAt(3);
    QCOMPARE(m_list->selectedPosition(), 3);
    m_list->selectAt(2);
    QCOMPARE(m_list->selectedPosition(), 2);
    QCOMPARE(m_list->selectedItems().size(), 1);

    m_list->removeAll();
    QCOMPARE(m_list->selectedPosition(), 0);
}

void TestListView::hitTestAndScrolling()
{
    QStringList many;
    for (int i = 1; i <= 2000; ++i)
        many.append(QStringLiteral("/m/%1.mid").arg(i));
    Fill(*m_list, many);
    m_list->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_list));

    const QRect third = m_list->visualRect(m_list->indexAtPosition(3));
    QCOMPARE(m_list->positionAt(third.center()), 3);

    m_list->scrollToPosition(1500);
    const QRect shown = m_list->visualRect(m_list->indexAtPosition(1500));
    QVERIFY(m_list->viewport()->rect().contains(shown));
    QCOMPARE(m_list->positionAt(shown.center()), 1500);
    QVERIFY(m_list->verticalScrollBar()->value() > 0);

    m_list->scrollToPosition(2000);
    const QPoint belowLast =
        m_list->visualRect(m_list->indexAtPosition(2000)).center() + QPoint(0, 200);
    if (m_list->viewport()->rect().contains(belowLast))
        QCOMPARE(m_list->positionAt(belowLast), 0);
    m_list->removeAll();
    QCOMPARE(m_list->positionAt(QPoint(5, 5)), 0);
}

void TestListView::columnAndHintOfTheMainWindow()
{
    TestWindow test;
    MainWindow& form = test.load();
    FileListView& list = *form.fileList;
    QCOMPARE(list.headerItem()->text(0), QStringLiteral("MIDI File(s)"));
    QCOMPARE(list.columnCount(), 1);
    QCOMPARE(list.header()->sectionSize(0), 7000 / 15);
    QVERIFY(list.header()->sectionSize(0) < list.width());
    QVERIFY(list.uniformRowHeights());
    QVERIFY(!list.isSortingEnabled());
    QCOMPARE(list.count(), 0);

    // The hint shows over an entry and over the empty part of the list alike.
    list.append(QStringLiteral("/m/a.mid"));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const QPoint overEntry = list.visualRect(list.indexAtPosition(1)).center();
    for (const QPoint& point : {overEntry, QPoint(10, list.viewport()->height() - 5)}) {
        QHelpEvent help(QEvent::ToolTip, point, list.viewport()->mapToGlobal(point));
        QCoreApplication::sendEvent(list.viewport(), &help);
        QCOMPARE(QToolTip::text(), FileListView::HintText());
        QToolTip::hideText();
    }
    QCOMPARE(FileListView::HintText(),
             QStringLiteral("Drag and drop files here. Double-click item to remove it. Move | "
                            "line to right and out of window to reveal full names."));
}

void TestListView::headerClickDoesNotSort()
{
    Fill(*m_list, {QStringLiteral("/z.mid"), QStringLiteral("/a.mid")});
    m_list->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_list));
    QWidget* header = m_list->header()->viewport();
    QTest::mouseClick(header, Qt::LeftButton, {}, QPoint(20, header->height() / 2));
    QTest::mouseClick(header, Qt::LeftButton, {}, QPoint(20, header->height() / 2));
    QCOMPARE(Texts(*m_list), (QStringList{QStringLiteral("/z.mid"), QStringLiteral("/a.mid")}));
}

QTEST_MAIN(TestListView)
#include "tst_listview.moc"
