#pragma once

#include <QColor>
#include <QRectF>

#include <cstdint>
#include <optional>
#include <span>

class QPainter;

namespace corvix {

// The coverage of a shade character; its raw value is the alpha it is drawn with.
enum class BlockAlpha : uint8_t { full, dark, medium, light };

constexpr double blockAlphaRaw(BlockAlpha alpha)
{
    switch (alpha) {
    case BlockAlpha::full: return 1.0;
    case BlockAlpha::dark: return 0.75;
    case BlockAlpha::medium: return 0.5;
    case BlockAlpha::light: return 0.25;
    }
    return 1.0;
}

// The coverage of a raw value; nothing for any value other than 1, 0.75, 0.5 and 0.25.
constexpr std::optional<BlockAlpha> blockAlphaFromRaw(double raw)
{
    if (raw == 1.0) return BlockAlpha::full;
    if (raw == 0.75) return BlockAlpha::dark;
    if (raw == 0.5) return BlockAlpha::medium;
    if (raw == 0.25) return BlockAlpha::light;
    return std::nullopt;
}

// A filled part of a block element, in eighths of the cell from its left (x) and top (y) edges.
struct BlockElementRect {
    uint8_t x0 = 0;
    uint8_t x1 = 0;
    uint8_t y0 = 0;
    uint8_t y1 = 0;
    BlockAlpha alpha = BlockAlpha::full;

    friend constexpr bool operator==(const BlockElementRect&, const BlockElementRect&) = default;
};

// The shapes of the block elements U+2580 to U+259F, from a table built at compile time.
struct BlockElementMapping {
    // The rectangles of a block element; nothing for any other code point. The span refers to
    // static storage and stays valid for the life of the program.
    static std::optional<std::span<const BlockElementRect>> rects(uint32_t codePoint);
};

// Fills a block element's rectangles into a cell.
class BlockElementRenderer {
public:
    // `cell` is the whole cell (all its columns) in the painter's logical units; `scale` is
    // device pixels per unit. Each rectangle is filled in `color` with its alpha multiplied by
    // the rectangle's coverage. With the painter's anti-aliasing off, each rectangle is widened
    // outwards to whole device pixels, so that blocks of neighbouring cells leave no seam.
    static void draw(std::span<const BlockElementRect> rects, QPainter& painter, const QRectF& cell, double scale,
                     const QColor& color);
};

} // namespace corvix
