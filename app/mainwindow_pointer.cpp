#include "app/cursorfile.h"
#include "app/mainwindow.h"
#include "filelist/filelistview.h"

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

void MainWindow::setMousePointer(int pointer)
{
    m_mousePointer = pointer;
    applyPointer();
}

// The window's pointer shows over the whole window, controls included. The default pointer
// gives every control its own pointer back (the text box its I-beam).
void MainWindow::applyPointer()
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

void MainWindow::hoverReset()
{
    if (m_mousePointer != Pointer::Hourglass)
        setMousePointer(Pointer::Default);
}

void MainWindow::windowHovered()
{
    hoverReset();
}

void MainWindow::saveOptionFrameHovered()
{
    hoverReset();
}

void MainWindow::bitrateFrameHovered()
{
    hoverReset();
}

void MainWindow::outputFolderFrameHovered()
{
    hoverReset();
}

void MainWindow::outputFolderBoxHovered()
{
    hoverReset();
}

void MainWindow::buttonHovered()
{
    if (m_mousePointer != Pointer::Hourglass)
        setMousePointer(Pointer::Custom);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::MouseMove)
        return QWidget::eventFilter(watched, event);
    if (watched == saveOptionFrame)
        saveOptionFrameHovered();
    else if (watched == bitrateFrame)
        bitrateFrameHovered();
    else if (watched == outputFolderFrame)
        outputFolderFrameHovered();
    else if (watched == outputFolderBox)
        outputFolderBoxHovered();
    // The options, the bitrate list and the bar leave the pointer as it is; their moves are
    // not passed on to the frame beneath.
    else if (static_cast<QMouseEvent*>(event)->buttons() == Qt::NoButton) {
        event->accept();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::mouseMoveEvent(QMouseEvent* event)
{
    windowHovered();
    QWidget::mouseMoveEvent(event);
}
