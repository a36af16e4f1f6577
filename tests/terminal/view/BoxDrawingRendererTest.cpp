#include "terminal/view/BoxDrawingRenderer.hpp"

#include "GlyphTestImage.hpp"

#include <QPainter>

#include <gtest/gtest.h>

#include <string>

using namespace corvix;
using namespace glyphtest;

namespace {

// One character in a cell that fills the image, painted white the way the screen does it:
// anti-aliasing off, whole-pixel origin.
QImage drawCell(uint32_t codePoint, int widthPx, int heightPx, double scale, int baseThicknessPx = 1)
{
    QImage image = blankImage(widthPx, heightPx, scale);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    BoxDrawingRenderer::draw(codePoint, painter, QPointF(0, 0), QSizeF(widthPx / scale, heightPx / scale), scale,
                             Qt::white, baseThicknessPx);
    return image;
}

struct MaskCase {
    uint32_t codePoint;
    std::string mask;
};

// 7 x 15 pixels with a 1-pixel light stroke: the light band is x 3 and y 7, the heavy band
// x 2-3 and y 6-7, the strokes of a double line x 2 and 4, y 6 and 8.
const MaskCase kCrossings[] = {
    {0x253C, rows({"...#...", "...#...", "...#...", "...#...", "...#...", "...#...", "...#...", "#######",
                   "...#...", "...#...", "...#...", "...#...", "...#...", "...#...", "...#..."})},
    {0x254B, rows({"..##...", "..##...", "..##...", "..##...", "..##...", "..##...", "#######", "#######",
                   "..##...", "..##...", "..##...", "..##...", "..##...", "..##...", "..##..."})},
    {0x256C, rows({"..#.#..", "..#.#..", "..#.#..", "..#.#..", "..#.#..", "..#.#..", "###.###", ".......",
                   "###.###", "..#.#..", "..#.#..", "..#.#..", "..#.#..", "..#.#..", "..#.#.."})},
    // Light vertical through a heavy horizontal.
    {0x253F, rows({"...#...", "...#...", "...#...", "...#...", "...#...", "...#...", "#######", "#######",
                   "...#...", "...#...", "...#...", "...#...", "...#...", "...#...", "...#..."})},
    // A single line meeting a double one ends at its far stroke.
    {0x2552, rows({".......", ".......", ".......", ".......", ".......", ".......", "...####", "...#...",
                   "...####", "...#...", "...#...", "...#...", "...#...", "...#...", "...#..."})},
    // The inner strokes of a double corner stop at each other.
    {0x2554, rows({".......", ".......", ".......", ".......", ".......", ".......", "..#####", "..#....",
                   "..#.###", "..#.#..", "..#.#..", "..#.#..", "..#.#..", "..#.#..", "..#.#.."})},
    // A heavy arm meets a light one across the whole heavy band.
    {0x250D, rows({".......", ".......", ".......", ".......", ".......", ".......", "...####", "...####",
                   "...#...", "...#...", "...#...", "...#...", "...#...", "...#...", "...#..."})},
    // Half lines reach through the centre stroke.
    {0x2574, rows({".......", ".......", ".......", ".......", ".......", ".......", ".......", "####...",
                   ".......", ".......", ".......", ".......", ".......", ".......", "......."})},
    {0x2575, rows({"...#...", "...#...", "...#...", "...#...", "...#...", "...#...", "...#...", "...#...",
                   ".......", ".......", ".......", ".......", ".......", ".......", "......."})},
};

} // namespace

TEST(BoxDrawingRenderer, ArmsMeetAtTheCentreOfTheCell)
{
    for (const auto& c : kCrossings) {
        SCOPED_TRACE(hex(c.codePoint));
        EXPECT_EQ(inkMask(drawCell(c.codePoint, 7, 15, 1)), c.mask);
    }
}

TEST(BoxDrawingRenderer, AtScaleTwoTheSameCellIsDrawnWithTwiceThePixels)
{
    // Light strokes are at least one point thick, so a base of 1 pixel becomes 2 at scale 2.
    for (const auto& c : kCrossings) {
        if (c.codePoint != 0x253C && c.codePoint != 0x256C) continue;
        SCOPED_TRACE(hex(c.codePoint));
        EXPECT_EQ(inkMask(drawCell(c.codePoint, 14, 30, 2)), upscaled(c.mask, 2));
    }
}

