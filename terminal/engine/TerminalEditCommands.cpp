// Insert, delete and scroll: ICH, DCH, IL, DL, SU, SD, DECIC, DECDC and REP.
#include "terminal/engine/Terminal.hpp"
#include "terminal/engine/TerminalEditCommands.hpp"


#include <algorithm>
#include <cstdint>
#include <numeric>
#include <string>

namespace corvix {

namespace {

using LinePtr = CircularBufferLineList::LinePtr;

// The count of a command: 0, a negative value and a missing parameter all mean 1.
int countOf(Terminal::Params pars)
{
    return pars.empty() || pars[0] < 1 ? 1 : pars[0];
}

// Whether cells pos...right can be shifted inside `line` (pos and right come from the cursor and
// the margins; a line is never shorter than the screen, but a bad value must not reach memory).
bool shiftable(const BufferLine& line, int pos, int right)
{
    return pos >= 0 && pos <= right && right < line.count();
}

bool marginsUsable(const Buffer& b)
{
    return b.marginLeft() >= 0 && b.marginLeft() <= b.marginRight() && b.marginRight() < b.cols();
}

// Moves the lines top...bottom (ring indices) by `count` rows, down or up inside that block; the
// rows it vacates become blank lines of `fill` cells (not wrapped, the buffer's default bidi
// state).
// The block is rotated in place, so the lines pushed out of it land on the vacated rows and are
// cleared there: a scroll inside a region allocates nothing unless someone else holds a line.
// `count` is at most the block's height.
void shiftLines(Buffer& b, int top, int bottom, int count, bool down, const CharData& fill)
{
    auto& lines = b.lines();
    const int height = bottom - top + 1;
    const int blankStart = down ? top : bottom - count + 1;
    for (int i = 0; i < count; i++) b.clearImagesFromLine(down ? bottom - i : top + i);

    // Rotate left by `shift`: the line at top + (i + shift) % height moves to top + i.
    const int shift = down ? height - count : count;
    if (shift % height != 0) {
        const int cycles = std::gcd(height, shift);
        for (int start = 0; start < cycles; start++) {
            LinePtr held = lines.getLine(top + start);
            int j = start;
            while (true) {
                int from = (j + shift) % height;
                if (from == start) break;
                lines.set(top + j, lines.getLine(top + from));
                j = from;
            }
            lines.set(top + j, std::move(held));
        }
    }

    for (int row = blankStart; row < blankStart + count; row++) {
        const LinePtr& line = lines.getLine(row);
        if (line.use_count() == 1 && line->count() == b.cols()) {
            line->fill(fill);
            line->setIsWrapped(false);
            line->setBidiState(b.defaultBidiState);
            line->setRenderMode(BufferLine::RenderLineMode::single);
        } else {
            lines.set(row, b.getBlankLine(fill.attribute, false));
        }
    }
}

// The margin-restricted form: only columns left...right of lines top...bottom move; the vacated
// cells become `blank`.
void shiftColumns(Buffer& b, int top, int bottom, int count, bool down, const CharData& blank)
{
    auto& lines = b.lines();
    const int left = b.marginLeft();
    const int right = b.marginRight();
    const int len = right - left + 1;
    if (down) {
        for (int r = bottom; r >= top + count; r--) lines[r].copyFrom(lines[r - count], left, left, len);
        for (int r = top; r < top + count; r++) lines[r].replaceCells(left, right + 1, blank);
    } else {
        for (int r = top; r + count <= bottom; r++) lines[r].copyFrom(lines[r + count], left, left, len);
        for (int r = bottom - count + 1; r <= bottom; r++) lines[r].replaceCells(left, right + 1, blank);
    }
}

} // namespace

void TerminalEditCommands::cmdInsertChars(Params pars, Bytes)
{
    Buffer& b = *terminal_.buffer_;
    const int x = b.x();
    if (terminal_.marginMode && (x < b.marginLeft() || x > b.marginRight())) return;
    const int right = terminal_.marginMode ? b.marginRight() : terminal_.cols - 1;
    // The pending-wrap column inserts at the start of the line.
    const int pos = x % (right + 1);
    BufferLine& line = b.lines()[b.yBase() + b.y()];
    if (!shiftable(line, pos, right)) return;
    line.insertCells(pos, countOf(pars), right, terminal_.makeCharData(terminal_.eraseAttribute(), 0, 1));
    terminal_.updateRange(b.y());
}

void TerminalEditCommands::cmdDeleteChars(Params pars, Bytes)
{
    Buffer& b = *terminal_.buffer_;
    const int x = b.x();
    int n = countOf(pars);
    if (terminal_.marginMode) {
        if (x < b.marginLeft() || x > b.marginRight()) return;
        n = std::min(n, b.marginRight() - x + 1);
    }
    if (x == b.cols()) return;
    const int right = terminal_.marginMode ? b.marginRight() : terminal_.cols - 1;
    BufferLine& line = b.lines()[b.yBase() + b.y()];
    if (!shiftable(line, x, right)) return;
    line.deleteCells(x, n, right, terminal_.makeCharData(terminal_.eraseAttribute(), 0, 1));
    terminal_.updateRange(b.y());
}

// IL and DL differ only in direction: the lines from the cursor row to the region's bottom move
// down (insert) or up (delete) by the count, capped at the region height, and the lines opened up
// are blank. With left/right margins only the columns between them move.
void TerminalEditCommands::shiftLinesAtCursor(int count, bool insert)
{
    Buffer& b = *terminal_.buffer_;
    const int row = b.yBase() + b.y();
    const int bottom = b.yBase() + b.scrollBottom();
    // More lines than the region holds blank it all; counting on changes nothing.
    const int n = std::min(count, bottom - row + 1);
    const CharData erase = terminal_.makeCharData(terminal_.eraseAttribute(), 0, 1);

    if (terminal_.marginMode) {
        const int x = b.x();
        if (marginsUsable(b) && x >= b.marginLeft() && x <= b.marginRight()) {
            shiftColumns(b, row, bottom, n, insert, erase);
            terminal_.selectionsInvalidateForColumnRestrictedScroll(row, bottom, b.marginLeft(), b.marginRight());
        }
    } else if (bottom < b.lines().count()) {
        shiftLines(b, row, bottom, n, insert, erase);
        terminal_.forEachSelection(
            [&](TerminalSelection& s) { s.adjustForInPlaceScroll(row, bottom, insert ? -n : n); });
        const bool linesMovedDown = insert && row + n <= bottom;
        hardenBidiLineShiftBoundaries(row, linesMovedDown ? std::optional<int>(row + n) : std::nullopt, bottom);
    }
}

void TerminalEditCommands::markLineShiftDirty(int y)
{
    Buffer& b = *terminal_.buffer_;
    terminal_.updateRange(y);
    terminal_.updateRange(b.scrollBottom());
    if (b.scrollTop() != 0 || b.scrollBottom() != terminal_.rows - 1) {
        terminal_.updateRange(b.scrollTop());
        terminal_.updateRange(b.scrollBottom());
    }
}

void TerminalEditCommands::cmdInsertLines(Params pars, Bytes)
{
    const int y = terminal_.buffer_->y();
    if (y < terminal_.buffer_->scrollTop() || y > terminal_.buffer_->scrollBottom()) return;
    shiftLinesAtCursor(countOf(pars), true);
    markLineShiftDirty(y);
}

void TerminalEditCommands::cmdDeleteLines(Params pars, Bytes)
{
    terminal_.cursorCommands_.restrictCursor(true);
    const Buffer& b = *terminal_.buffer_;
    const int y = b.y();
    if (y >= b.scrollTop() && y <= b.scrollBottom()) shiftLinesAtCursor(countOf(pars), false);
    markLineShiftDirty(y);
}

// SU and SD differ only in direction: the whole region moves up or down by the count, capped at
// the region height; scrolled-in lines take the plain attribute, not the current background.
void TerminalEditCommands::scrollRegion(int count, bool down)
{
    Buffer& b = *terminal_.buffer_;
    const int top = b.yBase() + b.scrollTop();
    const int bottom = b.yBase() + b.scrollBottom();
    if (top > bottom || bottom >= b.lines().count()) return;
    const int n = std::min(count, bottom - top + 1);

    if (terminal_.marginMode) {
        if (marginsUsable(b)) {
            shiftColumns(b, top, bottom, n, down, CharData::Null);
            terminal_.selectionsInvalidateForColumnRestrictedScroll(top, bottom, b.marginLeft(), b.marginRight());
        }
    } else {
        shiftLines(b, top, bottom, n, down, CharData::Null);
        terminal_.forEachSelection([&](TerminalSelection& s) { s.adjustForInPlaceScroll(top, bottom, down ? -n : n); });
    }
    hardenBidiScrollBoundaries(down, n);
    terminal_.updateRange(b.scrollTop());
    terminal_.updateRange(b.scrollBottom());
}

void TerminalEditCommands::cmdScrollUp(Params pars, Bytes)
{
    scrollRegion(countOf(pars), false);
}

void TerminalEditCommands::cmdScrollDown(Params pars)
{
    scrollRegion(countOf(pars), true);
}

void TerminalEditCommands::cmdRepeatPrecedingCharacter(Params pars, Bytes)
{
    Buffer& b = *terminal_.buffer_;
    const int64_t cap = int64_t(2) * terminal_.cols * terminal_.rows;
    const int n = int(std::min<int64_t>(countOf(pars), cap));

    // What the screen holds left of the cursor, with its own attribute. Without autowrap a
    // character printed on the right margin leaves the cursor on it: then that cell is the one.
    CharData cell = CharData::Null;
    const auto& last = b.lastBufferStorage;
    const bool onPrintedMargin = !terminal_.wraparound && terminal_.printer_.lastPrintedCellValid() &&
                                 last.y == b.yBase() + b.y() && last.x == b.x() &&
                                 b.x() == (terminal_.marginMode ? b.marginRight() : terminal_.cols - 1);
    const int x = onPrintedMargin ? b.x() + 1 : b.x();
    if (x > 0) {
        BufferLine& line = b.lines()[b.yBase() + b.y()];
        if (line.count() > 0) {
            cell = line[x - 1];
            if (cell.width == 0) {
                // The right half of a wide character: repeat the whole character. A lone right
                // half repeats as an empty cell; a width-0 cell cannot be printed.
                if (x >= 2 && line[x - 2].width == 2)
                    cell = line[x - 2];
                else
                    cell.width = 1;
            }
        }
    }

    terminal_.updateRange(b.y());
    for (int i = 0; i < n; i++) b.insertCharacter(cell, terminal_.curAttr.bg);
    terminal_.updateRange(b.y());
}

void TerminalEditCommands::cmdDeleteColumns(Params pars, Bytes)
{
    Buffer& b = *terminal_.buffer_;
    const int x = b.x();
    if (b.y() < b.scrollTop() || b.y() > b.scrollBottom() || x == b.cols()) return;
    if (terminal_.marginMode && (x < b.marginLeft() || x > b.marginRight())) return;
    const int right = terminal_.marginMode ? b.marginRight() : terminal_.cols - 1;
    const int n = countOf(pars);
    const CharData blank = terminal_.makeCharData(terminal_.eraseAttribute(), 0x20, 1);
    auto& lines = b.lines();
    for (int r = b.scrollTop(); r <= b.scrollBottom(); r++) {
        BufferLine& line = lines[b.yBase() + r];
        if (!shiftable(line, x, right)) continue;
        line.deleteCells(x, n, right, blank);
        line.setIsWrapped(false);
    }
    terminal_.updateRange(b.scrollTop());
    terminal_.updateRange(b.scrollBottom());
}

void TerminalEditCommands::csiCloseBrace(Params pars, Bytes collect)
{
    if (!(collect.size() == 1 && collect[0] == '\'')) {
        terminal_.logInfo("CSI # } not implemented- XTPOPSGR with " + EngineDiagnostics::decimalList(pars));
        return;
    }
    // DECIC: blank columns at the cursor column in every row of the scroll region.
    Buffer& b = *terminal_.buffer_;
    const int x = b.x();
    if ((terminal_.marginMode && x < b.marginLeft()) || x > b.marginRight()) return;
    const int right = terminal_.marginMode ? b.marginRight() : terminal_.cols - 1;
    const int pos = x % (right + 1);
    const int n = countOf(pars);
    // The same blank as DECDC: a space in the current background (a default-inverted background
    // would paint solid bands).
    const CharData blank = terminal_.makeCharData(terminal_.eraseAttribute(), 0x20, 1);
    auto& lines = b.lines();
    for (int r = b.scrollTop(); r <= b.scrollBottom(); r++) {
        BufferLine& line = lines[b.yBase() + r];
        if (!shiftable(line, pos, right)) continue;
        line.insertCells(pos, n, right, blank);
        line.setIsWrapped(false);
    }
}

void TerminalEditCommands::hardenBidiScrollBoundaries(bool insertedAtTop, int count)
{
    Buffer& b = *terminal_.buffer_;
    auto& lines = b.lines();
    const int top = b.yBase() + b.scrollTop();
    const int bottom = b.yBase() + b.scrollBottom();
    auto unwrap = [&](int index) {
        if (index >= 0 && index < lines.count()) lines[index].setIsWrapped(false);
    };
    unwrap(top);
    if (insertedAtTop && count < bottom - top + 1) unwrap(top + count);
    unwrap(bottom + 1);
}

void TerminalEditCommands::hardenBidiLineShiftBoundaries(int firstChangedRow, std::optional<int> firstMovedRow,
                                                         int lastChangedRow)
{
    auto& lines = terminal_.buffer_->lines();
    auto unwrap = [&](int index) {
        if (index >= 0 && index < lines.count()) lines[index].setIsWrapped(false);
    };
    unwrap(firstChangedRow);
    if (firstMovedRow) unwrap(*firstMovedRow);
    unwrap(lastChangedRow + 1);
}

} // namespace corvix
