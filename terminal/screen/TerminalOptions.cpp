#include "terminal/screen/TerminalOptions.hpp"

#include <algorithm>
#include <utility>

namespace corvix {

std::optional<CursorStyle> cursorStyleFromString(std::string_view name)
{
    static constexpr std::pair<std::string_view, CursorStyle> names[] = {
        {"blinkBlock", CursorStyle::blinkBlock},         {"steadyBlock", CursorStyle::steadyBlock},
        {"blinkUnderline", CursorStyle::blinkUnderline}, {"steadyUnderline", CursorStyle::steadyUnderline},
        {"blinkBar", CursorStyle::blinkBar},             {"steadyBar", CursorStyle::steadyBar},
    };
    for (const auto& [text, style] : names)
        if (text == name) return style;
    return std::nullopt;
}

TerminalOptions TerminalOptions::make(int64_t cols, int64_t rows, bool convertEol, std::string termName,
                                      CursorStyle cursorStyle, bool screenReaderMode, int64_t scrollback,
                                      int64_t tabStopWidth, bool enableSixelReported,
                                      int64_t kittyImageCacheLimitBytes,
                                      Ansi256PaletteStrategy ansi256PaletteStrategy,
                                      RegionalIndicatorWidth regionalIndicatorWidth,
                                      BidiPresentationState initialBidiState, int64_t maximumBidiParagraphRows,
                                      bool initialBidiArrowKeySwap)
{
    TerminalOptions o;
    o.cols = cols;
    o.rows = rows;
    o.convertEol = convertEol;
    o.termName = std::move(termName);
    o.cursorStyle = cursorStyle;
    o.screenReaderMode = screenReaderMode;
    o.scrollback = scrollback;
    o.tabStopWidth = tabStopWidth;
    o.enableSixelReported = enableSixelReported;
    o.kittyImageCacheLimitBytes = kittyImageCacheLimitBytes;
    o.ansi256PaletteStrategy = ansi256PaletteStrategy;
    o.regionalIndicatorWidth = regionalIndicatorWidth;
    o.initialBidiState = initialBidiState;
    o.maximumBidiParagraphRows = std::max<int64_t>(maximumBidiParagraphRows, 1);
    o.initialBidiArrowKeySwap = initialBidiArrowKeySwap;
    return o;
}

} // namespace corvix
