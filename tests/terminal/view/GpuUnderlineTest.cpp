// Underline pieces, the row clip and image quads: pure arithmetic in drawable pixels.
#include "terminal/view/gpu/GpuImageTextures.hpp"
#include "terminal/view/gpu/UnderlineSegments.hpp"

#include <QRectF>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace corvix;
using Mode = BufferLine::RenderLineMode;

namespace {

PixelEdges edgesOf(const ColorCell& cell)
{
    return {cell.position.x, cell.position.y, cell.position.x + cell.size.x, cell.position.y + cell.size.y};
}

::testing::AssertionResult sameEdges(const std::vector<PixelEdges>& actual, const std::vector<PixelEdges>& expected)
{
    auto text = [](const std::vector<PixelEdges>& list) {
        std::string out;
        for (const PixelEdges& e : list)
            out += "[" + std::to_string(e.x0) + "," + std::to_string(e.y0) + " " + std::to_string(e.x1) + "," +
                   std::to_string(e.y1) + "] ";
        return out;
    };
    bool same = actual.size() == expected.size();
    for (std::size_t i = 0; same && i < actual.size(); ++i) {
        same = std::abs(actual[i].x0 - expected[i].x0) < 1e-4f && std::abs(actual[i].y0 - expected[i].y0) < 1e-4f &&
               std::abs(actual[i].x1 - expected[i].x1) < 1e-4f && std::abs(actual[i].y1 - expected[i].y1) < 1e-4f;
    }
    if (same) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got " << text(actual) << "expected " << text(expected);
}

} // namespace

TEST(GpuUnderline, PiecesPerStyleModeAndClip)
{
    struct Case {
        const char* name;
        UnderlineStyle style;
        double x0, x1, yCenter, thickness, scale;
        Mode mode;
        std::optional<ClipRect> clip;
        double pivotY;
        std::vector<PixelEdges> pieces;
    };
    // The curly wave: unit m = 2, wavelength 8, so the centres at x = 0, 2, 4, 6 are 10 + 0, 2, 0, -2.
    const std::vector<Case> cases = {
        {"dotted at scale 2: dot 2, gap 4", UnderlineStyle::dotted, 0, 10, 10, 1, 2, Mode::single, {}, 0,
         {{0, 9.5f, 2, 10.5f}, {6, 9.5f, 8, 10.5f}}},
        {"dashed at scale 1: dash 2, gap 2, cut at 7", UnderlineStyle::dashed, 0, 7, 10, 1, 1, Mode::single, {}, 0,
         {{0, 9.5f, 2, 10.5f}, {4, 9.5f, 6, 10.5f}}},
        {"dashed: the last dash cut at x1", UnderlineStyle::dashed, 0, 5, 10, 1, 1, Mode::single, {}, 0,
         {{0, 9.5f, 2, 10.5f}, {4, 9.5f, 5, 10.5f}}},
        {"curly: a shorter last piece ends at x1", UnderlineStyle::curly, 0, 7, 10, 1, 2, Mode::single, {}, 0,
         {{0, 9.5f, 2, 10.5f}, {2, 11.5f, 4, 12.5f}, {4, 9.5f, 6, 10.5f}, {6, 7.5f, 7, 8.5f}}},
        {"single and double are one piece", UnderlineStyle::double_, 3, 9, 4, 2, 1, Mode::single, {}, 0,
         {{3, 3, 9, 5}}},
        {"none gives nothing", UnderlineStyle::none, 0, 10, 4, 1, 1, Mode::single, {}, 0, {}},
        {"double width doubles x only", UnderlineStyle::dotted, 1, 10, 4, 1, 2, Mode::doubleWidth, {}, 0,
         {{2, 3.5f, 6, 4.5f}, {14, 3.5f, 18, 4.5f}}},
        {"doubled top: y stretched about the pivot, pieces cut at the clip", UnderlineStyle::dotted, 0, 10, 105, 1, 2,
         Mode::doubledTop, ClipRect{0, 100, 14, 120}, 100,
         {{0, 109, 4, 111}, {12, 109, 14, 111}}},
        {"doubled top: a piece outside the clip is dropped", UnderlineStyle::single, 0, 10, 115, 2, 1,
         Mode::doubledTop, ClipRect{0, 100, 100, 120}, 100, {}},
        {"curly from x0 to x0 gives nothing", UnderlineStyle::curly, 5, 5, 4, 1, 1, Mode::single, {}, 0, {}},
        {"dotted from x0 to x0 gives nothing", UnderlineStyle::dotted, 5, 5, 4, 1, 1, Mode::single, {}, 0, {}},
        {"dashed from x0 to x0 gives nothing", UnderlineStyle::dashed, 5, 5, 4, 1, 1, Mode::single, {}, 0, {}},
        {"single from x0 to x0 is a piece of no width", UnderlineStyle::single, 5, 5, 4, 1, 1, Mode::single, {}, 0,
         {{5, 3.5f, 5, 4.5f}}},
        {"which a clip drops", UnderlineStyle::single, 5, 5, 4, 1, 1, Mode::single, ClipRect{0, 0, 100, 100}, 0, {}},
    };
    for (const Case& c : cases) {
        std::vector<ColorCell> output{{{-1, -1}, {1, 1}, {0, 0, 0, 1}}}; // appended to, never replaced
        const GpuFloat4 color{0.25f, 0.5f, 0.75f, 1};
        appendUnderlineSegments(c.x0, c.x1, c.yCenter, c.thickness, color, c.style, c.scale, c.mode, c.clip, c.pivotY,
                                output);
        std::vector<PixelEdges> pieces;
        for (std::size_t i = 1; i < output.size(); ++i) {
            pieces.push_back(edgesOf(output[i]));
            EXPECT_EQ(output[i].color, color) << c.name;
        }
        EXPECT_TRUE(sameEdges(pieces, c.pieces)) << c.name;
    }
}

