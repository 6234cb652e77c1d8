#include "app/cursorfile.h"
#include "app/mainwindow.h"
#include "filelist/filelistview.h"
#include "filelist/filelistviewevents.h"
#include "filelist/reordering.h"

namespace {

QPersistentModelIndex EntryIndex(FileListView& list, int position)
{
    return QPersistentModelIndex(list.indexAtPosition(position));
}

// The position of the entry an index names, or 0 when it names none any more.
int PositionOf(const FileListView& list, const QPersistentModelIndex& index)
{
    if (!index.isValid() || index.model() != list.model() || index.parent().isValid())
        return 0;
    return index.row() + 1;
}

// Removal by the Delete key and by double-click: the selected entry, never while the window
// is busy.
void RemoveSelectedEntry(const MainWindow& form, FileListView& list)
{
    if (form.mousePointer() == Pointer::Hourglass)
        return;
    if (list.count() == 0)
        return;
    const int position = list.selectedPosition();
    if (position == 0)
        return;
    list.removeAt(position);
}

} // namespace

void MainWindow::connectFileList()
{
    FileListViewEvents::Handlers handlers;
    handlers.mouseDown = [this] { fileListPressed(); };
    handlers.itemClick = [this](QTreeWidgetItem* item) { fileListItemClicked(item); };
    handlers.mouseMove = [this](const QPoint& position) { fileListMouseMoved(position); };
    handlers.mouseUp = [this] { fileListReleased(); };
    handlers.dblClick = [this] { fileListDoubleClicked(); };
    handlers.keyDown = [this](int key, Qt::KeyboardModifiers shift) {
        fileListKeyPressed(key, shift);
    };
    handlers.dragMove = [this](const QMimeData* data, Qt::DropAction& effect) {
        fileListDragMoved(data, effect);
    };
    handlers.drop = [this](const QMimeData* data) { fileListDropped(data); };
    new FileListViewEvents(fileList, std::move(handlers), this);
}

void MainWindow::setFileListPointer(int pointer)
{
    m_fileListPointer = pointer;
    const std::optional<QCursor> own = Pointer::Shape(pointer, m_fileListIcon, Qt::ArrowCursor);
    // The list's own pointer is its viewport's. The window's pointer policy puts it back
    // whenever the window returns to the default pointer, and until then it stays covered.
    QWidget* surface = fileList->viewport();
    m_ownCursors.insert(surface, own);
    if (m_mousePointer != Pointer::Default)
        return;
    if (own)
        surface->setCursor(*own);
    else
        surface->unsetCursor();
}

void MainWindow::clearList()
{
    tp::ErrorTrap trap = this->trap(QStringLiteral("PushButton4_Click"));
    bool busy = false;
    trap.at(100, [&] { busy = mousePointer() == Pointer::Hourglass; });
    if (busy)
        return;
    trap.at(102, [&] { fileList->removeAll(); });
}

void MainWindow::fileListKeyPressed(int keyCode, Qt::KeyboardModifiers)
{
    if (keyCode == Qt::Key_Delete)
        RemoveSelectedEntry(*this, *fileList);
}

void MainWindow::fileListDoubleClicked()
{
    RemoveSelectedEntry(*this, *fileList);
}

void MainWindow::fileListPressed()
{
    m_reordering = true;
}

void MainWindow::fileListItemClicked(QTreeWidgetItem*)
{
    // The pointer file is read afresh on every click; without a readable one the list keeps
    // the arrow.
    try {
        m_fileListIcon = LoadIconPointer(programFolder() + QStringLiteral("/drag.ico"));
    } catch (const std::exception&) {
        m_fileListIcon.reset();
    }
    setFileListPointer(Pointer::Custom);
    fileList->setDragEnabled(false);
    m_draggedEntry = EntryIndex(*fileList, fileList->selectedPosition());
}

void MainWindow::fileListMouseMoved(const QPoint& viewportPosition)
{
    hoverReset();
    if (!m_reordering)
        return;

    // While the button is held the list keeps receiving moves from anywhere on the screen;
    // only a point on the list can be over one of its entries.
    const bool onList = fileList->viewport()->rect().contains(viewportPosition);
    m_entryUnderPointer =
        EntryIndex(*fileList, onList ? fileList->positionAt(viewportPosition) : 0);
    const int hitPosition = PositionOf(*fileList, m_entryUnderPointer);
    const int dragPosition = PositionOf(*fileList, m_draggedEntry);
    if (hitPosition != 0 && dragPosition != 0) {
        const QString dragged = fileList->entryText(dragPosition);
        const QString hit = fileList->entryText(hitPosition);
        if (dragged != hit) {
            fileList->setEntryText(dragPosition, hit);
            fileList->setEntryText(hitPosition, dragged);
            fileList->selectAt(hitPosition);
            m_draggedEntry = m_entryUnderPointer;
            const int target =
                Reordering::ScrollTarget(QCursor::pos().y(), hitPosition, fileList->count());
            if (target != 0)
                fileList->scrollToPosition(target);
        }
    }
    m_entryUnderPointer = QPersistentModelIndex();
}

void MainWindow::fileListReleased()
{
    m_reordering = false;
    setFileListPointer(Pointer::Arrow);
}
