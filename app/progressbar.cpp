#include "app/progressbar.h"

#include <algorithm>
#include <cmath>
#include <limits>

ProgressBar::ProgressBar(QWidget* parent) : QProgressBar(parent)
{
    setRange(0, 100);
    setTextVisible(true);
    setAlignment(Qt::AlignCenter);
}

void ProgressBar::setText(const QString& text)
{
    m_text = text;
    setAccessibleDescription(text);
    update();
}

void ProgressBar::SetValue(double value)
{
    constexpr double limit = static_cast<double>(std::numeric_limits<int>::max());
    const double rounded =
        std::isnan(value) ? 0.0 : std::nearbyint(std::clamp(value, -limit, limit));
    m_value = static_cast<long long>(rounded);
    setValue(static_cast<int>(std::clamp<long long>(m_value, minimum(), maximum())));
}
