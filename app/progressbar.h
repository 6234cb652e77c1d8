#pragma once

#include "convert/progressdisplay.h"

#include <QProgressBar>

// A progress bar that shows its own text on the bar and takes any value: the value is kept
// as set and shown clamped to the bar's range of 0 to 100.
class ProgressBar : public QProgressBar, public tp::ProgressDisplay
{
    Q_OBJECT

public:
    explicit ProgressBar(QWidget* parent = nullptr);

    QString Text() const override { return m_text; }
    void setText(const QString& text) override;
    long long Value() const override { return m_value; }
    void SetValue(double value) override;

    QString text() const override { return m_text; }

private:
    QString m_text;
    long long m_value = 0;
};
