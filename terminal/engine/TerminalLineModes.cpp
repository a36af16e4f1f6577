// Line render modes (DECDHL, DECSWL, DECDWL), the screen alignment pattern (DECALN) and the
// presentation direction (SPD).
#include "terminal/engine/Terminal.hpp"

namespace corvix {

void Terminal::setLineRenderMode(BufferLine::RenderLineMode mode)
{
    Buffer& b = *buffer_;
    const int index = b.yBase() + b.y();
    if (index < 0 || index >= b.lines().count()) return;
    b.lines()[index].setRenderMode(mode);
    updateRange(b.y());
}

void Terminal::cmdScreenAlignmentPattern()
{
    // Colours of the current attribute are kept; styles would make the pattern useless for
    // checking alignment, so they are dropped.
    Attribute attribute;
    attribute.fg = curAttr.fg;
    attribute.bg = curAttr.bg;
    attribute.underlineColor = curAttr.underlineColor;
    const CharData fillCell = makeCharData(attribute, 'E', 1);

    // The pattern checks the whole screen, so it starts from no margins and no origin mode.
    originMode = false;
    Buffer& b = *buffer_;
    b.setScrollTop(0);
    b.setScrollBottom(rows - 1);
    b.setMarginLeft(0);
    b.setMarginRight(cols - 1);
    setCursor(0, 0);
    auto& lines = b.lines();
    for (int row = 0; row < rows; row++) {
        const int index = b.yBase() + row;
        if (index >= lines.count()) break;
        BufferLine& line = lines[index];
        line.fill(fillCell);
        line.setIsWrapped(false);
    }
    updateFullScreen();
}

void Terminal::cmdSelectPresentationDirection(Params pars, Bytes collect)
{
    const int ps1 = pars.empty() ? 0 : pars[0];
    if (ps1 != 0 && ps1 != 3) return;
    currentBidiState.fallbackDirection = ps1 == 3 ? BidiDirection::rightToLeft : BidiDirection::leftToRight;
    applyBidiUpdate({BidiStateProperty::fallbackDirection});
}

} // namespace corvix
