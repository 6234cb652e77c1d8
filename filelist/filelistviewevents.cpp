#include "filelist/filelistviewevents.h"

#include "filelist/filelistview.h"

#include <QDropEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QtDebug>
#include <exception>

namespace {

// The list's handlers have no error report; a failure among them must still not reach the
// event loop.
template <class Handler, class... Arguments>
void Run(const Handler& handler, Arguments&&... arguments)
{
    if (!handler)
        return;
    try {
        handler(std::forward<Arguments>(arguments)...);
    } catch (const std::exception& error) {
        qWarning("File list handler failed: %s", error.what());
    } catch (...) {
        qWarning("File list handler failed");
    }
}

// The list takes the paths of what is dropped, never the files themselves: a move would let
// the source delete them once the drop is done, so it is answered as a copy (or a link).
Qt::DropAction TakenAction(Qt::DropAction proposed, Qt::DropActions possible)
{
    if (proposed != Qt::MoveAction)
        return proposed;
    if (possible & Qt::CopyAction)
        return Qt::CopyAction;
    if (possible & Qt::LinkAction)
        return Qt::LinkAction;
    return Qt::IgnoreAction;
}

} // namespace

FileListViewEvents::FileListViewEvents(FileListView* list, Handlers handlers, QObject* parent)
    : QObject(parent), m_list(list), m_viewport(list->viewport()), m_handlers(std::move(handlers))
{
    list->setDragEnabled(false);
    list->setDragDropMode(QAbstractItemView::NoDragDrop);
    list->setAcceptDrops(true);
    list->viewport()->setAcceptDrops(true);
    list->viewport()->setMouseTracking(true);
    list->installEventFilter(this);
    list->viewport()->installEventFilter(this);
    // The view emits this after the press has selected the entry, so the handler finds the
    // clicked entry selected.
    connect(list, &QTreeWidget::itemPressed, this,
            [this](QTreeWidgetItem* item, int) { Run(m_handlers.itemClick, item); });
}

bool FileListViewEvents::eventFilter(QObject* watched, QEvent* event)
{
    // Only the addresses are compared: events still arrive while the list is being destroyed.
    if (watched == m_viewport)
        return viewportEvent(event);
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        Run(m_handlers.keyDown, key->key(), key->modifiers());
    }
    return false;
}

bool FileListViewEvents::viewportEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        Run(m_handlers.mouseDown);
        return false;
    case QEvent::MouseButtonDblClick:
        // The second press of a double-click is a press too. The view never sees it: it
        // would select again the entry that moved up into the removed one's place.
        Run(m_handlers.mouseDown);
        Run(m_handlers.dblClick);
        return true;
    case QEvent::MouseMove: {
        const auto* move = static_cast<QMouseEvent*>(event);
        Run(m_handlers.mouseMove, move->position().toPoint());
        return move->buttons() != Qt::NoButton;
    }
    case QEvent::MouseButtonRelease:
        Run(m_handlers.mouseUp);
        return false;
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        Qt::DropAction effect = drag->proposedAction();
        Run(m_handlers.dragMove, drag->mimeData(), effect);
        effect = TakenAction(effect, drag->possibleActions());
        if (effect == Qt::IgnoreAction) {
            drag->setDropAction(Qt::IgnoreAction);
            drag->ignore();
        } else {
            drag->setDropAction(effect);
            drag->accept();
        }
        return true;
    }
    case QEvent::DragLeave:
        return true;
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const Qt::DropAction taken = TakenAction(drop->proposedAction(), drop->possibleActions());
        if (taken == Qt::IgnoreAction) {
            drop->ignore();
            return true;
        }
        Run(m_handlers.drop, drop->mimeData());
        drop->setDropAction(taken);
        drop->accept();
        return true;
    }
    default:
        return false;
    }
}
