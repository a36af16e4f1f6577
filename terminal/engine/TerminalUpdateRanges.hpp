#pragma once

#include <algorithm>
#include <climits>
#include <optional>
#include <utility>

namespace corvix {

// The rows changed since the view last took them: screen rows, and rows counted from the first
// line ever kept (which stay put while the screen scrolls). Empty while start > end.
struct TerminalUpdateRanges {
    int refreshStart = INT_MAX;
    int refreshEnd = -1;
    int scrollInvariantRefreshStart = INT_MAX;
    int scrollInvariantRefreshEnd = -1;

    std::optional<std::pair<int, int>> getScrollInvariantUpdateRange() const
    {
        if (scrollInvariantRefreshStart == INT_MAX && scrollInvariantRefreshEnd == -1) return std::nullopt;
        return std::pair{scrollInvariantRefreshStart, scrollInvariantRefreshEnd};
    }
    void clearUpdateRange()
    {
        *this = TerminalUpdateRanges{};
    }

protected:
    // Screen row `row` with the viewport's top at `yDisp`. The scroll-invariant range widens too
    // unless `scrolling`. Inline: the print path marks a row for every run.
    void markRow(int row, int yDisp, bool scrolling)
    {
        if (!scrolling) {
            // Text arrives a piece at a time on one row: once the row is in both ranges it stays
            // there until they are cleared.
            if (row == lastMarkedRow_ && yDisp == lastMarkedYDisp_) return;
            lastMarkedRow_ = row;
            lastMarkedYDisp_ = yDisp;
            const int invariantRow = row + yDisp;
            if (invariantRow >= 0) {
                scrollInvariantRefreshStart = std::min(scrollInvariantRefreshStart, invariantRow);
                scrollInvariantRefreshEnd = std::max(scrollInvariantRefreshEnd, invariantRow);
            }
        }
        if (row >= 0) {
            refreshStart = std::min(refreshStart, row);
            refreshEnd = std::max(refreshEnd, row);
        }
    }
    // Every row of a screen `rows` high; the end is one past the last row.
    void markAllRows(int rows, int yDisp)
    {
        refreshStart = 0;
        refreshEnd = rows;
        scrollInvariantRefreshStart = yDisp;
        scrollInvariantRefreshEnd = yDisp + rows;
        lastMarkedRow_ = INT_MIN;
    }

private:
    // The last row (with its viewport top) that markRow put in both ranges since they were
    // last set.
    int lastMarkedRow_ = INT_MIN;
    int lastMarkedYDisp_ = INT_MIN;
};

} // namespace corvix
