#include "terminal/view/PowerlineRenderer.hpp"

#include "GlyphTestImage.hpp"

#include <QPainter>

#include <gtest/gtest.h>

#include <string>

using namespace corvix;
using namespace glyphtest;

namespace {

using Glyph = PowerlineRenderer::Glyph;
using Side = PowerlineRenderer::Side;
using Shape = PowerlineRenderer::Shape;
using Mode = BufferLine::RenderLineMode;

// A separator in a 40 x 16 point strip at `scale`.
QImage drawSeparator(uint32_t codePoint, const QRectF& cell, double scale, const QColor& color = Qt::red)
{
    QImage image = blankImage(int(40 * scale), int(16 * scale), scale);
    QPainter painter(&image);
    PowerlineRenderer::draw(codePoint, painter, cell, {scale, scale}, color);
    return image;
}

} // namespace

TEST(PowerlineRenderer, OnlyTheSolidSeparatorsAreShapes)
{
    struct Case {
        uint32_t codePoint;
        std::optional<Glyph> glyph;
    };
    const Case cases[] = {
        {0xE0B0, Glyph{Side::right, Shape::triangle}},
        {0xE0B2, Glyph{Side::left, Shape::triangle}},
        {0xE0B4, Glyph{Side::right, Shape::semicircle}},
        {0xE0B6, Glyph{Side::left, Shape::semicircle}},
        {0xE0B1, std::nullopt},
        {0xE0B3, std::nullopt},
        {0xE0B5, std::nullopt},
        {0xE0B7, std::nullopt},
        {0x2588, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(hex(c.codePoint));
        EXPECT_EQ(PowerlineRenderer::glyph(c.codePoint), c.glyph);
    }
}

TEST(PowerlineRenderer, JoinStripLiesOnTheFlatSide)
{
    // As high as the cell from its top edge, which is its smallest y here (y grows downwards).
    const QRectF cell(20, 5, 16, 30);
    EXPECT_EQ(PowerlineRenderer::devicePixelJoinRect(0xE0B0, cell), QRectF(19, 5, 1, 30));
    EXPECT_EQ(PowerlineRenderer::devicePixelJoinRect(0xE0B4, cell), QRectF(19, 5, 1, 30));
    EXPECT_EQ(PowerlineRenderer::devicePixelJoinRect(0xE0B2, cell), QRectF(36, 5, 1, 30));
    EXPECT_EQ(PowerlineRenderer::devicePixelJoinRect(0xE0B6, cell), QRectF(36, 5, 1, 30));
    EXPECT_FALSE(PowerlineRenderer::devicePixelJoinRect(0xE0B1, cell));
}

TEST(PowerlineRenderer, DoubledLinesDoubleTheDeviceScale)
{
    struct Case {
        Mode mode;
        double x, y;
    };
    const Case cases[] = {
        {Mode::single, 2, 2},
        {Mode::doubleWidth, 4, 2},
        {Mode::doubledTop, 4, 4},
        {Mode::doubledDown, 4, 4},
    };
    for (const auto& c : cases) {
        const auto scale = PowerlineRenderer::deviceScale(c.mode, 2);
        EXPECT_EQ(scale.x, c.x) << int(c.mode);
        EXPECT_EQ(scale.y, c.y) << int(c.mode);
    }
}

TEST(PowerlineRenderer, SeparatorFillsItsCellAndOnePixelBeyondTheFlatSide)
{
    // The cell spans x 16 to 24 and y 0 to 16 points, also when given off the pixel grid (it
    // is widened outwards).
    const QRectF cells[] = {QRectF(16, 0, 8, 16), QRectF(16.3, 0.4, 7.4, 15.2)};
    for (double scale : {1.0, 2.0}) {
        for (const QRectF& cell : cells) {
            for (uint32_t codePoint : {0xE0B0u, 0xE0B2u, 0xE0B4u, 0xE0B6u}) {
                SCOPED_TRACE(hex(codePoint) + " scale " + std::to_string(scale) + " cell x "
                             + std::to_string(cell.x()));
                const QImage image = drawSeparator(codePoint, cell, scale);
                const int s = int(scale);
                const bool pointsRight = codePoint == 0xE0B0 || codePoint == 0xE0B4;
                const int baseColumn = pointsRight ? 16 * s : 24 * s - 1;
                const int tipColumn = pointsRight ? 24 * s - 1 : 16 * s;
                const int stripColumn = pointsRight ? 16 * s - 1 : 24 * s;
                const int outside = pointsRight ? 16 * s - 2 : 24 * s + 1;
                const int beyondTip = pointsRight ? 24 * s : 16 * s - 1;
                for (int y = 0; y < 16 * s; ++y) {
                    // Exactly one device pixel of join strip, solid, in the separator's colour.
                    EXPECT_EQ(image.pixelColor(stripColumn, y), QColor(Qt::red)) << y;
                    EXPECT_EQ(alphaAt(image, outside, y), 0) << y;
                    EXPECT_EQ(alphaAt(image, beyondTip, y), 0) << y;
                }
                // Solid along the flat side at mid-height, reaching the tip column there, and
                // clear at the tip's corners.
                EXPECT_EQ(image.pixelColor(baseColumn, 8 * s), QColor(Qt::red));
                EXPECT_GT(alphaAt(image, tipColumn, 8 * s - 1), 0);
                EXPECT_EQ(alphaAt(image, tipColumn, 0), 0);
                EXPECT_EQ(alphaAt(image, tipColumn, 16 * s - 1), 0);
            }
        }
    }
}

TEST(PowerlineRenderer, HalfDiscBulgesBeyondTheTriangle)
{
    // At y 3.5 the triangle's edge is at x 19.5 (from the flat side at 16); the half disc's
    // at about 22.7. The point (21.75, 3.75) lies between, mirrored for left-pointing ones.
    for (double scale : {1.0, 2.0}) {
        SCOPED_TRACE(scale);
        const QRectF cell(16, 0, 8, 16);
        const int right = int(21.75 * scale);
        const int leftX = int(18.25 * scale);
        const int y = int(3.75 * scale);
        EXPECT_EQ(alphaAt(drawSeparator(0xE0B0, cell, scale), right, y), 0);
        EXPECT_EQ(alphaAt(drawSeparator(0xE0B4, cell, scale), right, y), 255);
        EXPECT_EQ(alphaAt(drawSeparator(0xE0B2, cell, scale), leftX, y), 0);
        EXPECT_EQ(alphaAt(drawSeparator(0xE0B6, cell, scale), leftX, y), 255);
    }
}

TEST(PowerlineRenderer, OnADoubleWidthLineTheStripIsStillOneDevicePixel)
{
    // The row is drawn stretched twice across; the cell at x 16 to 24 covers device x 32 to 48.
    QImage image = blankImage(80, 16, 1);
    QPainter painter(&image);
    painter.scale(2, 1);
    PowerlineRenderer::draw(0xE0B0, painter, QRectF(16, 0, 8, 16),
                            PowerlineRenderer::deviceScale(Mode::doubleWidth, 1), Qt::red);
    painter.end();
    for (int y = 0; y < 16; ++y) {
        EXPECT_EQ(alphaAt(image, 31, y), 255) << y;
        EXPECT_EQ(alphaAt(image, 30, y), 0) << y;
    }
    EXPECT_EQ(alphaAt(image, 32, 8), 255);
}

TEST(PowerlineRenderer, DrawsNothingForOtherCodePointsOrWithoutAScale)
{
    const QRectF cell(16, 0, 8, 16);
    EXPECT_TRUE(isBlank(drawSeparator(0xE0B1, cell, 1)));
    EXPECT_TRUE(isBlank(drawSeparator(0x2588, cell, 1)));

    QImage image = blankImage(40, 16, 1);
    QPainter painter(&image);
    PowerlineRenderer::draw(0xE0B0, painter, cell, {0, 1}, Qt::red);
    PowerlineRenderer::draw(0xE0B0, painter, cell, {1, 0}, Qt::red);
    painter.end();
    EXPECT_TRUE(isBlank(image));
}

TEST(PowerlineRenderer, LeavesThePainterAntialiasingAsItWas)
{
    for (bool antialiased : {false, true}) {
        QImage image = blankImage(40, 16, 1);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, antialiased);
        PowerlineRenderer::draw(0xE0B4, painter, QRectF(16, 0, 8, 16), {1, 1}, Qt::red);
        EXPECT_EQ(painter.testRenderHint(QPainter::Antialiasing), antialiased);
    }
}
