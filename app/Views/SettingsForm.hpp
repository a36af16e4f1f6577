#pragma once

#include <QColor>
#include <QString>

class QGroupBox;
class QLabel;
class QVBoxLayout;
class QWidget;

// What the settings tabs share: a scrolling form of framed sections, captions and the
// coloured status dot. Sizes are pixels (one point of the layout is one pixel at scale 1).
namespace brisvane::SettingsForm {

// The platform's status colours.
inline QColor green() { return QColor(52, 199, 89); }
inline QColor orange() { return QColor(255, 149, 0); }
inline QColor red() { return QColor(255, 59, 48); }
inline QColor grey() { return QColor(142, 142, 147); }

// Makes `tab` a scrolling form and returns the stack its sections go into.
QVBoxLayout* makeForm(QWidget& tab);
// A framed section with a vertical stack; titled only when `title` is not empty.
QGroupBox* addSection(QVBoxLayout& form, const QString& title);
// Text at `pixelSize` in the secondary colour, wrapping to its full height.
QLabel* makeCaption(const QString& text, int pixelSize = 11);
// A filled circle of 8 by 8 in `color`.

} // namespace brisvane::SettingsForm
