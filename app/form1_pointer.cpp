#include "app/cursorfile.h"
#include "app/form1.h"
#include "filelist/listview1.h"

#include <QEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QMouseEvent>

std::optional<QCursor> Pointer::Shape(int pointer, const std::optional<QCursor>& icon,
                                      Qt::CursorShape customFallback)
{
    switch (pointer) {
    case Arrow:
        return QCursor(Qt::ArrowCursor);
    case Hourglass:
        return QCursor(Qt::WaitCursor);
    case Custom:
        return icon.value_or(QCursor(customFallback));
    default:
        return std::nullopt;
    }
}

void Form1::setMousePointer(int pointer)
{
    m_mousePointer = pointer;
    applyPointer();
}

// The window's pointer shows over the whole window, controls included. The default pointer
// gives every control its own pointer back (the text box its I-beam).
void Form1::applyPointer()
{
    const std::optional<QCursor> shown =
        Pointer::Shape(m_mousePointer, m_mouseIcon, Qt::PointingHandCursor);

    QList<QWidget*> widgets = findChildren<QWidget*>();
    widgets.prepend(this);
    for (QWidget* widget : widgets) {
        if (!m_ownCursors.contains(widget))
            m_ownCursors.insert(widget, widget->testAttribute(Qt::WA_SetCursor)
                                            ? std::optional<QCursor>(widget->cursor())
                                            : std::nullopt);
        const std::optional<QCursor>& own = m_ownCursors.value(widget);
        if (shown)
            widget->setCursor(*shown);
        else if (own)
            widget->setCursor(*own);
        else
            widget->unsetCursor();
    }
}

void Form1::hoverReset()
{
    if (m_mousePointer != Pointer::Hourglass)
        setMousePointer(Pointer::Default);
}

void Form1::Form_MouseMove()
{
    hoverReset();
}

void Form1::Frame1_MouseMove()
{
    hoverReset();
}

void Form1::Frame2_MouseMove()
{
    hoverReset();
}

void Form1::Frame3_MouseMove()
{
    hoverReset();
}

void Form1::Text1_MouseMove()
{
    hoverReset();
}

void Form1::PushButton_MouseMove()
{
    if (m_mousePointer != Pointer::Hourglass)
        setMousePointer(Pointer::Custom);
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::MouseMove)
        return QWidget::eventFilter(watched, event);
    if (watched == Frame1)
        Frame1_MouseMove();
    else if (watched == Frame2)
        Frame2_MouseMove();
    else if (watched == Frame3)
        Frame3_MouseMove();
    else if (watched == Text1)
        Text1_MouseMove();
    // The options, the bitrate list and the bar leave the pointer as it is; their moves are
    // not passed on to the frame beneath.
    else if (static_cast<QMouseEvent*>(event)->buttons() == Qt::NoButton) {
        event->accept();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::mouseMoveEvent(QMouseEvent* event)
{
    Form_MouseMove();
    QWidget::mouseMoveEvent(event);
}
