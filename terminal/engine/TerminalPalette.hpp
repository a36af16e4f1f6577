#pragma once

#include "terminal/screen/Color.hpp"

#include <optional>
#include <vector>

namespace corvix {

// The colour tables and default colours. The terminal's setters and its colour commands
// (TerminalColors) change them and tell the delegate.
struct TerminalPalette {
    // The colours the host installed, the 256-colour palette built from them (what a reset
    // returns to), and the palette in use, which OSC 4 changes.
    std::vector<Color> installedColors;
    std::vector<Color> defaultAnsiColors;
    std::vector<Color> ansiColors;

    const Color& foregroundColor() const { return foregroundColor_; }
    const Color& backgroundColor() const { return backgroundColor_; }
    const std::optional<Color>& cursorColor() const { return cursorColor_; }

protected:
    Color foregroundColor_ = Color::defaultForeground();
    Color backgroundColor_ = Color::defaultBackground();
    std::optional<Color> cursorColor_;
    // Set while a setter tells the delegate, whose default writes the colour back through it.
    bool settingFgColor = false;
    bool settingBgColor = false;
    bool settingCursorColor = false;
};

} // namespace corvix
