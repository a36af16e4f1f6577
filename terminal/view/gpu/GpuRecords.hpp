#pragma once

// The records every producer of draw data writes, copied byte for byte into GL buffers.
// Positions and sizes are drawable pixels from the bottom-left corner, y growing upwards;
// texture coordinates are normalised; colours are straight RGBA.

#include "terminal/view/gpu/GpuGl.hpp"

#include <optional>
#include <vector>

class QColor;

namespace corvix {

// One rectangle, six vertices in the cell colour program.
struct ColorCell {
    GpuFloat2 position;
    GpuFloat2 size;
    GpuFloat4 color;
};

// One glyph quad; `texOrigin` is the texture coordinate at `position`.
struct TextCell {
    GpuFloat2 position;
    GpuFloat2 size;
    GpuFloat2 texOrigin;
    GpuFloat2 texSize;
    GpuFloat4 color;
};

struct ColorVertex {
    GpuFloat2 position;
    GpuFloat2 padding;
    GpuFloat4 color;
};

struct GlyphVertex {
    GpuFloat2 position;
    GpuFloat2 texCoord;
    GpuFloat4 color;
};

static_assert(sizeof(ColorCell) == 32 && sizeof(TextCell) == 48 && sizeof(ColorVertex) == 32 &&
              sizeof(GlyphVertex) == 32);

struct ImageDraw {
    GpuObjectRef texture;
    std::vector<GlyphVertex> vertices; // six per image quad
};

struct ImageDrawBuffer {
    GpuObjectRef texture;
    GpuObjectRef buffer;
    int vertexCount = 0;
};

// One cached row's GL data when rows keep their buffers between frames.
struct RowDrawBuffers {
    GpuObjectRef backgroundBuffer;
    int backgroundCount = 0;
    GpuObjectRef powerlineJoinBuffer;
    int powerlineJoinCount = 0;
    GpuObjectRef glyphGrayBuffer;
    int glyphGrayCount = 0;
    GpuObjectRef glyphColorBuffer;
    int glyphColorCount = 0;
    GpuObjectRef decorationBuffer;
    int decorationCount = 0;
    std::vector<ImageDrawBuffer> underImageBuffers;
    std::vector<ImageDrawBuffer> placeholderImageBuffers;
    std::vector<ImageDrawBuffer> overImageBuffers;
    std::vector<ImageDrawBuffer> otherImageBuffers;
};

// One frame's records of all visible rows, merged, when buffers are pooled per frame; also one
// row's records, which the frame appends.
struct FrameDrawData {
    std::vector<ColorCell> backgroundCells;
    // One-pixel strips that close the seam between a solid Powerline separator and its neighbour.
    std::vector<ColorCell> powerlineJoinCells;
    std::vector<TextCell> glyphCellsGray;
    std::vector<TextCell> glyphCellsColor;
    std::vector<ColorCell> decorationCells;
    std::vector<ImageDraw> underImageDraws;
    std::vector<ImageDraw> placeholderImageDraws;
    std::vector<ImageDraw> overImageDraws;
    std::vector<ImageDraw> otherImageDraws;

    bool empty() const
    {
        return backgroundCells.empty() && powerlineJoinCells.empty() && glyphCellsGray.empty() &&
               glyphCellsColor.empty() && decorationCells.empty() && underImageDraws.empty() &&
               placeholderImageDraws.empty() && overImageDraws.empty() && otherImageDraws.empty();
    }
    // Adds `row`'s records after those held, list by list.
    void append(const FrameDrawData& row);
};

struct DrawData {
    std::vector<RowDrawBuffers> rows; // screen order
    std::optional<FrameDrawData> frame; // present: aggregated mode
    std::vector<ColorVertex> cursorColorVertices;
    std::vector<GlyphVertex> cursorGlyphVerticesGray;
    std::vector<GlyphVertex> cursorGlyphVerticesColor;
};

// A record colour from a Qt colour; an invalid colour gives opaque black.
GpuFloat4 colorToSIMD(const QColor& color);

} // namespace corvix
