#pragma once

// One screen row as GPU records: backgrounds, custom and text glyphs, decorations and image
// quads, placed on the pixel grid from the view's render payload.

#include "terminal/view/TerminalRenderer.hpp"
#include "terminal/view/gpu/GlyphEntries.hpp"
#include "terminal/view/gpu/GpuImageTextures.hpp"
#include "terminal/view/gpu/GpuRecords.hpp"
#include "terminal/view/gpu/TextShaper.hpp"

#include <vector>

namespace corvix {

class TerminalView;

// A row's records: the lists of a frame's, which aggregated drawing appends row by row.
using RowDrawData = FrameDrawData;

// Where a row lies in the drawable. The view's payload is in points, y down; records are drawable
// pixels, y up from the bottom edge. This is the one place that turns one into the other.
struct RowPlacement {
    double boundsHeight = 0; // the view's height in points
    double cellWidth = 0;
    double cellHeight = 0;
    double scale = 1; // drawable pixels per point
    // The row's bottom and top edges in y-up points, from its top edge in y-down points.
    double rowBottom = 0;
    double rowTop = 0;

    RowPlacement(double boundsHeight, QSizeF cellSize, double scale, double rowTopDown);
    // A y-down rectangle in points as a y-up one (QRectF's top is then its lower edge).
    QRectF up(const QRectF& down) const;
};

// Builds the records of the view's rows with the renderer's caches: shaped text, glyph and custom
// glyph entries, image textures. Keeps nothing of its own between rows. GUI thread only.
class RowDrawBuilder {
public:
    RowDrawBuilder(TerminalView& view, GlyphEntries& glyphs, const GlyphAtlas& grayscaleAtlas,
                   const GlyphAtlas& colorAtlas, ShaperCache& shaper, GpuImageTextures& images);

    // Buffer line `row` shown with buffer line `yDisp` at the top, at `scale` drawable pixels per
    // point; nothing for a row the buffer does not have.
    RowDrawData build(int row, int yDisp, double scale);
    // One row of a frame of the view's render payload.
    RowDrawData build(const RenderRow& row, const RenderFrame& frame, double scale);

private:
    TerminalView& view;
    GlyphEntries& glyphs;
    const GlyphAtlas& grayscaleAtlas;
    const GlyphAtlas& colorAtlas;
    ShaperCache& shaper;
    GpuImageTextures& images;
};

} // namespace corvix
