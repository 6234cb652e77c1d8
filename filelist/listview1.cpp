#include "filelist/listview1.h"

#include "convert/errortrap.h"

#include <QHeaderView>
#include <QItemSelectionModel>

ListView1::ListView1(QWidget* parent) : QTreeWidget(parent)
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

QString ListView1::HintText()
{
    return QStringLiteral("Drag and drop files here. Double-click item to remove it. Move | line "
                          "to right and out of window to reveal full names.");
}

QTreeWidgetItem* ListView1::NewEntry(const QString& path)
{
    auto* item = new QTreeWidgetItem;
    item->setText(0, path);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

void ListView1::append(const QString& path)
{
    if (m_pending.isEmpty())
        QMetaObject::invokeMethod(this, &ListView1::flushAppends, Qt::QueuedConnection);
    m_pending.append(path);
}

void ListView1::flushAppends()
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

int ListView1::count() const
{
    return topLevelItemCount() + static_cast<int>(m_pending.size());
}

void ListView1::checkPosition(int position) const
{
    if (position < 1 || position > count())
        throw tp::ApplicationError(QStringLiteral("Index out of bounds"));
}

QTreeWidgetItem* ListView1::entryItem(int position)
{
    checkPosition(position);
    flushAppends();
    return topLevelItem(position - 1);
}

QString ListView1::entryText(int position) const
{
    checkPosition(position);
    const int inTree = topLevelItemCount();
    return position <= inTree ? topLevelItem(position - 1)->text(0)
                              : m_pending.at(position - inTree - 1);
}

void ListView1::setEntryText(int position, const QString& text)
{
    entryItem(position)->setText(0, text);
}

void ListView1::removeAt(int position)
{
    entryItem(position);
    delete takeTopLevelItem(position - 1);
}

void ListView1::removeAll()
{
    m_pending.clear();
    clear();
}

void ListView1::moveEntry(int from, int to)
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

int ListView1::selectedPosition() const
{
    const QItemSelectionModel* selection = selectionModel();
    if (!selection)
        return 0;
    const QModelIndexList rows = selection->selectedRows();
    return rows.isEmpty() ? 0 : rows.first().row() + 1;
}

void ListView1::selectAt(int position)
{
    checkPosition(position);
    const QModelIndex index = indexAtPosition(position);
    setCurrentIndex(index);
    selectionModel()->select(index,
                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

int ListView1::positionAt(const QPoint& viewportPoint) const
{
    const QModelIndex index = indexAt(viewportPoint);
    return index.isValid() ? index.row() + 1 : 0;
}

QModelIndex ListView1::indexAtPosition(int position)
{
    if (position < 1 || position > count())
        return {};
    flushAppends();
    return model()->index(position - 1, 0);
}

void ListView1::scrollToPosition(int position)
{
    scrollToItem(entryItem(position));
}
