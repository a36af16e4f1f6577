#pragma once

#include "terminal/screen/Color.hpp"

#include <QColor>

namespace corvix {

// Conversions between the terminal's 16-bit colours and the toolkit's colours, and the derived
// colours the view draws with. Everything is in sRGB.

// An opaque colour of the terminal colour's components / 65535.
QColor makeColor(const Color& color);
// The 16-bit sRGB components (out-of-range components clamped); alpha is dropped. An invalid colour gives the default foreground.
Color getTerminalColor(const QColor& color);
// (1 - r, 1 - g, 1 - b) with the same alpha; an invalid colour comes back unchanged.
QColor inverseColor(const QColor& color);
// The midpoint of this colour and the target, with this colour's alpha; unchanged when either
// is invalid.
QColor dimmedColor(const QColor& color, const QColor& towards);

} // namespace corvix
