#include "terminal/view/gpu/UnderlineSegments.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace corvix {

PixelEdges renderModeTransform(double x0, double y0, double x1, double y1, BufferLine::RenderLineMode mode,
                               double pivotY)
{
    using Mode = BufferLine::RenderLineMode;
    if (mode != Mode::single) {
        x0 *= 2;
        x1 *= 2;
    }
    if (mode == Mode::doubledTop || mode == Mode::doubledDown) {
        y0 = 2 * (y0 - pivotY) + pivotY;
        y1 = 2 * (y1 - pivotY) + pivotY;
    }
    return {float(std::min(x0, x1)), float(std::min(y0, y1)), float(std::max(x0, x1)), float(std::max(y0, y1))};
}

std::optional<PixelEdges> clipRect(PixelEdges rect, const std::optional<ClipRect>& clip)
{
    if (!clip) return rect;
    const PixelEdges cut{std::max(rect.x0, clip->left), std::max(rect.y0, clip->bottom), std::min(rect.x1, clip->right),
                         std::min(rect.y1, clip->top)};
    if (cut.x1 <= cut.x0 || cut.y1 <= cut.y0) return std::nullopt;
    return cut;
}

std::optional<TexturedEdges> clipRect(TexturedEdges quad, const std::optional<ClipRect>& clip)
{
    if (!clip) return quad;
    const float width = quad.x1 - quad.x0, height = quad.y1 - quad.y0;
    if (width <= 0 || height <= 0) return std::nullopt;
    const auto cut = clipRect(PixelEdges{quad.x0, quad.y0, quad.x1, quad.y1}, clip);
    if (!cut) return std::nullopt;
    const float du = quad.u1 - quad.u0, dv = quad.v1 - quad.v0;
    return TexturedEdges{cut->x0,
                         cut->y0,
                         cut->x1,
                         cut->y1,
                         quad.u0 + du * (cut->x0 - quad.x0) / width,
                         quad.v0 + dv * (cut->y0 - quad.y0) / height,
                         quad.u0 + du * (cut->x1 - quad.x0) / width,
                         quad.v0 + dv * (cut->y1 - quad.y0) / height};
}

std::array<GlyphVertex, 6> quadVertices(const TexturedEdges& quad, GpuFloat4 color)
{
    const GlyphVertex leftBottom{{quad.x0, quad.y0}, {quad.u0, quad.v0}, color};
    const GlyphVertex rightBottom{{quad.x1, quad.y0}, {quad.u1, quad.v0}, color};
    const GlyphVertex leftTop{{quad.x0, quad.y1}, {quad.u0, quad.v1}, color};
    const GlyphVertex rightTop{{quad.x1, quad.y1}, {quad.u1, quad.v1}, color};
    return {leftBottom, rightBottom, leftTop, rightBottom, rightTop, leftTop};
}

void appendUnderlineSegments(double x0, double x1, double yCenter, double thickness, GpuFloat4 color,
                             UnderlineStyle style, double patternScale, BufferLine::RenderLineMode renderMode,
                             const std::optional<ClipRect>& clip, double pivotY, std::vector<ColorCell>& output)
{
    const double half = thickness * 0.5;
    const double m = std::max(thickness, patternScale);
    auto piece = [&](double left, double right, double y) {
        const auto kept = clipRect(renderModeTransform(left, y - half, right, y + half, renderMode, pivotY), clip);
        if (!kept) return;
        output.push_back({{kept->x0, kept->y0}, {kept->x1 - kept->x0, kept->y1 - kept->y0}, color});
    };
    // Pieces of `length` every `period` from x0, each cut at x1. Starts are counted, not summed,
    // so that a long line does not drift.
    auto repeat = [&](double length, double period) {
        for (int i = 0;; ++i) {
            const double start = x0 + i * period;
            if (start >= x1) break;
            piece(start, std::min(start + length, x1), yCenter);
        }
    };
    switch (style) {
    case UnderlineStyle::none: return;
    case UnderlineStyle::single:
    case UnderlineStyle::double_: piece(x0, x1, yCenter); return;
    case UnderlineStyle::curly: {
        if (x0 >= x1) return;
        const double wavelength = std::max(4 * thickness, 4 * patternScale);
        for (double x = x0;;) {
            const double next = std::min(x + m, x1);
            piece(x, next, yCenter + m * std::sin(2 * std::numbers::pi * (x - x0) / wavelength));
            if (next >= x1) break;
            x = next;
        }
        return;
    }
    case UnderlineStyle::dotted:
        if (x0 < x1) repeat(m, 3 * m);
        return;
    case UnderlineStyle::dashed: {
        const double d = std::max(2 * thickness, 2 * patternScale);
        if (x0 < x1) repeat(d, 2 * d);
        return;
    }
    }
}

} // namespace corvix
