#include "terminal/view/PowerlineRenderer.hpp"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace corvix {

std::optional<PowerlineRenderer::Glyph> PowerlineRenderer::glyph(uint32_t codePoint)
{
    switch (codePoint) {
    case 0xE0B0: return Glyph{Side::right, Shape::triangle};
    case 0xE0B2: return Glyph{Side::left, Shape::triangle};
    case 0xE0B4: return Glyph{Side::right, Shape::semicircle};
    case 0xE0B6: return Glyph{Side::left, Shape::semicircle};
    default: return std::nullopt;
    }
}

std::optional<QRectF> PowerlineRenderer::devicePixelJoinRect(uint32_t codePoint, const QRectF& transformedCellRect)
{
    const auto g = glyph(codePoint);
    if (!g) {
        return std::nullopt;
    }
    const double x = g->side == Side::right ? transformedCellRect.left() - 1 : transformedCellRect.right();
    return QRectF(x, transformedCellRect.top(), 1, transformedCellRect.height());
}

PowerlineRenderer::DeviceScale PowerlineRenderer::deviceScale(BufferLine::RenderLineMode mode, double scale)
{
    using Mode = BufferLine::RenderLineMode;
    const bool doubleHeight = mode == Mode::doubledTop || mode == Mode::doubledDown;
    return {mode == Mode::single ? scale : 2 * scale, doubleHeight ? 2 * scale : scale};
}

void PowerlineRenderer::draw(uint32_t codePoint, QPainter& painter, const QRectF& cell, DeviceScale scale,
                             const QColor& color)
{
    const auto g = glyph(codePoint);
    if (!g || !(scale.x > 0) || !(scale.y > 0)) {
        return;
    }
    const double sx = scale.x;
    const double sy = scale.y;
    const double minX = std::floor(sx * cell.left()) / sx;
    const double maxX = std::ceil(sx * cell.right()) / sx;
    const double minY = std::floor(sy * cell.top()) / sy;
    const double maxY = std::ceil(sy * cell.bottom()) / sy;
    const bool pointsRight = g->side == Side::right;
    const double tip = pointsRight ? maxX : minX;
    const double base = pointsRight ? minX : maxX;

    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    path.moveTo(base, minY);
    if (g->shape == Shape::triangle) {
        path.lineTo(tip, std::round(sy * (minY + maxY) * 0.5) / sy);
        path.lineTo(base, maxY);
    } else {
        // Control points 4/3 of the width out make the curve reach the tip at mid-height.
        const double control = base + (tip - base) * 4.0 / 3.0;
        path.cubicTo(control, minY, control, maxY, base, maxY);
    }
    path.closeSubpath();

    const bool antialiased = painter.testRenderHint(QPainter::Antialiasing);
    const double px = 1 / sx;
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRectF(pointsRight ? minX - px : maxX, minY, px, maxY - minY), color);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.fillPath(path, color);
    painter.setRenderHint(QPainter::Antialiasing, antialiased);
}

} // namespace corvix
