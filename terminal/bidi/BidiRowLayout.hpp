#pragma once

#include "terminal/screen/BidiPresentationState.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvix {

// One cell of a row in visual order.
struct BidiCell {
    // Column of the cell's first half in the stored (logical) line.
    int logicalCol = 0;
    int width = 1;
    // Drawn instead of the stored character: a presentation form, a ligature, a mirrored
    // character or a blank. None: draw the stored character.
    std::optional<std::u32string> display;

    friend bool operator==(const BidiCell&, const BidiCell&) = default;
};

// The visual order of one row: what the drawing paths draw and what the cursor and the mouse
// map columns with.
struct BidiRowLayout {
    // From the left edge to the right edge.
    std::vector<BidiCell> visualCells;
    // Exactly `cols` entries each; entries never written stay 0.
    std::vector<int> logicalToVisualCol;
    std::vector<int> visualToLogicalCol;
    BidiDirection baseDirection = BidiDirection::leftToRight;
    // Changes whenever the row's layout may change (callers compare it to reuse drawing work).
    uint64_t paragraphRevision = 0;

    BidiRowLayout() = default;
    // An empty layout of `cols` columns: no cells, both maps all 0.
    BidiRowLayout(int cols, BidiDirection base, uint64_t revision);

    // Appends `cell` at visual column `visualCol` and records both maps for each of its
    // columns (columns outside 0..<cols are left out); returns the next visual column. A wide
    // cell keeps its halves in left-to-right order.
    int append(int visualCol, BidiCell cell);
};

} // namespace corvix
