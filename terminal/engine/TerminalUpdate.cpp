// Dirty-row bookkeeping for the view, and the two size changes that come from outside.
#include "terminal/engine/Terminal.hpp"

#include <algorithm>

namespace corvix {

void Terminal::updateFullScreen()
{
    markAllRows(rows, buffer_->yDisp());
}

void Terminal::refresh(int startRow, int endRow)
{
    updateRange(startRow);
    updateRange(endRow);
}

std::optional<std::pair<int, int>> Terminal::getUpdateRange() const
{
    if (refreshStart == INT_MAX && refreshEnd == -1) return std::nullopt;
    return std::pair{refreshStart, std::min(refreshEnd, rows)};
}

void Terminal::resize(int newCols, int newRows)
{
    newCols = std::max(newCols, MINIMUM_COLS);
    newRows = std::max(newRows, MINIMUM_ROWS);
    if (newCols == cols && newRows == rows) return;
    synchronizedOutput_.end();
    int oldCols = cols;
    resizeBuffers(newCols, newRows);
    cols = newCols;
    rows = newRows;
    options.cols = newCols;
    options.rows = newRows;
    normalBuffer_->setupTabStops(oldCols, tabStopWidth);
    altBuffer_->setupTabStops(oldCols, tabStopWidth);
    updateRange(0);
    updateRange(rows - 1);
}

void Terminal::changeScrollback(std::optional<int64_t> scrollback)
{
    normalBuffer_->changeHistorySize(scrollback);
    options.scrollback = scrollback.value_or(0);
    updateRange(0);
    updateRange(rows - 1);
}

void Terminal::scrollTo(int row)
{
    int top = std::clamp(row, 0, buffer_->yBase());
    if (top == buffer_->yDisp()) return;
    buffer_->setYDisp(top);
    updateFullScreen();
    if (tdel) tdel->scrolled(*this, top);
}

} // namespace corvix
