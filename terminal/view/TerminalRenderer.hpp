#pragma once

#include "terminal/screen/BufferLine.hpp"
#include "terminal/screen/TerminalOptions.hpp"
#include "terminal/view/TerminalView.hpp"
#include "terminal/view/ViewLineInfo.hpp"

#include <QColor>
#include <QImage>
#include <QRect>
#include <QRectF>
#include <QSizeF>

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

namespace corvix {

// What one frame of the terminal view draws: plain values, built by the view from its terminal
// and read by every renderer. Coordinates are the view's (points, y down).

// A Kitty placeholder cell that shows a piece of an image: the cell at `col` reveals its part of
// the picture laid out in `target`.
struct RenderPlaceholder {
    int col = 0;
    uint32_t imageId = 0;
    // Where the whole picture goes: aspect-fitted into its placement's area.
    QRectF target;
};

// One screen row.
struct RenderRow {
    // The absolute buffer row (scroll-back included) and the y of its top edge.
    int row = 0;
    double top = 0;
    BufferLine::RenderLineMode mode = BufferLine::RenderLineMode::single;
    // Runs in screen order with their attributes, custom glyphs and the line's images.
    ViewLineInfo info;
    // The line's images by layer: Kitty ones with negative z below the text, other Kitty ones
    // above it, each in z order with ties by image id; the rest (Sixel, inline) as attached.
    std::vector<const TerminalView::AppleImage*> imagesBelow;
    std::vector<const TerminalView::AppleImage*> imagesAbove;
    std::vector<const TerminalView::AppleImage*> otherImages;
    // The placeholder cells of `info.kittyPlaceholders` that have a placement and a picture.
    std::vector<RenderPlaceholder> placeholders;
};

// The cursor, when it shows in the frame's rows.
struct RenderCursor {
    // The screen column (where a reordered row shows the cursor's cell) and the absolute row.
    int col = 0;
    int row = 0;
    int columnWidth = 1;
    CursorStyle style = CursorStyle::blinkBlock;
    QColor color;
    QColor textColor;
    // Without the focus the cursor shows as an outline of its cell.
    bool focused = true;
};

struct RenderFrame {
    // The part of the view to draw, and the buffer row shown at the top.
    QRect dirtyRect;
    int bufferOffset = 0;
    int cols = 0;
    // A background reaching the last column runs on to this edge.
    int viewWidth = 0;
    QSizeF cellSize;
    double devicePixelRatio = 1;
    // The view's default colours: the background under everything, the text colour where a run
    // has none.
    QColor foreground;
    QColor background;
    bool fontSmoothing = true;
    bool antiAliasCustomBlockGlyphs = false;
    // The rows the dirty rectangle touches, top to bottom.
    std::vector<RenderRow> rows;
    std::optional<RenderCursor> cursor;
    // The pictures the placeholders show, by Kitty image id, decoded for this frame.
    std::unordered_map<uint32_t, QImage> placeholderImages;
};

// Draws frames of the terminal view. The view builds the frame; a renderer owns only how it is
// put on screen.
class TerminalRenderer {
public:
    virtual ~TerminalRenderer() = default;
    virtual void drawFrame(const RenderFrame& frame) = 0;
};

} // namespace corvix
