// Cursor motion, index and reverse index, column scrolling, margins, the saved cursor.
#include "terminal/engine/Terminal.hpp"
#include "terminal/engine/TerminalCursorCommands.hpp"

#include "terminal/screen/Log.hpp"

#include <algorithm>
#include <string>

namespace corvix {

namespace {

// The count of a CSI command: the first parameter, 1 when it is missing or below 1.
int countParam(Terminal::Params pars, size_t index = 0)
{
    return index < pars.size() && pars[index] >= 1 ? pars[index] : 1;
}

// `base` + `count` without overflow, capped at `limit`.
int addCapped(int base, int count, int limit)
{
    return int(std::min<int64_t>(int64_t(base) + count, limit));
}

} // namespace

// ---- Primitives -------------------------------------------------------------------------------

void TerminalCursorCommands::restrictCursor(bool limitCols)
{
    Buffer& b = *terminal_.buffer_;
    b.settleWrap();
    b.setX(std::clamp(b.x(), 0, limitCols ? terminal_.cols - 1 : terminal_.cols));
    if (terminal_.originMode)
        b.setY(std::clamp(b.y(), b.scrollTop(), b.scrollBottom()));
    else
        b.setY(std::clamp(b.y(), 0, terminal_.rows - 1));
    terminal_.updateRange(b.y());
}

void TerminalCursorCommands::setCursor(int col, int row)
{
    Buffer& b = *terminal_.buffer_;
    terminal_.updateRange(b.y());
    if (terminal_.originMode) {
        col = addCapped(col, terminal_.marginMode ? b.marginLeft() : 0, terminal_.cols);
        row = addCapped(row, b.scrollTop(), terminal_.rows);
    }
    b.setX(std::max(col, 0));
    b.setY(std::max(row, 0));
    restrictCursor(true);
}

void TerminalCursorCommands::cursorForward(int count)
{
    Buffer& b = *terminal_.buffer_;
    b.settleWrap();
    const int right = terminal_.marginMode ? b.marginRight() : terminal_.cols - 1;
    const int limit = b.x() > right ? terminal_.cols - 1 : right;
    b.setX(addCapped(b.x(), std::max(count, 1), limit));
}

void TerminalCursorCommands::cursorBackward(int count)
{
    Buffer& b = *terminal_.buffer_;
    b.settleWrap();
    const int left = terminal_.marginMode ? b.marginLeft() : 0;
    const int limit = b.x() < left ? 0 : left;
    b.setX(int(std::max<int64_t>(int64_t(b.x()) - std::max(count, 1), limit)));
}

// ---- C0 controls ------------------------------------------------------------------------------

void TerminalCursorCommands::cmdBackspace()
{
    Buffer& b = *terminal_.buffer_;
    // Reverse wraparound only undoes what autowrap does, so it needs autowrap on too.
    const bool reverseWrap = terminal_.reverseWraparound && terminal_.wraparound;
    // With reverse wraparound, backing up from a pending wrap only cancels the wrap.
    if (reverseWrap && b.wrapPending()) {
        b.settleWrap();
        return;
    }
    restrictCursor(!reverseWrap);
    const int left = terminal_.marginMode ? b.marginLeft() : 0;
    const int right = terminal_.marginMode ? b.marginRight() : terminal_.cols - 1;
    if (b.x() > left) {
        b.setX(b.x() - 1);
        return;
    }
    if (!reverseWrap) {
        // Left of the left margin the cursor still moves; at the margin it stops.
        if (b.x() < left && b.x() >= 1) b.setX(b.x() - 1);
        return;
    }
    if (b.y() > b.scrollTop() && b.y() <= b.scrollBottom()) {
        BufferLine& line = b.lines()[b.yBase() + b.y()];
        // Backing over the wrap undoes it: the row above no longer continues into this one.
        if (line.isWrapped() && !terminal_.marginMode) line.setIsWrapped(false);
        b.setY(b.y() - 1);
        b.setX(right);
    } else if (b.y() == b.scrollTop()) {
        b.setX(right);
        b.setY(b.scrollBottom());
    } else if (b.y() >= 1) {
        b.setX(right);
        b.setY(b.y() - 1);
    }
}

void TerminalCursorCommands::cmdCarriageReturn()
{
    Buffer& b = *terminal_.buffer_;
    if (terminal_.marginMode && b.x() >= b.marginLeft())
        b.setX(b.marginLeft());
    else
        b.setX(0);
}

void TerminalCursorCommands::cmdLineFeedBasic()
{
    Buffer& b = *terminal_.buffer_;
    b.settleWrap();
    if (b.y() == b.scrollBottom()) {
        if (!terminal_.marginMode || (b.x() >= b.marginLeft() && b.x() <= b.marginRight())) terminal_.scroll(false);
    } else if (b.y() != terminal_.rows - 1) {
        b.setY(b.y() + 1);
        BufferLine& line = b.lines()[b.yBase() + b.y()];
        if (!line.isWrapped()) line.setBidiState(terminal_.currentBidiState);
    }
    if (b.x() >= terminal_.cols) b.setX(terminal_.cols - 1);
    emitLineFeed();
    if (terminal_.lineFeedMode) b.setX(terminal_.originMode && terminal_.marginMode ? b.marginLeft() : 0);
}

void TerminalCursorCommands::emitLineFeed()
{
    if (terminal_.tdel) terminal_.tdel->linefeed(terminal_);
}

// ---- CSI cursor commands ----------------------------------------------------------------------

void TerminalCursorCommands::cmdCursorUp(Params pars, Bytes)
{
    Buffer& b = *terminal_.buffer_;
    const int top = b.y() < b.scrollTop() ? 0 : b.scrollTop();
    b.setY(int(std::max<int64_t>(int64_t(b.y()) - countParam(pars), top)));
}

void TerminalCursorCommands::cmdCursorDown(Params pars, Bytes)
{
    Buffer& b = *terminal_.buffer_;
    const int bottom = b.y() > b.scrollBottom() ? terminal_.rows - 1 : b.scrollBottom();
    b.setY(addCapped(b.y(), countParam(pars), bottom));
    if (b.x() >= terminal_.cols) b.setX(terminal_.cols - 1);
}

void TerminalCursorCommands::cmdCursorCharAbsolute(Params pars, Bytes)
{
    Buffer& b = *terminal_.buffer_;
    const int n = countParam(pars);
    // In origin mode with left/right margins the column counts from the left margin and stops
    // at the right one, so the cursor never leaves the line.
    if (terminal_.originMode && terminal_.marginMode)
        b.setX(std::min(addCapped(b.marginLeft(), n - 1, terminal_.cols - 1), b.marginRight()));
    else
        b.setX(std::min(n - 1, terminal_.cols - 1));
}

void TerminalCursorCommands::cmdCursorPosition(Params pars, Bytes)
{
    setCursor(pars.size() > 1 ? countParam(pars, 1) - 1 : 0, countParam(pars) - 1);
}

void TerminalCursorCommands::cmdCharPosAbsolute(Params pars, Bytes collect)
{
    // HPA is CHA by another name, origin mode included.
    cmdCursorCharAbsolute(pars, collect);
}

void TerminalCursorCommands::cmdHPositionRelative(Params pars, Bytes)
{
    Buffer& b = *terminal_.buffer_;
    b.settleWrap();
    b.setX(addCapped(b.x(), countParam(pars), terminal_.cols - 1));
}

void TerminalCursorCommands::cmdLinePosAbsolute(Params pars, Bytes)
{
    Buffer& b = *terminal_.buffer_;
    const int n = countParam(pars);
    // In origin mode the row counts from the top margin and stops at the bottom one, as for CUP.
    if (terminal_.originMode)
        b.setY(std::min(addCapped(b.scrollTop(), n - 1, terminal_.rows - 1), b.scrollBottom()));
    else
        b.setY(std::min(n - 1, terminal_.rows - 1));
}

void TerminalCursorCommands::cmdVPositionRelative(Params pars, Bytes)
{
    Buffer& b = *terminal_.buffer_;
    b.setY(addCapped(b.y(), countParam(pars), terminal_.rows - 1));
    if (b.x() >= terminal_.cols) b.setX(terminal_.cols - 1);
}

void TerminalCursorCommands::cmdHVPosition(Params pars, Bytes)
{
    Buffer& b = *terminal_.buffer_;
    const int row = countParam(pars) - 1;
    const int col = pars.size() > 1 ? countParam(pars, 1) - 1 : 0;
    b.setY(addCapped(row, terminal_.originMode ? b.scrollTop() : 0, terminal_.rows - 1));
    b.setX(addCapped(col, terminal_.originMode && terminal_.marginMode ? b.marginLeft() : 0, terminal_.cols - 1));
}

void TerminalCursorCommands::cmdTabClear(Params pars, Bytes)
{
    Buffer& b = *terminal_.buffer_;
    const int p = pars.empty() ? 0 : pars[0];
    if (p == 0)
        b.tabClear(b.x());
    else if (p == 3)
        std::fill(b.tabStops.begin(), b.tabStops.end(), false);
}

// ---- Index and scrolling ----------------------------------------------------------------------

void TerminalCursorCommands::cmdIndex()
{
    restrictCursor(true);
    Buffer& b = *terminal_.buffer_;
    // Only the bottom margin scrolls (with left/right margins, only between them); below the
    // region the cursor moves down to the last row and stops there.
    if (b.y() == b.scrollBottom()) {
        if (!terminal_.marginMode || (b.x() >= b.marginLeft() && b.x() <= b.marginRight())) terminal_.scroll(false);
    } else if (b.y() < terminal_.rows - 1) {
        b.setY(b.y() + 1);
    }
}

void TerminalCursorCommands::reverseIndex()
{
    restrictCursor(true);
    Buffer& b = *terminal_.buffer_;
    if (b.y() != b.scrollTop()) {
        if (b.y() > 0) b.setY(b.y() - 1);
        return;
    }
    // At the top of the region: cursors left of the left margin and right of the right one stay.
    if (terminal_.marginMode && (b.x() < b.marginLeft() || b.x() > b.marginRight())) return;

    auto& lines = b.lines();
    const int topRow = b.yBase() + b.y();
    const int bottomRow = b.yBase() + b.scrollBottom();
    const auto alternate = [this] { return std::string(terminal_.isCurrentBufferAlternate() ? "true" : "false"); };
    if (topRow >= lines.count()) {
        log::write(log::Category::engine, log::Level::warning,
                   "reverseIndex: start index " + std::to_string(topRow) + " >= lines.count "
                       + std::to_string(lines.count()) + ", state: y=" + std::to_string(b.y())
                       + " yBase=" + std::to_string(b.yBase()) + " scrollTop=" + std::to_string(b.scrollTop())
                       + " scrollBottom=" + std::to_string(b.scrollBottom()) + " isAlternate=" + alternate());
        return;
    }
    const Attribute erase = terminal_.eraseAttribute();
    const bool columnRestricted = terminal_.marginMode && (b.marginLeft() >= 1 || b.marginRight() < terminal_.cols - 1);
    if (columnRestricted) {
        const int left = b.marginLeft(), right = b.marginRight();
        for (int row = bottomRow; row > topRow; row--) {
            BufferLine& line = lines[row];
            BufferLine& above = lines[row - 1];
            const int len = std::min({right + 1, line.count(), above.count()}) - left;
            if (len > 0) line.copyFrom(above, left, left, len);
            b.clearImagesFromLine(row);
        }
        BufferLine& top = lines[topRow];
        CharData blank = CharData::Null;
        blank.attribute = erase;
        top.replaceCells(left, right + 1, blank);
        top.setIsWrapped(false);
        top.setRenderMode(BufferLine::RenderLineMode::single);
        b.clearImagesFromLine(topRow);
        terminal_.selectionsInvalidateForColumnRestrictedScroll(topRow, bottomRow, left, right);
    } else {
        if (!lines.shiftElements(topRow, b.scrollBottom() - b.y(), 1)) {
            log::write(log::Category::engine, log::Level::warning,
                       "Assertion on reverseIndex, state was: y=" + std::to_string(b.y())
                           + " scrollTop=" + std::to_string(b.scrollTop()) + "  yDisp=" + std::to_string(b.yDisp())
                           + " linesTop=" + std::to_string(b.linesTop) + " isAlternate=" + alternate());
        }
        lines.set(topRow, b.getBlankLine(erase, false));
        terminal_.forEachSelection([&](TerminalSelection& s) { s.adjustForInPlaceScroll(topRow, bottomRow, -1); });
    }
    terminal_.updateRange(b.scrollTop());
    terminal_.updateRange(b.scrollBottom());
}

void TerminalCursorCommands::columnIndex(bool back)
{
    Buffer& b = *terminal_.buffer_;
    if (back) {
        b.settleWrap();
        if (b.x() == b.marginLeft())
            columnScroll(true, b.marginLeft());
        else
            cursorBackward(1);
    } else {
        // A pending wrap stands on the margin and scrolls there; a cursor beyond the margin
        // moves on towards the screen's edge.
        b.settleWrap();
        if (b.x() == (terminal_.marginMode ? b.marginRight() : terminal_.cols - 1))
            columnScroll(false, b.marginLeft());
        else if (b.x() < terminal_.cols)
            cursorForward(1);
    }
}

void TerminalCursorCommands::columnScroll(bool back, int at)
{
    Buffer& b = *terminal_.buffer_;
    if (b.y() < b.scrollTop() || b.y() > b.scrollBottom()) return;
    if (b.x() < b.marginLeft() || b.x() > b.marginRight()) return;
    const int right = terminal_.marginMode ? b.marginRight() : terminal_.cols - 1;
    if (at < 0 || at > right) return;

    CharData blank = CharData::Null;
    blank.code = ' ';
    // Forward index opens a cell in the current background, back index a plain one.
    if (!back) blank.attribute = terminal_.eraseAttribute();
    auto& lines = b.lines();
    for (int row = b.scrollTop(); row <= b.scrollBottom(); row++) {
        BufferLine& line = lines[b.yBase() + row];
        const int last = std::min(right, line.count() - 1);
        if (at > last) continue;
        if (back) {
            line.copyFrom(line, at, at + 1, last - at);
            line.set(at, blank);
        } else {
            line.copyFrom(line, at + 1, at, last - at);
            line.set(last, blank);
        }
    }
    terminal_.updateRange(b.scrollTop());
    terminal_.updateRange(b.scrollBottom());
}

// ---- Margins ----------------------------------------------------------------------------------

void TerminalCursorCommands::cmdSetScrollRegion(Params pars, Bytes collect)
{
    if (!collect.empty()) return;
    Buffer& b = *terminal_.buffer_;
    const int top = pars.empty() ? 0 : std::max(pars[0] - 1, 0);
    int bottom = terminal_.rows;
    if (pars.size() > 1 && pars[1] != 0 && pars[1] <= terminal_.rows) bottom = pars[1];
    bottom -= 1;
    // A region of one line or an upside-down one is ignored; the cursor still goes home.
    if (top < bottom) {
        b.setScrollTop(top);
        b.setScrollBottom(bottom);
    }
    setCursor(0, 0);
}

void TerminalCursorCommands::cmdSetMargins(Params pars, Bytes collect)
{
    if (!collect.empty()) return;
    Buffer& b = *terminal_.buffer_;
    const int left = pars.empty() ? 0 : std::max(pars[0] - 1, 0);
    const int right = pars.size() >= 2 ? std::min(std::max(pars[1] - 1, 0), terminal_.cols - 1) : terminal_.cols - 1;
    // A wrap pending at the old margin would not be at the new one.
    b.settleWrap();
    b.setMarginRight(right);
    b.setMarginLeft(std::min(left, right));
}

// ---- Saved cursor -----------------------------------------------------------------------------

void TerminalCursorCommands::cmdSaveCursor(Params, Bytes collect)
{
    if (!collect.empty()) return;
    Buffer& b = *terminal_.buffer_;
    b.savedX = b.x();
    b.savedY = b.y();
    b.savedWrapPending = b.wrapPending();
    b.savedAttr = terminal_.curAttr;
    b.savedCharset = terminal_.charset;
    b.savedWraparound = terminal_.wraparound;
    b.savedOriginMode = terminal_.originMode;
}

void TerminalCursorCommands::cmdRestoreCursor(Params, Bytes collect)
{
    if (!collect.empty()) return;
    Buffer& b = *terminal_.buffer_;
    b.setY(std::clamp(b.savedY, 0, terminal_.rows - 1));
    // A saved pending wrap comes back with its column; otherwise the column is clamped.
    if (b.savedWrapPending && b.savedX >= 1 && b.savedX <= terminal_.cols)
        b.setCursorColumn(b.savedX, true);
    else
        b.setX(std::clamp(b.savedX, 0, terminal_.cols - 1));
    terminal_.curAttr = b.savedAttr;
    terminal_.charset = b.savedCharset;
    terminal_.originMode = b.savedOriginMode;
    // Reverse wraparound and left/right margin mode are modes, not cursor state: they stay.
    terminal_.wraparound = terminal_.normalBuffer_->wraparound = terminal_.altBuffer_->wraparound = b.savedWraparound;
}

void TerminalCursorCommands::cmdSelectCharacterPath(Params pars, Bytes)
{
    switch (pars.empty() ? 0 : pars[0]) {
    case 0: terminal_.currentBidiState.fallbackDirection = terminal_.options.initialBidiState.fallbackDirection; break;
    case 1: terminal_.currentBidiState.fallbackDirection = BidiDirection::leftToRight; break;
    case 2: terminal_.currentBidiState.fallbackDirection = BidiDirection::rightToLeft; break;
    default: return;
    }
    terminal_.normalBuffer_->defaultBidiState = terminal_.currentBidiState;
    terminal_.altBuffer_->defaultBidiState = terminal_.currentBidiState;
    terminal_.applyCurrentBidiStateAtParagraphStart({Terminal::BidiStateProperty::fallbackDirection});
    terminal_.updateFullScreen();
}

} // namespace corvix
