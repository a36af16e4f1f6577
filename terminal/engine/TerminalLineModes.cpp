// Line render modes (DECDHL, DECSWL, DECDWL), the screen alignment pattern (DECALN) and the
// presentation direction (SPD).
#include "terminal/engine/Terminal.hpp"
#include "terminal/engine/TerminalLineModes.hpp"
#include "terminal/engine/TerminalModeCommands.hpp"

namespace corvix {

void TerminalLineModes::setLineRenderMode(BufferLine::RenderLineMode mode)
{
    Buffer& b = *terminal_.buffer_;
    const int index = b.yBase() + b.y();
    if (index < 0 || index >= b.lines().count()) return;
    b.lines()[index].setRenderMode(mode);
    terminal_.updateRange(b.y());
}

void TerminalLineModes::cmdScreenAlignmentPattern()
{
    // Colours of the current attribute are kept; styles would make the pattern useless for
    // checking alignment, so they are dropped.
    Attribute attribute;
    attribute.fg = terminal_.curAttr.fg;
    attribute.bg = terminal_.curAttr.bg;
    attribute.underlineColor = terminal_.curAttr.underlineColor;
    const CharData fillCell = terminal_.makeCharData(attribute, 'E', 1);

    // The pattern checks the whole screen, so it starts from no margins and no origin mode.
    terminal_.originMode = false;
    Buffer& b = *terminal_.buffer_;
    b.setScrollTop(0);
    b.setScrollBottom(terminal_.rows - 1);
    b.setMarginLeft(0);
    b.setMarginRight(terminal_.cols - 1);
    terminal_.cursorCommands_.setCursor(0, 0);
    auto& lines = b.lines();
    for (int row = 0; row < terminal_.rows; row++) {
        const int index = b.yBase() + row;
        if (index >= lines.count()) break;
        BufferLine& line = lines[index];
        line.fill(fillCell);
        line.setIsWrapped(false);
    }
    terminal_.updateFullScreen();
}

void TerminalLineModes::cmdSelectPresentationDirection(Params pars, Bytes collect)
{
    const int ps1 = pars.empty() ? 0 : pars[0];
    if (ps1 != 0 && ps1 != 3) return;
    terminal_.currentBidiState.fallbackDirection = ps1 == 3 ? BidiDirection::rightToLeft : BidiDirection::leftToRight;
    TerminalModeCommands(terminal_).applyBidiUpdate({Terminal::BidiStateProperty::fallbackDirection});
}

} // namespace corvix
