#include "app/cursorfile.h"
#include "app/form1.h"
#include "filelist/listview1.h"
#include "filelist/listview1events.h"
#include "filelist/reordering.h"

namespace {

QPersistentModelIndex EntryIndex(ListView1& list, int position)
{
    return QPersistentModelIndex(list.indexAtPosition(position));
}

// The position of the entry an index names, or 0 when it names none any more.
int PositionOf(const ListView1& list, const QPersistentModelIndex& index)
{
    if (!index.isValid() || index.model() != list.model() || index.parent().isValid())
        return 0;
    return index.row() + 1;
}

// Removal by the Delete key and by double-click: the selected entry, never while the window
// is busy.
void RemoveSelectedEntry(const Form1& form, ListView1& list)
{
    if (form.MousePointer() == Pointer::Hourglass)
        return;
    if (list.count() == 0)
        return;
    const int position = list.selectedPosition();
    if (position == 0)
        return;
    list.removeAt(position);
}

} // namespace

void Form1::connectListView1()
{
    ListView1Events::Handlers handlers;
    handlers.mouseDown = [this] { ListView1_MouseDown(); };
    handlers.itemClick = [this](QTreeWidgetItem* item) { ListView1_ItemClick(item); };
    handlers.mouseMove = [this](const QPoint& position) { ListView1_MouseMove(position); };
    handlers.mouseUp = [this] { ListView1_MouseUp(); };
    handlers.dblClick = [this] { ListView1_DblClick(); };
    handlers.keyDown = [this](int key, Qt::KeyboardModifiers shift) {
        ListView1_KeyDown(key, shift);
    };
    handlers.oleDragOver = [this](const QMimeData* data, Qt::DropAction& effect) {
        ListView1_OLEDragOver(data, effect);
    };
    handlers.oleDragDrop = [this](const QMimeData* data) { ListView1_OLEDragDrop(data); };
    new ListView1Events(listView1, std::move(handlers), this);
}

void Form1::setListView1MousePointer(int pointer)
{
    m_listView1Pointer = pointer;
    const std::optional<QCursor> own = Pointer::Shape(pointer, m_listView1Icon, Qt::ArrowCursor);
    // The list's own pointer is its viewport's. The window's pointer policy puts it back
    // whenever the window returns to the default pointer, and until then it stays covered.
    QWidget* surface = listView1->viewport();
    m_ownCursors.insert(surface, own);
    if (m_mousePointer != Pointer::Default)
        return;
    if (own)
        surface->setCursor(*own);
    else
        surface->unsetCursor();
}

void Form1::PushButton4_Click()
{
    tp::ErrorTrap trap = this->trap(QStringLiteral("PushButton4_Click"));
    bool busy = false;
    trap.at(100, [&] { busy = MousePointer() == Pointer::Hourglass; });
    if (busy)
        return;
    trap.at(102, [&] { listView1->removeAll(); });
}

void Form1::ListView1_KeyDown(int keyCode, Qt::KeyboardModifiers)
{
    if (keyCode == Qt::Key_Delete)
        RemoveSelectedEntry(*this, *listView1);
}

void Form1::ListView1_DblClick()
{
    RemoveSelectedEntry(*this, *listView1);
}

void Form1::ListView1_MouseDown()
{
    Dragging = true;
}

void Form1::ListView1_ItemClick(QTreeWidgetItem*)
{
    // The pointer file is read afresh on every click; without a readable one the list keeps
    // the arrow.
    try {
        m_listView1Icon = LoadIconPointer(programFolder() + QStringLiteral("/drag.ico"));
    } catch (const std::exception&) {
        m_listView1Icon.reset();
    }
    setListView1MousePointer(Pointer::Custom);
    listView1->setDragEnabled(false);
    DragItem = EntryIndex(*listView1, listView1->selectedPosition());
}

void Form1::ListView1_MouseMove(const QPoint& viewportPosition)
{
    hoverReset();
    if (!Dragging)
        return;

    // While the button is held the list keeps receiving moves from anywhere on the screen;
    // only a point on the list can be over one of its entries.
    const bool onList = listView1->viewport()->rect().contains(viewportPosition);
    HitItem = EntryIndex(*listView1, onList ? listView1->positionAt(viewportPosition) : 0);
    const int hitPosition = PositionOf(*listView1, HitItem);
    const int dragPosition = PositionOf(*listView1, DragItem);
    if (hitPosition != 0 && dragPosition != 0) {
        const QString dragged = listView1->entryText(dragPosition);
        const QString hit = listView1->entryText(hitPosition);
        if (dragged != hit) {
            listView1->setEntryText(dragPosition, hit);
            listView1->setEntryText(hitPosition, dragged);
            listView1->selectAt(hitPosition);
            DragItem = HitItem;
            const int target =
                Reordering::ScrollTarget(QCursor::pos().y(), hitPosition, listView1->count());
            if (target != 0)
                listView1->scrollToPosition(target);
        }
    }
    HitItem = QPersistentModelIndex();
}

void Form1::ListView1_MouseUp()
{
    Dragging = false;
    setListView1MousePointer(Pointer::Arrow);
}
