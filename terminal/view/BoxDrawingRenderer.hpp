#pragma once

#include <QColor>
#include <QPointF>
#include <QSizeF>

#include <cstdint>

class QPainter;

namespace corvix {

// Draws the box-drawing characters U+2500 to U+257F from rectangles snapped to device pixels,
// so that lines join seamlessly from cell to cell at any font size and scale.
//
// Strokes are laid on the cell's pixel grid: `round(width x scale)` by `round(height x scale)`
// device pixels, row 0 at the cell's top. Straight strokes are whole-pixel rectangles filled
// with the painter's current anti-aliasing (callers switch it off); the rounded corners and the
// diagonals are anti-aliased paths.
class BoxDrawingRenderer {
public:
    // `cellOrigin` is the cell's top-left corner and `cellSize` its size, in the painter's
    // logical units (points); `scale` is device pixels per point and `baseThicknessPx` the
    // light stroke in device pixels (raised to `round(scale)` at least). The origin should lie on
    // a device pixel so that neighbouring cells line up. Other code points, and a scale that
    // is not above 0, draw nothing. The painter's pen, brush and render hints are left as they
    // were.
    static void draw(uint32_t codePoint, QPainter& painter, const QPointF& cellOrigin, const QSizeF& cellSize,
                     double scale, const QColor& color, int baseThicknessPx);

    // The base thickness the screen drawing passes: the underline thickness x 1.35 in device
    // pixels, at least one point's worth of pixels and at least 1.
    static int baseThicknessPx(double scale, double underlineThickness);
};

} // namespace corvix
