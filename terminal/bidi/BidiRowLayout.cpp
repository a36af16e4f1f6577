#include "terminal/bidi/BidiRowLayout.hpp"

#include <algorithm>

namespace corvix {

BidiRowLayout::BidiRowLayout(int cols, BidiDirection base, uint64_t revision)
    : logicalToVisualCol(size_t(std::max(cols, 0)), 0)
    , visualToLogicalCol(size_t(std::max(cols, 0)), 0)
    , baseDirection(base)
    , paragraphRevision(revision)
{
}

int BidiRowLayout::append(int visualCol, BidiCell cell)
{
    const int cols = int(logicalToVisualCol.size());
    for (int j = 0; j < cell.width; ++j) {
        const int logical = cell.logicalCol + j;
        const int visual = visualCol + j;
        if (logical < 0 || logical >= cols || visual < 0 || visual >= cols) continue;
        logicalToVisualCol[size_t(logical)] = visual;
        visualToLogicalCol[size_t(visual)] = logical;
    }
    const int next = visualCol + cell.width;
    visualCells.push_back(std::move(cell));
    return next;
}

} // namespace corvix