TEST(BoxDrawingRenderer, StrokesOfNeighbouringCellsLineUp)
{
    for (double scale : {1.0, 2.0}) {
        SCOPED_TRACE(scale);
        const int s = int(scale);
        QImage image = blankImage(21 * s, 15 * s, scale);
        QPainter painter(&image);
        const uint32_t text[] = {0x2500, 0x253C, 0x2500};
        for (int column = 0; column < 3; ++column) {
            BoxDrawingRenderer::draw(text[column], painter, QPointF(7.0 * column, 0), QSizeF(7, 15), scale,
                                     Qt::white, 1);
        }
        painter.end();

        std::string expected;
        for (int y = 0; y < 15 * s; ++y) {
            for (int x = 0; x < 21 * s; ++x) {
                expected += (y / s == 7 || x / s == 10) ? '#' : '.';
            }
            expected += '\n';
        }
        EXPECT_EQ(inkMask(image), expected);
    }
}

TEST(BoxDrawingRenderer, DashesFitTheCellOrBecomeSolid)
{
    struct Case {
        uint32_t codePoint;
        int widthPx;
        bool vertical;
        int from, to;         // the band across the dashes (pixels, end exclusive)
        const char* pattern;  // along the dashes
    };
    const Case cases[] = {
        // Gap min(14 / 6, 4) = 2, dashes of 8 / 3 with the 2 left over given to the first two.
        {0x2504, 14, false, 7, 8, ".###..###..##."},
        // Too narrow for three dashes and their gaps: one solid line.
        {0x2504, 5, false, 7, 8, "#####"},
        // A heavy dash too narrow to dash stays heavy.
        {0x2505, 5, false, 6, 8, "#####"},
        {0x2506, 7, true, 3, 4, ".###..###..###."},
        // Two dashes with a gap of one light stroke across; two strokes down.
        {0x254C, 14, false, 7, 8, "######.######."},
        {0x254E, 7, true, 3, 4, ".######..#####."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(hex(c.codePoint) + " width " + std::to_string(c.widthPx));
        std::string expected;
        for (int y = 0; y < 15; ++y) {
            for (int x = 0; x < c.widthPx; ++x) {
                const int across = c.vertical ? x : y;
                const int along = c.vertical ? y : x;
                expected += across >= c.from && across < c.to && c.pattern[along] == '#' ? '#' : '.';
            }
            expected += '\n';
        }
        EXPECT_EQ(inkMask(drawCell(c.codePoint, c.widthPx, 15, 1)), expected);
    }
}

TEST(BoxDrawingRenderer, RoundedCornersBendInsideTheirQuadrant)
{
    // Probes for U+256D in points of a 7 x 15 cell; the other corners are its mirror images.
    // Its arms are x 3 from y 9 down and y 7 from x 5 right; the ring's centre is (5.6, 9.6).
    struct Probe {
        double x, y;
        int minAlpha, maxAlpha;
    };
    const Probe probes[] = {
        {3.5, 12.5, 255, 255}, // down arm
        {6.5, 7.5, 255, 255},  // right arm
        {4.1, 8.1, 128, 255},  // on the curve
        {3.1, 7.1, 0, 60},     // the square corner is cut off
        {3.5, 2.5, 0, 0},      // no up arm
        {0.5, 7.5, 0, 0},      // no left arm
        {6.5, 13.5, 0, 0},     // inside the bend
    };
    const uint32_t corners[] = {0x256D, 0x256E, 0x256F, 0x2570};
    for (double scale : {1.0, 2.0}) {
        for (uint32_t corner : corners) {
            SCOPED_TRACE(hex(corner) + " scale " + std::to_string(scale));
            const bool mirrorX = corner == 0x256E || corner == 0x256F;
            const bool mirrorY = corner == 0x256F || corner == 0x2570;
            const QImage image = drawCell(corner, int(7 * scale), int(15 * scale), scale);
            for (const auto& p : probes) {
                const double x = mirrorX ? 7 - p.x : p.x;
                const double y = mirrorY ? 15 - p.y : p.y;
                const int alpha = alphaAt(image, int(x * scale), int(y * scale));
                EXPECT_GE(alpha, p.minAlpha) << "at (" << x << ", " << y << ")";
                EXPECT_LE(alpha, p.maxAlpha) << "at (" << x << ", " << y << ")";
            }
        }
    }
}

TEST(BoxDrawingRenderer, DiagonalsRunPastTheCornersAndThickenByOnePixel)
{
    // A 15 x 15 pixel cell one pixel in from the corner of a 17 x 17 image. The rising stroke's
    // pixels have x + y = 16; their neighbours (x + y = 15 and 17) are only grazed by a 1-pixel
    // stroke but covered by a 3-pixel one. Carried half a pixel past the cell's corners, the
    // strokes also ink the pixels diagonally beyond them, where the next cell's stroke joins.
    struct Case {
        double scale;
        int baseThicknessPx;
        bool thick;
    };
    const Case cases[] = {{1, 1, false}, {1, 2, true}, {2, 1, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE("scale " + std::to_string(c.scale) + " base " + std::to_string(c.baseThicknessPx));
        auto draw = [&](uint32_t codePoint) {
            QImage image = blankImage(17, 17, c.scale);
            QPainter painter(&image);
            BoxDrawingRenderer::draw(codePoint, painter, QPointF(1 / c.scale, 1 / c.scale),
                                     QSizeF(15 / c.scale, 15 / c.scale), c.scale, Qt::white, c.baseThicknessPx);
            return image;
        };
        const QImage rising = draw(0x2571);
        const QImage falling = draw(0x2572);
        const QImage cross = draw(0x2573);
        for (int i = 1; i <= 15; ++i) {
            EXPECT_GE(alphaAt(rising, 16 - i, i), 220) << i;
            EXPECT_GE(alphaAt(falling, i, i), 220) << i;
            EXPECT_GE(alphaAt(cross, 16 - i, i), 220) << i;
            EXPECT_GE(alphaAt(cross, i, i), 220) << i;
        }
        for (int i = 2; i <= 15; ++i) {
            const int beside = alphaAt(rising, 16 - i, i - 1);
            if (c.thick) {
                EXPECT_GE(beside, 250) << i;
            } else {
                EXPECT_LE(beside, 100) << i;
            }
        }
        EXPECT_GE(alphaAt(rising, 16, 0), 100);
        EXPECT_GE(alphaAt(rising, 0, 16), 100);
        EXPECT_GE(alphaAt(falling, 0, 0), 100);
        EXPECT_GE(alphaAt(falling, 16, 16), 100);
        EXPECT_EQ(alphaAt(rising, 1, 1), 0);
        EXPECT_EQ(alphaAt(rising, 15, 15), 0);
        EXPECT_EQ(alphaAt(falling, 15, 1), 0);
    }
}

TEST(BoxDrawingRenderer, LeavesThePainterAsItFoundIt)
{
    for (uint32_t codePoint : {0x2571u, 0x256Du, 0x253Cu}) {
        for (bool antialiased : {false, true}) {
            SCOPED_TRACE(hex(codePoint));
            QImage image = blankImage(7, 15, 1);
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing, antialiased);
            painter.setPen(QPen(Qt::red, 3));
            painter.setBrush(Qt::blue);
            BoxDrawingRenderer::draw(codePoint, painter, QPointF(0, 0), QSizeF(7, 15), 1, Qt::white, 1);
            EXPECT_EQ(painter.testRenderHint(QPainter::Antialiasing), antialiased);
            EXPECT_EQ(painter.pen(), QPen(Qt::red, 3));
            EXPECT_EQ(painter.brush(), QBrush(Qt::blue));
        }
    }
}

TEST(BoxDrawingRenderer, DrawsNothingOutsideItsRangeOrWithoutAScale)
{
    EXPECT_TRUE(isBlank(drawCell(0x2580, 7, 15, 1)));
    EXPECT_TRUE(isBlank(drawCell(0x24FF, 7, 15, 1)));

    QImage image = blankImage(7, 15, 1);
    QPainter painter(&image);
    BoxDrawingRenderer::draw(0x253C, painter, QPointF(0, 0), QSizeF(7, 15), 0, Qt::white, 1);
    painter.end();
    EXPECT_TRUE(isBlank(image));
}

TEST(BoxDrawingRenderer, BaseThicknessIsAtLeastOnePointOfPixels)
{
    struct Case {
        double scale, underlineThickness;
        int expected;
    };
    const Case cases[] = {{1, 1, 1}, {2, 1, 3}, {1, 2, 3}, {2, 0.3, 2}, {1, 0, 1}, {0, 1, 1}};
    for (const auto& c : cases) {
        EXPECT_EQ(BoxDrawingRenderer::baseThicknessPx(c.scale, c.underlineThickness), c.expected)
            << c.scale << " " << c.underlineThickness;
    }
}
