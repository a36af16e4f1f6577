// Cursor motion, index, margins, saved cursor (not built yet).
#include "terminal/engine/Terminal.hpp"

#include <algorithm>

namespace corvix {

void Terminal::restrictCursor(bool limitCols)
{
}

void Terminal::setCursor(int col, int row)
{
}

void Terminal::cursorForward(int count)
{
}

void Terminal::cursorBackward(int count)
{
}

void Terminal::cmdBackspace()
{
}

void Terminal::cmdCarriageReturn()
{
    Buffer& b = *buffer_;
    if (marginMode && b.x() >= b.marginLeft())
        b.setX(b.marginLeft());
    else
        b.setX(0);
}

void Terminal::cmdLineFeedBasic()
{
    Buffer& b = *buffer_;
    if (b.y() == b.scrollBottom()) {
        if (!marginMode || (b.x() >= b.marginLeft() && b.x() <= b.marginRight())) scroll(false);
    } else if (b.y() != rows - 1) {
        b.setY(b.y() + 1);
        BufferLine& line = b.lines()[b.yBase() + b.y()];
        if (!line.isWrapped()) line.setBidiState(currentBidiState);
    }
    if (b.x() >= cols) b.setX(cols - 1);
    emitLineFeed();
    if (lineFeedMode) b.setX(originMode && marginMode ? b.marginLeft() : 0);
}

void Terminal::emitLineFeed()
{
    if (tdel) tdel->linefeed(*this);
}

void Terminal::cmdCursorUp(Params pars, Bytes collect)
{
}

void Terminal::cmdCursorDown(Params pars, Bytes collect)
{
}

void Terminal::cmdCursorCharAbsolute(Params pars, Bytes collect)
{
}

void Terminal::cmdCursorPosition(Params pars, Bytes collect)
{
}

void Terminal::cmdCharPosAbsolute(Params pars, Bytes collect)
{
}

void Terminal::cmdHPositionRelative(Params pars, Bytes collect)
{
}

void Terminal::cmdLinePosAbsolute(Params pars, Bytes collect)
{
}

void Terminal::cmdVPositionRelative(Params pars, Bytes collect)
{
}

void Terminal::cmdHVPosition(Params pars, Bytes collect)
{
}

void Terminal::cmdTabClear(Params pars, Bytes collect)
{
}

void Terminal::cmdIndex()
{
}

void Terminal::reverseIndex()
{
}

void Terminal::columnIndex(bool back)
{
}

void Terminal::columnScroll(bool back, int at)
{
}

void Terminal::cmdSetScrollRegion(Params pars, Bytes collect)
{
}

void Terminal::cmdSetMargins(Params pars, Bytes collect)
{
}

void Terminal::cmdSaveCursor(Params pars, Bytes collect)
{
}

void Terminal::cmdRestoreCursor(Params pars, Bytes collect)
{
}

void Terminal::cmdSelectCharacterPath(Params pars, Bytes collect)
{
}

} // namespace corvix
