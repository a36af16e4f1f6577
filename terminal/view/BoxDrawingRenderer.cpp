#include "terminal/view/BoxDrawingRenderer.hpp"

#include <QLineF>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QRectF>

#include <algorithm>
#include <array>
#include <cmath>

namespace corvix {

namespace {

constexpr uint32_t kFirst = 0x2500;
constexpr uint32_t kLast = 0x257F;

// Arm styles.
constexpr uint8_t kNone = 0;
constexpr uint8_t kLight = 1;
constexpr uint8_t kHeavy = 2;
constexpr uint8_t kDouble = 3;

// The four arms of a box-drawing character.
struct Lines {
    uint8_t up = kNone;
    uint8_t right = kNone;
    uint8_t down = kNone;
    uint8_t left = kNone;
};

struct LinesEntry {
    uint32_t codePoint;
    Lines lines;
};

// Arms as the characters' Unicode names state them (up, right, down, left). The dashes, arcs
// and diagonals are drawn by their own code and have no entry.
constexpr LinesEntry kLinesEntries[] = {
    {0x2500, {0, 1, 0, 1}}, {0x2501, {0, 2, 0, 2}}, {0x2502, {1, 0, 1, 0}}, {0x2503, {2, 0, 2, 0}},
    {0x250C, {0, 1, 1, 0}}, {0x250D, {0, 2, 1, 0}}, {0x250E, {0, 1, 2, 0}}, {0x250F, {0, 2, 2, 0}},
    {0x2510, {0, 0, 1, 1}}, {0x2511, {0, 0, 1, 2}}, {0x2512, {0, 0, 2, 1}}, {0x2513, {0, 0, 2, 2}},
    {0x2514, {1, 1, 0, 0}}, {0x2515, {1, 2, 0, 0}}, {0x2516, {2, 1, 0, 0}}, {0x2517, {2, 2, 0, 0}},
    {0x2518, {1, 0, 0, 1}}, {0x2519, {1, 0, 0, 2}}, {0x251A, {2, 0, 0, 1}}, {0x251B, {2, 0, 0, 2}},
    {0x251C, {1, 1, 1, 0}}, {0x251D, {1, 2, 1, 0}}, {0x251E, {2, 1, 1, 0}}, {0x251F, {1, 1, 2, 0}},
    {0x2520, {2, 1, 2, 0}}, {0x2521, {2, 2, 1, 0}}, {0x2522, {1, 2, 2, 0}}, {0x2523, {2, 2, 2, 0}},
    {0x2524, {1, 0, 1, 1}}, {0x2525, {1, 0, 1, 2}}, {0x2526, {2, 0, 1, 1}}, {0x2527, {1, 0, 2, 1}},
    {0x2528, {2, 0, 2, 1}}, {0x2529, {2, 0, 1, 2}}, {0x252A, {1, 0, 2, 2}}, {0x252B, {2, 0, 2, 2}},
    {0x252C, {0, 1, 1, 1}}, {0x252D, {0, 1, 1, 2}}, {0x252E, {0, 2, 1, 1}}, {0x252F, {0, 2, 1, 2}},
    {0x2530, {0, 1, 2, 1}}, {0x2531, {0, 1, 2, 2}}, {0x2532, {0, 2, 2, 1}}, {0x2533, {0, 2, 2, 2}},
    {0x2534, {1, 1, 0, 1}}, {0x2535, {1, 1, 0, 2}}, {0x2536, {1, 2, 0, 1}}, {0x2537, {1, 2, 0, 2}},
    {0x2538, {2, 1, 0, 1}}, {0x2539, {2, 1, 0, 2}}, {0x253A, {2, 2, 0, 1}}, {0x253B, {2, 2, 0, 2}},
    {0x253C, {1, 1, 1, 1}}, {0x253D, {1, 1, 1, 2}}, {0x253E, {1, 2, 1, 1}}, {0x253F, {1, 2, 1, 2}},
    {0x2540, {2, 1, 1, 1}}, {0x2541, {1, 1, 2, 1}}, {0x2542, {2, 1, 2, 1}}, {0x2543, {2, 1, 1, 2}},
    {0x2544, {2, 2, 1, 1}}, {0x2545, {1, 1, 2, 2}}, {0x2546, {1, 2, 2, 1}}, {0x2547, {2, 2, 1, 2}},
    {0x2548, {1, 2, 2, 2}}, {0x2549, {2, 1, 2, 2}}, {0x254A, {2, 2, 2, 1}}, {0x254B, {2, 2, 2, 2}},
    {0x2550, {0, 3, 0, 3}}, {0x2551, {3, 0, 3, 0}}, {0x2552, {0, 3, 1, 0}}, {0x2553, {0, 1, 3, 0}},
    {0x2554, {0, 3, 3, 0}}, {0x2555, {0, 0, 1, 3}}, {0x2556, {0, 0, 3, 1}}, {0x2557, {0, 0, 3, 3}},
    {0x2558, {1, 3, 0, 0}}, {0x2559, {3, 1, 0, 0}}, {0x255A, {3, 3, 0, 0}}, {0x255B, {1, 0, 0, 3}},
    {0x255C, {3, 0, 0, 1}}, {0x255D, {3, 0, 0, 3}}, {0x255E, {1, 3, 1, 0}}, {0x255F, {3, 1, 3, 0}},
    {0x2560, {3, 3, 3, 0}}, {0x2561, {1, 0, 1, 3}}, {0x2562, {3, 0, 3, 1}}, {0x2563, {3, 0, 3, 3}},
    {0x2564, {0, 3, 1, 3}}, {0x2565, {0, 1, 3, 1}}, {0x2566, {0, 3, 3, 3}}, {0x2567, {1, 3, 0, 3}},
    {0x2568, {3, 1, 0, 1}}, {0x2569, {3, 3, 0, 3}}, {0x256A, {1, 3, 1, 3}}, {0x256B, {3, 1, 3, 1}},
    {0x256C, {3, 3, 3, 3}},
    {0x2574, {0, 0, 0, 1}}, {0x2575, {1, 0, 0, 0}}, {0x2576, {0, 1, 0, 0}}, {0x2577, {0, 0, 1, 0}},
    {0x2578, {0, 0, 0, 2}}, {0x2579, {2, 0, 0, 0}}, {0x257A, {0, 2, 0, 0}}, {0x257B, {0, 0, 2, 0}},
    {0x257C, {0, 2, 0, 1}}, {0x257D, {1, 0, 2, 0}}, {0x257E, {0, 1, 0, 2}}, {0x257F, {2, 0, 1, 0}},
};

// Indexed by code point - kFirst; characters without plain arms hold all-none.
constexpr std::array<Lines, kLast - kFirst + 1> kLinesTable = [] {
    std::array<Lines, kLast - kFirst + 1> table{};
    for (const auto& entry : kLinesEntries) {
        table[entry.codePoint - kFirst] = entry.lines;
    }
    return table;
}();

// The cell's pixel grid: whole device pixels, x from the left edge, y from the top edge.
struct Canvas {
    QPainter& painter;
    QColor color;
    QPointF origin;
    double scale;
    int widthPx;
    int heightPx;

