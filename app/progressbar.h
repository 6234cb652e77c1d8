#pragma once

#include "convert/progressdisplay.h"

#include <QProgressBar>

// A progress bar that shows its own text on the bar and takes any value: the value is kept
// as set and shown clamped to the bar's range of 0 to 100.
//
// The bar's own value, range and text calls are out of reach, so that Value() and Text() are
// the only way to the state and what the bar shows can never disagree with them. The bar
// stays a QProgressBar, so assistive technology sees a progress bar with the shown value.
class ProgressBar : public QProgressBar, public tp::ProgressDisplay
{
    Q_OBJECT

public:
    explicit ProgressBar(QWidget* parent = nullptr);

    QString Text() const override { return m_text; }
    void setText(const QString& text) override;
    long long Value() const override { return m_value; }
    void SetValue(double value) override;

private:
    // The style paints this text on the bar.
    QString text() const override { return m_text; }

    using QProgressBar::format;
    using QProgressBar::maximum;
    using QProgressBar::minimum;
    using QProgressBar::reset;
    using QProgressBar::resetFormat;
    using QProgressBar::setFormat;
    using QProgressBar::setMaximum;
    using QProgressBar::setMinimum;
    using QProgressBar::setRange;
    using QProgressBar::setValue;
    using QProgressBar::value;

    QString m_text;
    long long m_value = 0;
};
