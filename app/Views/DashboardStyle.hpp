#pragma once

#include "app/Services/sessions/SessionStateAppearance.hpp"

#include <QColor>
#include <QFont>
#include <QString>

class QFrame;
class QLabel;
class QWidget;

// The dashboard's dark look in one place: its greys, the text styles of a dark window and the
// state colours. Sizes are pixels (one point of the layout is one pixel at scale 1).
namespace brisvane::DashboardStyle {

// The window, and the strips of the top bar that lie on it.
inline QColor windowBackground() { return QColor(18, 18, 18); }
inline QColor stripBackground() { return QColor(24, 24, 24); }

// Text on the dark window: primary, secondary and tertiary emphasis.
inline QColor primaryText() { return QColor(255, 255, 255, 217); }
inline QColor secondaryText() { return QColor(235, 235, 245, 153); }
inline QColor tertiaryText() { return QColor(235, 235, 245, 77); }

inline QColor accent() { return QColor(10, 132, 255); }
inline QColor yellow() { return QColor(255, 214, 10); }
inline QColor red() { return QColor(255, 69, 58); }
inline QColor green() { return QColor(48, 209, 88); }
inline QColor grey() { return QColor(142, 142, 147); }
inline QColor white() { return QColor(255, 255, 255); }
inline QColor white(double opacity) { return QColor::fromRgbF(1, 1, 1, float(opacity)); }
inline QColor withOpacity(QColor color, double opacity)
{
    color.setAlphaF(float(color.alphaF() * opacity));
    return color;
}
// sRGB 2/15: a toast's card.
inline QColor toastBackground() { return QColor::fromRgbF(2.0f / 15, 2.0f / 15, 2.0f / 15); }

// The dot colour of a session state's tone: idle and unknown grey, busy green, waiting red,
// terminated white.
QColor toneColor(SessionStateAppearance::Tone tone);

// A style sheet for scroll bars in a dark place: a flat track and a rounded handle, instead of the
// platform's light-theme bar.
QString scrollBarStyleSheet(const QColor& track, const QColor& handle);

// The system font at `pixelSize`, in the given weight.
QFont font(int pixelSize, QFont::Weight weight = QFont::Normal);
// The fixed-pitch system font at `pixelSize`.
QFont monospacedFont(int pixelSize);

// A one-line label in `font` and `color` that lets clicks through to the widget below it.
QLabel* makeLabel(const QString& text, const QFont& font, const QColor& color, QWidget* parent = nullptr);
// A horizontal hairline between stacked parts.
QFrame* makeDivider(QWidget* parent = nullptr);

} // namespace brisvane::DashboardStyle