    // Fills the pixels [x0, x1) x [y0, y1), clipped to the cell. Rows count down from the
    // cell's top, as the painter's y does, so a row maps to y without flipping.
    void box(int x0, int y0, int x1, int y1) const
    {
        x0 = std::max(x0, 0);
        y0 = std::max(y0, 0);
        x1 = std::min(x1, widthPx);
        y1 = std::min(y1, heightPx);
        if (x0 >= x1 || y0 >= y1) {
            return;
        }
        painter.fillRect(QRectF(origin.x() + x0 / scale, origin.y() + y0 / scale, (x1 - x0) / scale,
                                (y1 - y0) / scale),
                         color);
    }
    void hline(int x1, int x2, int y, int thickness) const { box(x1, y, x2, y + thickness); }
    void vline(int y1, int y2, int x, int thickness) const { box(x, y1, x + thickness, y2); }

    // A canvas position (pixels, may be fractional) in the painter's coordinates.
    QPointF point(double x, double y) const { return {origin.x() + x / scale, origin.y() + y / scale}; }
};

// Where the strokes lie across the cell, in pixels: light, heavy and the two strokes of a double
// line, horizontally (y: t = top, b = bottom) and vertically (x: l = left, r = right).
struct Bands {
    int lt, lb, ht, hb, dt, db;
    int ll, lr, hl, hr, dl, dr;

