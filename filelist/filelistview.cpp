#include "filelist/filelistview.h"

#include "convert/applicationerror.h"

#include <QHeaderView>
#include <QItemSelectionModel>

FileListView::FileListView(QWidget* parent) : QTreeWidget(parent)
{
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setItemsExpandable(false);
    setSortingEnabled(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    setColumnCount(0);
    setToolTip(HintText());
    setAccessibleName(QStringLiteral("MIDI File(s)"));
}

QString FileListView::HintText()
{
    return QStringLiteral("Drag and drop files here. Double-click item to remove it. Move | line "
                          "to right and out of window to reveal full names.");
}

QTreeWidgetItem* FileListView::NewEntry(const QString& path)
{
    auto* item = new QTreeWidgetItem;
    item->setText(0, path);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

void FileListView::append(const QString& path)
{
    if (m_pending.isEmpty())
        QMetaObject::invokeMethod(this, &FileListView::flushAppends, Qt::QueuedConnection);
    m_pending.append(path);
}

void FileListView::flushAppends()
{
    if (m_pending.isEmpty())
        return;
    QList<QTreeWidgetItem*> items;
    items.reserve(m_pending.size());
    for (const QString& path : std::as_const(m_pending))
        items.append(NewEntry(path));
    m_pending.clear();
    insertTopLevelItems(topLevelItemCount(), items);
}

int FileListView::count() const
{
    return topLevelItemCount() + static_cast<int>(m_pending.size());
}

void FileListView::checkPosition(int position) const
{
    if (position < 1 || position > count())
        throw tp::ApplicationError(QStringLiteral("Index out of bounds"));
}

QTreeWidgetItem* FileListView::entryItem(int position)
{
    checkPosition(position);
    flushAppends();
    return topLevelItem(position - 1);
}

QString FileListView::entryText(int position) const
{
    checkPosition(position);
    const int inTree = topLevelItemCount();
    return position <= inTree ? topLevelItem(position - 1)->text(0)
                              : m_pending.at(position - inTree - 1);
}

void FileListView::setEntryText(int position, const QString& text)
{
    entryItem(position)->setText(0, text);
}

void FileListView::removeAt(int position)
{
    entryItem(position);
    delete takeTopLevelItem(position - 1);
}

void FileListView::removeAll()
{
    m_pending.clear();
    clear();
}

void FileListView::moveEntry(int from, int to)
{
    QTreeWidgetItem* moving = entryItem(from);
    checkPosition(to);
    if (from == to)
        return;
    const bool selected = moving->isSelected();
    insertTopLevelItem(to - 1, takeTopLevelItem(from - 1));
    if (selected)
        selectAt(to);
}

int FileListView::selectedPosition() const
{
    const QItemSelectionModel* selection = selectionModel();
    if (!selection)
        return 0;
    const QModelIndexList rows = selection->selectedRows();
    return rows.isEmpty() ? 0 : rows.first().row() + 1;
}

void FileListView::selectAt(int position)
{
    checkPosition(position);
    const QModelIndex index = indexAtPosition(position);
    setCurrentIndex(index);
    selectionModel()->select(index,
                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

int FileListView::positionAt(const QPoint& viewportPoint) const
{
    const QModelIndex index = indexAt(viewportPoint);
    return index.isValid() ? index.row() + 1 : 0;
}

QModelIndex FileListView::indexAtPosition(int position)
{
    if (position < 1 || position > count())
        return {};
    flushAppends();
    return model()->index(position - 1, 0);
}

void FileListView::scrollToPosition(int position)
{
    scrollToItem(entryItem(position));
}
