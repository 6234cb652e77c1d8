#include "filelist/listview1.h"

#include "convert/errortrap.h"

#include <QHeaderView>

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

void ListView1::append(const QString& path)
{
    auto* item = new QTreeWidgetItem;
    item->setText(0, path);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    addTopLevelItem(item);
}

int ListView1::count() const
{
    return topLevelItemCount();
}

QTreeWidgetItem* ListView1::itemAt(int position) const
{
    if (position < 1 || position > count())
        throw tp::ApplicationError(QStringLiteral("Index out of bounds"));
    return topLevelItem(position - 1);
}

QString ListView1::entryText(int position) const
{
    return itemAt(position)->text(0);
}

void ListView1::setEntryText(int position, const QString& text)
{
    itemAt(position)->setText(0, text);
}

void ListView1::removeAt(int position)
{
    itemAt(position);
    delete takeTopLevelItem(position - 1);
}

void ListView1::removeAll()
{
    clear();
}

int ListView1::selectedPosition() const
{
    const QList<QTreeWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? 0 : indexOfTopLevelItem(selected.first()) + 1;
}

void ListView1::selectAt(int position)
{
    QTreeWidgetItem* item = itemAt(position);
    setCurrentItem(item);
    item->setSelected(true);
}

int ListView1::positionAt(const QPoint& viewportPoint) const
{
    QTreeWidgetItem* item = QTreeWidget::itemAt(viewportPoint);
    return item ? indexOfTopLevelItem(item) + 1 : 0;
}

void ListView1::scrollToPosition(int position)
{
    scrollToItem(itemAt(position));
}
