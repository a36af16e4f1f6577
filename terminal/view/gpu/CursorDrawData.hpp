#pragma once

// The cursor as GPU records, rebuilt at every draw-data pass and drawn after all rows: quads in
// the caret colour, and under a focused block the cell's glyph in the caret's text colour.
// Drawable pixels, origin bottom-left, y up.

#include "terminal/view/gpu/GpuRecords.hpp"

#include <vector>

namespace corvix {

class GlyphAtlas;
class GlyphEntries;
class ShaperCache;
class TerminalView;

struct CursorDrawData {
    std::vector<ColorVertex> colorVertices;
    std::vector<GlyphVertex> glyphVerticesGray;
    std::vector<GlyphVertex> glyphVerticesColor;
};

// What the pass knows of the frame the cursor goes into.
struct CursorFrame {
    double scale = 1; // drawable pixels per point
    double cellWidth = 0;
    double cellHeight = 0;
    // The normal face's descent and leading: the baseline lies ceil(descent + leading) above a
    // cell's bottom edge.
    double lineDescent = 0;
    double lineLeading = 0;
    // The buffer row shown at the top, and the visible buffer rows.
    int yDisp = 0;
    int firstRow = 0;
    int lastRow = -1;
    // The blink phase: a blinking cursor shows only while this is on.
    bool blinkOn = true;
};

// The cursor of `view`'s terminal in its style, hollow when the view lacks the focus. It stands
// where its cell is shown: on a reordered row, at the cell's visual column. A block shows the
// cursor cell's own character, from the font, or for a solid Powerline separator (with custom
// block glyphs on) the drawn shape; the glyphs go into the atlases through `entries`, whose
// grayscale and colour atlases are `grayscale` and `color`.
CursorDrawData buildCursorDrawData(TerminalView& view, GlyphEntries& entries, ShaperCache& shaper,
                                   const GlyphAtlas& grayscale, const GlyphAtlas& color, const CursorFrame& frame);

} // namespace corvix
