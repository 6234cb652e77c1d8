#pragma once

#include <QPushButton>

// A push button that also tells when the pointer moves over it, so the window can show the
// hand pointer there.
class PushButton : public QPushButton
{
    Q_OBJECT

public:
    explicit PushButton(const QString& caption, QWidget* parent = nullptr);

Q_SIGNALS:
    void mouseMoved();

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
};
