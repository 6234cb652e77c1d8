#include "app/pushbutton.h"

#include <QMouseEvent>

PushButton::PushButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
}

void PushButton::mouseMoveEvent(QMouseEvent* event)
{
    Q_EMIT mouseMoved();
    QPushButton::mouseMoveEvent(event);
    // The move belongs to the button; the window beneath must not reset the pointer.
    event->accept();
}
