#include "terminal/view/BlockElementRenderer.hpp"

#include "GlyphTestImage.hpp"

#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace corvix;
using namespace glyphtest;

namespace {

void drawBlock(QPainter& painter, uint32_t codePoint, const QRectF& cell, double scale, const QColor& color)
{
    const auto rects = BlockElementMapping::rects(codePoint);
    ASSERT_TRUE(rects) << hex(codePoint);
    BlockElementRenderer::draw(*rects, painter, cell, scale, color);
}

} // namespace

TEST(BlockElementRenderer, MappingCoversExactlyTheBlockElements)
{
    EXPECT_FALSE(BlockElementMapping::rects(0x257F));
    EXPECT_FALSE(BlockElementMapping::rects(0x25A0));
    EXPECT_FALSE(BlockElementMapping::rects(0xE0B0));
    for (uint32_t codePoint = 0x2580; codePoint <= 0x259F; ++codePoint) {
        const auto rects = BlockElementMapping::rects(codePoint);
        ASSERT_TRUE(rects) << hex(codePoint);
        EXPECT_FALSE(rects->empty()) << hex(codePoint);
    }

    EXPECT_EQ(blockAlphaFromRaw(0.25), BlockAlpha::light);
    EXPECT_EQ(blockAlphaFromRaw(0.75), BlockAlpha::dark);
    EXPECT_FALSE(blockAlphaFromRaw(0.3));
    EXPECT_FALSE(blockAlphaFromRaw(0));
}

TEST(BlockElementRenderer, FillsEighthsFromTheTopLeftOfTheCell)
{
    // The cell is 8 x 16 points at x 8 of a 24-point strip, so one eighth is 1 x 2 points.
    // Expected: filled point rectangles (left, top, right, bottom) within the cell, and the
    // alpha of white painted over them.
    struct Area {
        int left, top, right, bottom;
    };
    struct Case {
        uint32_t codePoint;
        std::vector<Area> areas;
        int alpha;
    };
    const Case cases[] = {
        {0x2580, {{0, 0, 8, 8}}, 255},                  // upper half
        {0x2581, {{0, 14, 8, 16}}, 255},                // lower eighth: at the bottom
        {0x2587, {{0, 2, 8, 16}}, 255},                 // lower seven eighths
        {0x2588, {{0, 0, 8, 16}}, 255},
        {0x2589, {{0, 0, 7, 16}}, 255},                 // left seven eighths
        {0x258F, {{0, 0, 1, 16}}, 255},                 // left eighth
        {0x2590, {{4, 0, 8, 16}}, 255},                 // right half
        {0x2594, {{0, 0, 8, 2}}, 255},                  // upper eighth
        {0x2595, {{7, 0, 8, 16}}, 255},                 // right eighth
        {0x2596, {{0, 8, 4, 16}}, 255},                 // lower left quadrant
        {0x259A, {{0, 0, 4, 8}, {4, 8, 8, 16}}, 255},   // upper left and lower right
        {0x259F, {{4, 0, 8, 8}, {0, 8, 8, 16}}, 255},
        {0x2591, {{0, 0, 8, 16}}, 64},                  // shades
        {0x2592, {{0, 0, 8, 16}}, 128},
        {0x2593, {{0, 0, 8, 16}}, 191},
    };
    for (double scale : {1.0, 2.0}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(hex(c.codePoint) + " scale " + std::to_string(scale));
            const int s = int(scale);
            QImage image = blankImage(24 * s, 16 * s, scale);
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing, false);
            drawBlock(painter, c.codePoint, QRectF(8, 0, 8, 16), scale, Qt::white);
            painter.end();

            int mismatches = 0;
            for (int y = 0; y < 16 * s && mismatches < 5; ++y) {
                for (int x = 0; x < 24 * s && mismatches < 5; ++x) {
                    const double px = x / scale - 8;
                    const double py = y / scale;
                    const bool inside = std::any_of(c.areas.begin(), c.areas.end(), [&](const Area& a) {
                        return px >= a.left && px < a.right && py >= a.top && py < a.bottom;
                    });
                    const int alpha = alphaAt(image, x, y);
                    const int expected = inside ? c.alpha : 0;
                    if (std::abs(alpha - expected) > 1) {
                        ++mismatches;
                        ADD_FAILURE() << "pixel (" << x << ", " << y << ") alpha " << alpha << ", expected "
                                      << expected;
                    }
                }
            }
        }
    }
}

TEST(BlockElementRenderer, ShadeScalesTheColoursOwnAlpha)
{
    QImage image = blankImage(8, 16, 1);
    QPainter painter(&image);
    drawBlock(painter, 0x2593, QRectF(0, 0, 8, 16), 1, QColor(255, 0, 0, 128));
    painter.end();
    const QColor pixel = image.pixelColor(4, 8);
    EXPECT_NEAR(pixel.alpha(), 96, 1); // 128 x 0.75
    EXPECT_EQ(pixel.red(), 255);
    EXPECT_EQ(pixel.green(), 0);
}

TEST(BlockElementRenderer, WithoutAntialiasingEdgesWidenToWholeDevicePixels)
{
    // A cell 10 device pixels high: an eighth is 1.25 pixels, so the upper eighth ends and the
    // lower eighth starts inside a pixel, which is then filled whole.
    struct Case {
        uint32_t codePoint;
        int fullRow, partRow, clearRow;
    };
    const Case cases[] = {{0x2594, 0, 1, 2}, {0x2581, 9, 8, 7}};
    for (double scale : {1.0, 2.0}) {
        for (const auto& c : cases) {
            for (bool antialiased : {false, true}) {
                SCOPED_TRACE(hex(c.codePoint) + " scale " + std::to_string(scale)
                             + (antialiased ? " antialiased" : " aliased"));
                QImage image = blankImage(8, 10, scale);
                QPainter painter(&image);
                painter.setRenderHint(QPainter::Antialiasing, antialiased);
                drawBlock(painter, c.codePoint, QRectF(0, 0, 8 / scale, 10 / scale), scale, Qt::white);
                painter.end();
                EXPECT_EQ(alphaAt(image, 3, c.fullRow), 255);
                if (antialiased) {
                    EXPECT_NEAR(alphaAt(image, 3, c.partRow), 64, 2);
                } else {
                    EXPECT_EQ(alphaAt(image, 3, c.partRow), 255);
                }
                EXPECT_EQ(alphaAt(image, 3, c.clearRow), 0);
            }
        }
    }
}
