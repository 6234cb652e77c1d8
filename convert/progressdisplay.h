#pragma once

#include <QString>

namespace tp {

// A progress display as the conversion run and the process runner use it: a text shown on
// the bar and a value that may lie outside the bar's range.
class ProgressDisplay
{
public:
    virtual ~ProgressDisplay() = default;

    virtual QString Text() const = 0;
    virtual void setText(const QString& text) = 0;

    // The value as a whole number, as it was last set (not clamped).
    virtual long long Value() const = 0;
    // Takes any value; a fraction is rounded to the nearest whole number, halves to even.
    virtual void SetValue(double value) = 0;
};

} // namespace tp
