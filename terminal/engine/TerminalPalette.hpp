#pragma once

#include "terminal/screen/Color.hpp"
#include "terminal/screen/TerminalOptions.hpp"

#include <optional>
#include <vector>

namespace corvix {

class Terminal;

// The colour tables and default colours, with the host's setters. These setters and the colour
// commands (TerminalColors) change them and tell the delegate. A base of Terminal alone.
class TerminalPalette {
public:
    // The colours the host installed, the 256-colour palette built from them (what a reset
    // returns to), and the palette in use, which OSC 4 changes.
    std::vector<Color> installedColors;
    std::vector<Color> defaultAnsiColors;
    std::vector<Color> ansiColors;

    const Color& foregroundColor() const { return foregroundColor_; }
    const Color& backgroundColor() const { return backgroundColor_; }
    const std::optional<Color>& cursorColor() const { return cursorColor_; }

    // The setters tell the delegate once and, for the Lab palettes (which depend on the default
    // colours), rebuild the palette.
    void installPalette(const std::vector<Color>& colors);
    Ansi256PaletteStrategy ansi256PaletteStrategy() const;
    void setAnsi256PaletteStrategy(Ansi256PaletteStrategy strategy);
    void setForegroundColor(const Color& color);
    void setBackgroundColor(const Color& color);
    void setCursorColor(std::optional<Color> color);

protected:
    Color foregroundColor_ = Color::defaultForeground();
    Color backgroundColor_ = Color::defaultBackground();
    std::optional<Color> cursorColor_;
    // Set while a setter tells the delegate, whose default writes the colour back through it.
    bool settingFgColor = false;
    bool settingBgColor = false;
    bool settingCursorColor = false;

private:
    friend class Terminal;
    TerminalPalette() = default;
    Terminal& terminal();
    const Terminal& terminal() const;
};

} // namespace corvix
