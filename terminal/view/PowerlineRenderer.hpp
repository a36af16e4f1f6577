#pragma once

#include "terminal/screen/BufferLine.hpp"

#include <QColor>
#include <QRectF>

#include <cstdint>
#include <optional>

class QPainter;

namespace corvix {

// The solid Powerline separators U+E0B0, U+E0B2 (triangles) and U+E0B4, U+E0B6 (half discs),
// drawn as shapes so that they meet the neighbouring cell without a seam. The thin separators
// and every other code point come from the font.
class PowerlineRenderer {
public:
    enum class Side : uint8_t { left = 0, right = 1 };
    enum class Shape : uint8_t { triangle = 0, semicircle = 1 };

    struct Glyph {
        Side side;   // where the tip points
        Shape shape;

        friend constexpr bool operator==(const Glyph&, const Glyph&) = default;
    };

    // Device pixels per logical unit, across and down.
    struct DeviceScale {
        double x = 1;
        double y = 1;
    };

    // The shape of a solid separator; nothing for every other code point.
    static std::optional<Glyph> glyph(uint32_t codePoint);

    // Given a solid separator's cell in device pixels, the strip one pixel wide and as high as
    // the cell just outside it on the flat side (left of right-pointing separators, right of
    // left-pointing ones), which the separator's colour fills to close the seam with the cell it
    // joins. Nothing for other code points.
    static std::optional<QRectF> devicePixelJoinRect(uint32_t codePoint, const QRectF& transformedCellRect);

    // The device scale of a row drawn in `mode` on a display of `scale` pixels per point: double
    // width lines are stretched twice across, double height lines twice both ways.
    static DeviceScale deviceScale(BufferLine::RenderLineMode mode, double scale);

    // Paints a solid separator into `cell` (logical units, the whole cell of all its columns) in
    // `color`: the cell is widened outwards to whole device pixels, the join strip is filled
    // without anti-aliasing, then the shape with anti-aliasing. The one drawing shared by the
    // screen and the caret. Other code points, or a scale not above 0, draw nothing. The
    // painter's render hints are left as they were.
    static void draw(uint32_t codePoint, QPainter& painter, const QRectF& cell, DeviceScale scale,
                     const QColor& color);
};

} // namespace corvix
