#pragma once

#include "terminal/screen/BidiPresentationState.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvix {

enum class CursorStyle : uint8_t { blinkBlock, steadyBlock, blinkUnderline, steadyUnderline, blinkBar, steadyBar };

// The case whose name equals the text exactly ("steadyBar"); nothing for any other text.
std::optional<CursorStyle> cursorStyleFromString(std::string_view name);

enum class RegionalIndicatorWidth : uint8_t { wide, narrow };

// How palette entries 16-255 are derived from the 16 base colours.
enum class Ansi256PaletteStrategy : uint8_t { xterm, base16Lab, base16LabHarmonious };

// What a host hands to a new terminal: geometry, name, scroll-back and the start-up state.
struct TerminalOptions {
    int64_t cols = 80;
    int64_t rows = 25;
    bool convertEol = false;
    std::string termName = "xterm-256color";
    CursorStyle cursorStyle = CursorStyle::blinkBlock;
    bool screenReaderMode = false;
    int64_t scrollback = 500;
    int64_t tabStopWidth = 8;
    bool enableSixelReported = true;
    int64_t kittyImageCacheLimitBytes = 320LL * 1024 * 1024;
    Ansi256PaletteStrategy ansi256PaletteStrategy = Ansi256PaletteStrategy::base16Lab;
    RegionalIndicatorWidth regionalIndicatorWidth = RegionalIndicatorWidth::wide;
    BidiPresentationState initialBidiState = BidiPresentationState::defaultState();
    int64_t maximumBidiParagraphRows = 500;
    bool initialBidiArrowKeySwap = false;
    // Whether a trusted child may read the clipboard (OSC 52 query); writes are always allowed.
    bool clipboardReadAllowed = false;

    // A copy of the shared defaults.
    static TerminalOptions defaults() { return {}; }

    // Every field given; only the bidi paragraph limit is raised to at least 1.
    static TerminalOptions make(int64_t cols, int64_t rows, bool convertEol, std::string termName,
                                CursorStyle cursorStyle, bool screenReaderMode, int64_t scrollback,
                                int64_t tabStopWidth, bool enableSixelReported,
                                int64_t kittyImageCacheLimitBytes,
                                Ansi256PaletteStrategy ansi256PaletteStrategy,
                                RegionalIndicatorWidth regionalIndicatorWidth,
                                BidiPresentationState initialBidiState, int64_t maximumBidiParagraphRows,
                                bool initialBidiArrowKeySwap);

    friend bool operator==(const TerminalOptions&, const TerminalOptions&) = default;
};

} // namespace corvix