TEST(GpuClip, QuadsAndRectanglesAgainstTheRowClip)
{
    const ClipRect clip{5, 0, 20, 8};
    // No clip: unchanged, even a quad of no size.
    const TexturedEdges empty{3, 3, 3, 3, 0, 0, 1, 1};
    EXPECT_EQ(clipRect(empty, std::nullopt), empty);
    EXPECT_EQ(clipRect(PixelEdges{1, 2, 3, 4}, std::nullopt), (PixelEdges{1, 2, 3, 4}));
    // Half the quad outside on the left and a quarter above: the texture span follows.
    const auto half = clipRect(TexturedEdges{0, 0, 10, 10, 0.2f, 0, 0.6f, 1}, clip);
    ASSERT_TRUE(half);
    const float got[] = {half->x0, half->y0, half->x1, half->y1, half->u0, half->v0, half->u1, half->v1};
    const float want[] = {5, 0, 10, 8, 0.4f, 0, 0.6f, 0.8f};
    for (int i = 0; i < 8; ++i) EXPECT_NEAR(got[i], want[i], 1e-6) << i;
    EXPECT_FALSE(clipRect(empty, clip));
    EXPECT_FALSE(clipRect(TexturedEdges{10, 10, 0, 0, 0, 0, 1, 1}, clip));
    EXPECT_FALSE(clipRect(TexturedEdges{20, 0, 30, 8, 0, 0, 1, 1}, clip)) << "touching the edge is empty";
    EXPECT_EQ(clipRect(PixelEdges{0, -5, 30, 5}, clip), (PixelEdges{5, 0, 20, 5}));
    EXPECT_FALSE(clipRect(PixelEdges{0, 8, 30, 9}, clip));
}

TEST(GpuImageDraw, SixWhiteVerticesInCornerOrder)
{
    // Points (1, 2) to (4, 6) at scale 2; the texture's right half.
    const auto draw =
        imageDraw(nullptr, QRectF(1, 2, 3, 4), QRectF(0.5, 0, 0.5, 1), Mode::single, std::nullopt, 0, 2);
    ASSERT_TRUE(draw);
    const GpuFloat4 white{1, 1, 1, 1};
    const GlyphVertex leftBottom{{2, 4}, {0.5f, 0}, white}, rightBottom{{8, 4}, {1, 0}, white},
        leftTop{{2, 12}, {0.5f, 1}, white}, rightTop{{8, 12}, {1, 1}, white};
    const std::vector<GlyphVertex> expected = {leftBottom, rightBottom, leftTop, rightBottom, rightTop, leftTop};
    ASSERT_EQ(draw->vertices.size(), 6u);
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(draw->vertices[i].position, expected[i].position) << i;
        EXPECT_EQ(draw->vertices[i].texCoord, expected[i].texCoord) << i;
        EXPECT_EQ(draw->vertices[i].color, white) << i;
    }
}

TEST(GpuImageDraw, DoubledRowsStretchAndClip)
{
    // A double-width row doubles x; no clip keeps all of it.
    const auto wide =
        imageDraw(nullptr, QRectF(10, 0, 10, 10), QRectF(0, 0, 1, 1), Mode::doubleWidth, std::nullopt, 0, 1);
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->vertices[0].position, (GpuFloat2{20, 0}));
    EXPECT_EQ(wide->vertices[4].position, (GpuFloat2{40, 10}));
    // The bottom half of a double-height line: the row is 100..120, stretched about 100. A quad
    // at 105..115 becomes 110..130 and keeps its lower half.
    const ClipRect row{0, 100, 800, 120};
    const auto half = imageDraw(nullptr, QRectF(0, 105, 10, 10), QRectF(0, 0, 1, 1), Mode::doubledDown, row, 100, 1);
    ASSERT_TRUE(half);
    EXPECT_EQ(half->vertices[0].position, (GpuFloat2{0, 110}));
    EXPECT_EQ(half->vertices[4].position, (GpuFloat2{20, 120}));
    EXPECT_FLOAT_EQ(half->vertices[4].texCoord.y, 0.5f);
    // Wholly outside the doubled row's clip: nothing.
    EXPECT_FALSE(imageDraw(nullptr, QRectF(0, 111, 10, 5), QRectF(0, 0, 1, 1), Mode::doubledTop, row, 100, 1));
}
