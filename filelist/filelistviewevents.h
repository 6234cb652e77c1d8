#pragma once

#include <QObject>
#include <QPoint>
#include <functional>

class QMimeData;
class QTreeWidgetItem;
class FileListView;

// Carries the list's Qt events to the window's list handlers: a press, the click on an entry
// that follows it once the press has selected the entry, moves, releases, double-clicks, key
// presses and drags from other programs.
//
// Moves with a button held are not passed on to the list, so the list neither selects by
// dragging nor scrolls by itself: the window's reordering decides both. Drags are answered
// here alone; the list never starts a drag of its own.
class FileListViewEvents : public QObject
{
    Q_OBJECT

public:
    struct Handlers
    {
        std::function<void()> mouseDown;
        std::function<void(QTreeWidgetItem*)> itemClick;
        std::function<void(const QPoint& viewportPosition)> mouseMove;
        std::function<void()> mouseUp;
        std::function<void()> dblClick;
        std::function<void(int key, Qt::KeyboardModifiers modifiers)> keyDown;
        // Sets effect to Qt::IgnoreAction to refuse what is dragged.
        std::function<void(const QMimeData* data, Qt::DropAction& effect)> dragMove;
        std::function<void(const QMimeData* data)> drop;
    };

    // Installs itself on the list and its viewport; lives as long as the parent.
    FileListViewEvents(FileListView* list, Handlers handlers, QObject* parent);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool viewportEvent(QEvent* event);

    FileListView* m_list;
    QObject* m_viewport;
    Handlers m_handlers;
};
