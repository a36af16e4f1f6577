#pragma once

// Decorations as solid rectangles, and the clip every rectangle and textured quad of a row goes
// through. Lengths are drawable pixels, origin bottom-left, y up.

#include "terminal/screen/Attribute.hpp"
#include "terminal/screen/BufferLine.hpp"
#include "terminal/view/gpu/GpuRecords.hpp"

#include <array>
#include <optional>
#include <vector>

namespace corvix {

// Left, bottom, right, top. Only doubled-height rows have one; no clip cuts nothing away.
struct ClipRect {
    float left = 0, bottom = 0, right = 0, top = 0;
};

// A rectangle by its edges: x0 left, y0 bottom, x1 right, y1 top.
struct PixelEdges {
    float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool operator==(const PixelEdges&) const = default;
};

// A textured quad: its edges and the texture coordinates at them.
struct TexturedEdges {
    float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    float u0 = 0, v0 = 0, u1 = 0, v1 = 0;
    bool operator==(const TexturedEdges&) const = default;
};

// The row's render mode applied to a rectangle: x doubled on every line but a single one, y
// stretched twofold about `pivotY` on the halves of a double-height line; edges re-ordered.
PixelEdges renderModeTransform(double x0, double y0, double x1, double y1, BufferLine::RenderLineMode mode,
                               double pivotY);

// The part of a rectangle inside `clip`; nothing when it is empty.
std::optional<PixelEdges> clipRect(PixelEdges rect, const std::optional<ClipRect>& clip);
// The part of a quad inside `clip`, its texture coordinates cut in proportion; nothing when the
// quad or the part is empty.
std::optional<TexturedEdges> clipRect(TexturedEdges quad, const std::optional<ClipRect>& clip);
// A textured quad as its two triangles in one colour, left-bottom first.
std::array<GlyphVertex, 6> quadVertices(const TexturedEdges& quad, GpuFloat4 color);

// One underline (or strikethrough) from x0 to x1 centred at `yCenter`, as pieces appended to
// `output` left to right. Curly, dotted and dashed lines are runs of small pieces whose unit is
// never below one point (`patternScale`, pixels per point). A double line is two single calls.
void appendUnderlineSegments(double x0, double x1, double yCenter, double thickness, GpuFloat4 color,
                             UnderlineStyle style, double patternScale, BufferLine::RenderLineMode renderMode,
                             const std::optional<ClipRect>& clip, double pivotY, std::vector<ColorCell>& output);

} // namespace corvix