    Bands(int w, int h, int t)
    {
        lt = std::max(h - t, 0) / 2;
        lb = std::min(lt + t, h);
        ht = std::max(h - 2 * t, 0) / 2;
        hb = std::min(ht + 2 * t, h);
        dt = std::max(lt - t, 0);
        db = std::min(lb + t, h);
        ll = std::max(w - t, 0) / 2;
        lr = std::min(ll + t, w);
        hl = std::max(w - 2 * t, 0) / 2;
        hr = std::min(hl + 2 * t, w);
        dl = std::max(ll - t, 0);
        dr = std::min(lr + t, w);
    }
};

void drawLines(const Canvas& c, Lines a, const Bands& b)
{
    const int w = c.widthPx;
    const int h = c.heightPx;

    // How far the vertical arms reach into the crossing, so that they meet the horizontal ones
    // without gaps and without poking through a double line.
    int upEnd = b.lb;
    int downStart = b.lt;
    if (a.left == kHeavy || a.right == kHeavy) {
        upEnd = b.hb;
        downStart = b.ht;
    } else if (a.left == a.right && a.up != a.down) {
        if (a.left != kNone) {
            upEnd = b.lt;
            downStart = b.lb;
        }
    } else if (a.left == kDouble || a.right == kDouble) {
        upEnd = b.db;
        downStart = b.dt;
    }

    int leftEnd = b.lr;
    int rightStart = b.ll;
    if (a.up == kHeavy || a.down == kHeavy) {
        leftEnd = b.hr;
        rightStart = b.hl;
    } else if (a.up == a.down && a.left != a.right) {
        if (a.up != kNone) {
            leftEnd = b.ll;
            rightStart = b.lr;
        }
    } else if (a.up == kDouble || a.down == kDouble) {
        leftEnd = b.dr;
        rightStart = b.dl;
    }

    switch (a.up) {
    case kLight: c.box(b.ll, 0, b.lr, upEnd); break;
    case kHeavy: c.box(b.hl, 0, b.hr, upEnd); break;
    case kDouble:
        c.box(b.dl, 0, b.ll, a.left == kDouble ? b.lt : upEnd);
        c.box(b.lr, 0, b.dr, a.right == kDouble ? b.lt : upEnd);
        break;
    default: break;
    }
    switch (a.right) {
    case kLight: c.box(rightStart, b.lt, w, b.lb); break;
    case kHeavy: c.box(rightStart, b.ht, w, b.hb); break;
    case kDouble:
        c.box(a.up == kDouble ? b.lr : rightStart, b.dt, w, b.lt);
        c.box(a.down == kDouble ? b.lr : rightStart, b.lb, w, b.db);
        break;
    default: break;
    }
    switch (a.down) {
    case kLight: c.box(b.ll, downStart, b.lr, h); break;
    case kHeavy: c.box(b.hl, downStart, b.hr, h); break;
    case kDouble:
        c.box(b.dl, a.left == kDouble ? b.lb : downStart, b.ll, h);
        c.box(b.lr, a.right == kDouble ? b.lb : downStart, b.dr, h);
        break;
    default: break;
    }
    switch (a.left) {
    case kLight: c.box(0, b.lt, leftEnd, b.lb); break;
    case kHeavy: c.box(0, b.ht, leftEnd, b.hb); break;
    case kDouble:
        c.box(0, b.dt, a.up == kDouble ? b.ll : leftEnd, b.lt);
        c.box(0, b.lb, a.down == kDouble ? b.ll : leftEnd, b.db);
        break;
    default: break;
    }
}

// `count` dashes along the cell, centred across it. A cell too short to show the dashes gets one
// solid line of the same thickness, so that a heavy dash stays heavy.
void drawDashes(const Canvas& c, bool vertical, int count, int thickness, int desiredGap)
{
    const int length = vertical ? c.heightPx : c.widthPx;
    const int across = std::max((vertical ? c.widthPx : c.heightPx) - thickness, 0) / 2;
    auto stroke = [&](int from, int to) {
        if (vertical) {
            c.vline(from, to, across, thickness);
        } else {
            c.hline(from, to, across, thickness);
        }
    };
    if (length < 2 * count) {
        stroke(0, length);
        return;
    }
    const int gap = std::min(length / (2 * count), desiredGap);
    const int dash = (length - count * gap) / count;
    int remainder = (length - count * gap) % count;
    int start = gap / 2;
    for (int i = 0; i < count; ++i) {
        const int end = start + dash + (remainder > 0 ? 1 : 0);
        remainder = std::max(remainder - 1, 0);
        stroke(start, end);
        start = end + gap;
    }
}

// U+256D to U+2570: two light half arms joined by a quarter ring around a centre r away from
// the crossing, towards the corner's quadrant.
void drawArc(const Canvas& c, uint32_t codePoint, int t, const Bands& b)
{
    const int w = c.widthPx;
    const int h = c.heightPx;
    const bool up = codePoint == 0x256F || codePoint == 0x2570;
    const bool left = codePoint == 0x256E || codePoint == 0x256F;

    const double half = t / 2.0;
    const double cx = b.ll + half;
    const double cy = b.lt + half;
    const double m = std::min(w, h);
    const double r = std::min(0.3 * m, std::max(m / 2 - half, 0.0));

    if (up) {
        c.vline(0, std::clamp(int(std::ceil(cy - r)), 0, h), b.ll, t);
    } else {
        c.vline(std::clamp(int(std::floor(cy + r)), 0, h), h, b.ll, t);
    }
    if (left) {
        c.hline(0, std::clamp(int(std::ceil(cx - r)), 0, w), b.lt, t);
    } else {
        c.hline(std::clamp(int(std::floor(cx + r)), 0, w), w, b.lt, t);
    }

    // The quarter of the ring that faces the crossing; Qt's angles run counter-clockwise on
    // screen from three o'clock.
    const QPointF centre = c.point(cx + (left ? -r : r), cy + (up ? -r : r));
    const double startAngle = up ? (left ? 270 : 180) : (left ? 0 : 90);
    const double outer = (r + half) / c.scale;
    const double inner = std::max(r - half, 0.0) / c.scale;
    QPainterPath path;
    const QRectF outerRect(centre.x() - outer, centre.y() - outer, 2 * outer, 2 * outer);
    path.arcMoveTo(outerRect, startAngle);
    path.arcTo(outerRect, startAngle, 90);
    if (inner > 0) {
        path.arcTo(QRectF(centre.x() - inner, centre.y() - inner, 2 * inner, 2 * inner), startAngle + 90, -90);
    } else {
        path.lineTo(centre);
    }
    path.closeSubpath();

    const bool antialiased = c.painter.testRenderHint(QPainter::Antialiasing);
    c.painter.setRenderHint(QPainter::Antialiasing, true);
    c.painter.fillPath(path, c.color);
    c.painter.setRenderHint(QPainter::Antialiasing, antialiased);
}

// U+2571 to U+2573: corner-to-corner strokes, carried half a pixel past the corners so that
// diagonals in neighbouring cells meet.
void drawDiagonals(const Canvas& c, uint32_t codePoint, int t)
{
    const double w = c.widthPx;
    const double h = c.heightPx;
    const double a = std::min(w / h, 1.0);
    const double b = std::min(h / w, 1.0);
    // A one-pixel diagonal stays one pixel; thicker ones get a pixel more to look as heavy as
    // the straight strokes.
    const int widthPx = t >= 2 ? t + 1 : t;

    QPainter& p = c.painter;
    const QPen oldPen = p.pen();
    const bool antialiased = p.testRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(c.color, widthPx / c.scale, Qt::SolidLine, Qt::FlatCap));
    p.setRenderHint(QPainter::Antialiasing, true);
    if (codePoint != 0x2572) {
        p.drawLine(QLineF(c.point(w + a / 2, -b / 2), c.point(-a / 2, h + b / 2)));
    }
    if (codePoint != 0x2571) {
        p.drawLine(QLineF(c.point(-a / 2, -b / 2), c.point(w + a / 2, h + b / 2)));
    }
    p.setRenderHint(QPainter::Antialiasing, antialiased);
    p.setPen(oldPen);
}

} // namespace

