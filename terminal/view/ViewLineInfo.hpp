#pragma once

#include "terminal/graphics/KittyPlaceholderDecoder.hpp"
#include "terminal/screen/BufferLine.hpp"
#include "terminal/view/BlockElementRenderer.hpp"
#include "terminal/view/TextAttributes.hpp"

#include <QColor>
#include <QString>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace corvix {

// A run of a segment's text that shares one set of text attributes.
struct TextRun {
    int start = 0;  // UTF-16 index into the segment's text
    int length = 0; // UTF-16 units
    TextAttributes attributes;
};

// Cells of one width, side by side on screen, as text with its runs. Cell ordinal k covers the
// screen columns column + k * columnWidth ... + columnWidth - 1.
struct ViewLineSegment {
    int column = 0;
    int columnWidth = 1;
    int characterCount = 0;
    QString text;
    std::vector<TextRun> runs;
    // For each UTF-16 unit of `text`, the ordinal of the cell that produced it.
    std::vector<int> utf16ToCellOrdinal;
    // True while every cell produced exactly one UTF-16 unit.
    bool utf16IsCellIdentity = true;
};

struct BoxDrawingRenderItem {
    int column = 0;
    int columnWidth = 1;
    uint32_t codePoint = 0;
    QColor foregroundColor;
};

struct BlockElementRenderItem {
    int column = 0;
    int columnWidth = 1;
    uint32_t codePoint = 0;
    std::span<const BlockElementRect> rects;
    QColor foregroundColor;
};

struct PowerlineRenderItem {
    int column = 0;
    int columnWidth = 1;
    uint32_t codePoint = 0;
    QColor foregroundColor;
};

// One screen row as both drawing paths draw it: text segments, the line's images and the cells
// that custom glyph renderers draw.
struct ViewLineInfo {
    std::vector<ViewLineSegment> segments;
    std::optional<BufferLine::ImageList> images;
    std::vector<KittyPlaceholderCell> kittyPlaceholders;
    std::vector<BlockElementRenderItem> blockElements;
    std::vector<BoxDrawingRenderItem> boxDrawings;
    std::vector<PowerlineRenderItem> powerlineGlyphs;
};

} // namespace corvix
