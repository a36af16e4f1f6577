#pragma once

#include "app/Views/DashboardStyle.hpp"

#include <QColor>

// Colour arithmetic over the dashboard's palette (DashboardStyle): opacities of its colours and
// the toasts' card.
namespace brisvane::DashboardColors {

inline QColor accent() { return DashboardStyle::accent(); }
inline QColor white(double opacity) { return QColor::fromRgbF(1, 1, 1, float(opacity)); }
inline QColor withOpacity(QColor color, double opacity)
{
    color.setAlphaF(float(color.alphaF() * opacity));
    return color;
}
// sRGB 2/15: a toast's card.
inline QColor toastBackground() { return QColor::fromRgbF(2.0f / 15, 2.0f / 15, 2.0f / 15); }

} // namespace brisvane::DashboardColors