void BoxDrawingRenderer::draw(uint32_t codePoint, QPainter& painter, const QPointF& cellOrigin,
                              const QSizeF& cellSize, double scale, const QColor& color, int baseThicknessPx)
{
    if (codePoint < kFirst || codePoint > kLast || !(scale > 0)) {
        return;
    }
    const Canvas c{painter,
                   color,
                   cellOrigin,
                   scale,
                   int(std::max(1.0, std::round(cellSize.width() * scale))),
                   int(std::max(1.0, std::round(cellSize.height() * scale)))};
    const int unit = std::max(1, int(std::round(scale)));
    const int t = std::max(unit, baseThicknessPx);
    const int heavy = 2 * t;
    const int dashGap = std::max(t, 4);

    switch (codePoint) {
    case 0x2504: drawDashes(c, false, 3, t, dashGap); return;
    case 0x2505: drawDashes(c, false, 3, heavy, dashGap); return;
    case 0x2506: drawDashes(c, true, 3, t, dashGap); return;
    case 0x2507: drawDashes(c, true, 3, heavy, dashGap); return;
    case 0x2508: drawDashes(c, false, 4, t, dashGap); return;
    case 0x2509: drawDashes(c, false, 4, heavy, dashGap); return;
    case 0x250A: drawDashes(c, true, 4, t, dashGap); return;
    case 0x250B: drawDashes(c, true, 4, heavy, dashGap); return;
    case 0x254C: drawDashes(c, false, 2, t, t); return;
    case 0x254D: drawDashes(c, false, 2, heavy, heavy); return;
    case 0x254E: drawDashes(c, true, 2, t, heavy); return;
    case 0x254F: drawDashes(c, true, 2, heavy, heavy); return;
    case 0x256D:
    case 0x256E:
    case 0x256F:
    case 0x2570: drawArc(c, codePoint, t, Bands(c.widthPx, c.heightPx, t)); return;
    case 0x2571:
    case 0x2572:
    case 0x2573: drawDiagonals(c, codePoint, t); return;
    default: drawLines(c, kLinesTable[codePoint - kFirst], Bands(c.widthPx, c.heightPx, t)); return;
    }
}

int BoxDrawingRenderer::baseThicknessPx(double scale, double underlineThickness)
{
    return std::max({int(std::round(scale * underlineThickness * 1.35)), int(std::round(scale)), 1});
}

} // namespace corvix
