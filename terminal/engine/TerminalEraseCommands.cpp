// Erase in display, erase in line, erase characters, and the whole-row reset they share.
#include "terminal/engine/Terminal.hpp"
#include "terminal/engine/TerminalEditCommands.hpp"

#include <algorithm>
#include <climits>

namespace corvix {

namespace {

// The cell every erase leaves: nothing written, only the current background kept.
CharData eraseCell(const Attribute& erase)
{
    CharData cell = CharData::Null;
    cell.attribute = erase;
    return cell;
}

} // namespace

void TerminalEditCommands::resetBufferLine(int y, bool clearImages, std::optional<BidiPresentationState> bidiState)
{
    Buffer& b = *terminal_.buffer_;
    const int row = b.yBase() + y;
    BufferLine& line = b.lines()[row];
    if (clearImages) b.clearImagesFromLine(row);
    line.replaceCells(0, terminal_.cols, eraseCell(terminal_.eraseAttribute()));
    line.setIsWrapped(false);
    line.setRenderMode(BufferLine::RenderLineMode::single);
    if (bidiState) line.setBidiState(*bidiState);
    terminal_.updateRange(y);
}

void TerminalEditCommands::cmdEraseInDisplay(Params pars, Bytes)
{
    Buffer& b = *terminal_.buffer_;
    auto& lines = b.lines();
    const int x = b.x();
    const int y = b.y();
    switch (pars.empty() ? 0 : pars[0]) {
    case 0: {
        terminal_.updateRange(y);
        BufferLine& line = lines[b.yBase() + y];
        line.replaceCells(x, terminal_.cols, eraseCell(terminal_.eraseAttribute()));
        // Erased from its first cell, the row no longer continues the one above.
        if (x == 0) line.setIsWrapped(false);
        int last = y;
        for (int row = y + 1; row < terminal_.rows; row++) {
            resetBufferLine(row, false, terminal_.currentBidiState);
            last = row;
        }
        terminal_.updateRange(last);
        break;
    }
    case 1: {
        terminal_.updateRange(y);
        BufferLine& line = lines[b.yBase() + y];
        line.replaceCells(0, x + 1, eraseCell(terminal_.eraseAttribute()));
        line.setIsWrapped(false);
        // The row's last cell is gone, so the next row no longer continues it.
        if (x + 1 >= terminal_.cols && y + 1 < terminal_.rows) lines[b.yBase() + y + 1].setIsWrapped(false);
        for (int row = y - 1; row >= 0; row--) resetBufferLine(row, false, terminal_.currentBidiState);
        terminal_.updateRange(0);
        break;
    }
    case 2:
        terminal_.updateRange(terminal_.rows - 1);
        for (int row = terminal_.rows - 1; row >= 0; row--) resetBufferLine(row, true, terminal_.currentBidiState);
        terminal_.kittyImages_.clearAllKittyImages();
        terminal_.updateRange(0);
        break;
    case 3: {
        // Drops the scroll-back. `linesTop` counts the dropped lines, so rows numbered from the
        // first line ever kept keep naming the same lines.
        const int n = lines.count() - terminal_.rows;
        if (n < 1) break;
        // The dropped lines go now, and with them their images and their memory.
        for (int row = 0; row < n && b.hasAnyImages(); row++) b.clearImagesFromLine(row);
        for (int row = 0; row < n; row++) lines.set(row, nullptr);
        b.scrollbackCells().trim();
        lines.setStartIndex(lines.startIndex() + n);
        lines.setCount(terminal_.rows);
        b.linesTop += n;
        b.setYBase(std::max(b.yBase() - n, 0));
        b.setYDisp(std::max(b.yDisp() - n, 0));
        if (b.hasAnyImages()) b.recalculateLinesWithImagesCount();
        break;
    }
    default: break;
    }
}

void TerminalEditCommands::cmdEraseInLine(Params pars, Bytes)
{
    Buffer& b = *terminal_.buffer_;
    BufferLine& line = b.lines()[b.yBase() + b.y()];
    const int x = b.x();
    switch (pars.empty() ? 0 : pars[0]) {
    case 0: line.replaceCells(x, terminal_.cols, eraseCell(terminal_.eraseAttribute())); break;
    case 1: line.replaceCells(0, x + 1, eraseCell(terminal_.eraseAttribute())); break;
    case 2: line.replaceCells(0, terminal_.cols, eraseCell(terminal_.eraseAttribute())); break;
    default: break;
    }
    terminal_.updateRange(b.y());
}

void TerminalEditCommands::cmdEraseChars(Params pars, Bytes)
{
    Buffer& b = *terminal_.buffer_;
    const int n = !pars.empty() && pars[0] >= 1 ? pars[0] : 1;
    // The line clamps the end to its own cells.
    const int end = int(std::min<int64_t>(int64_t(b.x()) + n, INT_MAX));
    b.lines()[b.yBase() + b.y()].replaceCells(b.x(), end, eraseCell(terminal_.eraseAttribute()));
}

} // namespace corvix
