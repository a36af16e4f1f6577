#include "terminal/view/BlockElementRenderer.hpp"

#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>

namespace corvix {

namespace {

constexpr uint32_t kFirst = 0x2580;
constexpr uint32_t kLast = 0x259F;

constexpr BlockElementRect full(uint8_t x0, uint8_t x1, uint8_t y0, uint8_t y1)
{
    return {x0, x1, y0, y1, BlockAlpha::full};
}

// All rectangles, in code point order; each character owns a run of them.
constexpr BlockElementRect kRects[] = {
    full(0, 8, 0, 4),                                            // U+2580 upper half
    full(0, 8, 7, 8), full(0, 8, 6, 8), full(0, 8, 5, 8),        // U+2581..U+2587 lower n eighths
    full(0, 8, 4, 8), full(0, 8, 3, 8), full(0, 8, 2, 8),
    full(0, 8, 1, 8),
    full(0, 8, 0, 8),                                            // U+2588 full block
    full(0, 7, 0, 8), full(0, 6, 0, 8), full(0, 5, 0, 8),        // U+2589..U+258F left 8 - n eighths
    full(0, 4, 0, 8), full(0, 3, 0, 8), full(0, 2, 0, 8),
    full(0, 1, 0, 8),
    full(4, 8, 0, 8),                                            // U+2590 right half
    {0, 8, 0, 8, BlockAlpha::light},                             // U+2591..U+2593 shades
    {0, 8, 0, 8, BlockAlpha::medium},
    {0, 8, 0, 8, BlockAlpha::dark},
    full(0, 8, 0, 1),                                            // U+2594 upper eighth
    full(7, 8, 0, 8),                                            // U+2595 right eighth
    full(0, 4, 4, 8),                                            // U+2596..U+259F quadrants
    full(4, 8, 4, 8),
    full(0, 4, 0, 4),
    full(0, 4, 0, 4), full(0, 4, 4, 8), full(4, 8, 4, 8),
    full(0, 4, 0, 4), full(4, 8, 4, 8),
    full(0, 4, 0, 4), full(4, 8, 0, 4), full(0, 4, 4, 8),
    full(0, 4, 0, 4), full(4, 8, 0, 4), full(4, 8, 4, 8),
    full(4, 8, 0, 4),
    full(4, 8, 0, 4), full(0, 4, 4, 8),
    full(4, 8, 0, 4), full(0, 4, 4, 8), full(4, 8, 4, 8),
};

// Rectangles per character, U+2580 to U+259F.
constexpr uint8_t kCounts[kLast - kFirst + 1] = {
    1,                   // U+2580
    1, 1, 1, 1, 1, 1, 1, // U+2581..U+2587
    1,                   // U+2588
    1, 1, 1, 1, 1, 1, 1, // U+2589..U+258F
    1,                   // U+2590
    1, 1, 1,             // U+2591..U+2593
    1, 1,                // U+2594, U+2595
    1, 1, 1, 3, 2, 3, 3, 1, 2, 3, // U+2596..U+259F
};

struct Run {
    uint8_t first;
    uint8_t count;
};

constexpr std::array<Run, kLast - kFirst + 1> kRuns = [] {
    std::array<Run, kLast - kFirst + 1> runs{};
    uint8_t first = 0;
    for (size_t i = 0; i < runs.size(); ++i) {
        runs[i] = {first, kCounts[i]};
        first = uint8_t(first + kCounts[i]);
    }
    return runs;
}();

static_assert(kRuns.back().first + kRuns.back().count == std::size(kRects));

} // namespace

std::optional<std::span<const BlockElementRect>> BlockElementMapping::rects(uint32_t codePoint)
{
    if (codePoint < kFirst || codePoint > kLast) {
        return std::nullopt;
    }
    const Run run = kRuns[codePoint - kFirst];
    return std::span<const BlockElementRect>(kRects + run.first, run.count);
}

void BlockElementRenderer::draw(std::span<const BlockElementRect> rects, QPainter& painter, const QRectF& cell,
                                double scale, const QColor& color)
{
    const double ew = cell.width() * 0.125;
    const double eh = cell.height() * 0.125;
    const bool snap = !painter.testRenderHint(QPainter::Antialiasing) && scale > 0;
    const double alpha = color.alphaF();
    for (const BlockElementRect& r : rects) {
        // Eighths count down from the cell's top, the painter's direction of y.
        double left = cell.x() + ew * r.x0;
        double top = cell.y() + eh * r.y0;
        double right = left + ew * (r.x1 - r.x0);
        double bottom = top + eh * (r.y1 - r.y0);
        if (snap) {
            left = std::floor(left * scale) / scale;
            top = std::floor(top * scale) / scale;
            right = std::ceil(right * scale) / scale;
            bottom = std::ceil(bottom * scale) / scale;
        }
        if (right <= left || bottom <= top) {
            continue;
        }
        QColor shade = color;
        shade.setAlphaF(float(std::min(1.0, alpha * blockAlphaRaw(r.alpha))));
        painter.fillRect(QRectF(left, top, right - left, bottom - top), shade);
    }
}

} // namespace corvix
