// A row's GPU records from a real view offscreen, through the recording GL seam: drawable pixels,
// y up from the bottom edge, at a frame scale of 2 on a view whose own backing scale is 1.
#include "terminal/view/RecordingGpu.hpp"
#include "terminal/view/TerminalView.hpp"
#include "terminal/view/TestImages.hpp"
#include "terminal/view/gpu/RowDrawData.hpp"

#include <QApplication>

#include <gtest/gtest.h>

#include <cmath>

using namespace corvix;
using corvix::testing::RecordingDevice;

using corvix::testing::pngBase64;
using corvix::testing::solid;

namespace {

bool sameColor(GpuFloat4 a, const QColor& b)
{
    const GpuFloat4 c = colorToSIMD(b);
    return std::abs(a.x - c.x) < 1e-4 && std::abs(a.y - c.y) < 1e-4 && std::abs(a.z - c.z) < 1e-4 &&
           std::abs(a.w - c.w) < 1e-4;
}

// A quad's lower and upper edges in pixels.
struct Span {
    float low, high;
};
Span ySpan(const ImageDraw& draw) { return {draw.vertices[0].position.y, draw.vertices[4].position.y}; }
Span vSpan(const ImageDraw& draw) { return {draw.vertices[0].texCoord.y, draw.vertices[4].texCoord.y}; }

struct GpuRowFixture : ::testing::Test {
    std::shared_ptr<RecordingDevice> device = std::make_shared<RecordingDevice>();
    GlyphRasterizer rasterizer;
    std::unique_ptr<GlyphAtlas> gray = GlyphAtlas::make(*device, 256, 2048, GlyphAtlasFormat::grayscale);
    std::unique_ptr<GlyphAtlas> color = GlyphAtlas::make(*device, 256, 2048, GlyphAtlasFormat::bgra);
    GlyphEntries entries{rasterizer, *gray, *color};
    ShaperCache shaper;
    GpuImageTextures images{*device};
    TerminalView view{QRect(0, 0, 800, 480), QFont(QStringLiteral("DejaVu Sans Mono"), 11)};
    RowDrawBuilder builder{view, entries, *gray, *color, shaper, images};
    const double scale = 2;

    void SetUp() override
    {
        view.show();
        QApplication::processEvents();
    }

    Buffer& buffer() { return view.getTerminal().buffer(); }
    QSizeF cell() const { return view.cellSize(); }
    int cols() { return view.getTerminal().cols; }
    // Screen row `r` with nothing scrolled back.
    RowDrawData row(int r) { return builder.build(buffer().yBase() + r, buffer().yBase(), scale); }
    // The y-up bottom edge of screen row `r` in pixels.
    double rowBottomPx(int r) const { return (view.rect().height() - (r + 1) * cell().height()) * scale; }
    double viewWidthPx() const { return view.width() * scale; }
};

TEST_F(GpuRowFixture, NothingToDrawGivesNineEmptyLists)
{
    view.feed("\x1b[2;1H\x1b[31mx");
    EXPECT_TRUE(builder.build(-1, 0, scale).empty());
    EXPECT_TRUE(builder.build(buffer().lines().count(), 0, scale).empty());
    EXPECT_TRUE(row(3).empty());
    EXPECT_FALSE(row(1).empty());
}

TEST_F(GpuRowFixture, ABackgroundReachingTheLastColumnRunsOnToTheDrawablesEdge)
{
    const int last = cols() - 1;
    const double cw = cell().width() * scale;
    const QColor native = view.nativeBackgroundColor();
    // Row 0: red reaches the last column; row 1: a selection in the native colour does.
    view.feed("\x1b[1;" + std::to_string(last) + "H\x1b[41mab\x1b[0m");
    view.feed("\x1b[2;1Hxyz");

    const RowDrawData first = row(0);
    ASSERT_EQ(first.backgroundCells.size(), 2u);
    const ColorCell& strip = first.backgroundCells[0];
    const ColorCell& red = first.backgroundCells[1];
    EXPECT_TRUE(sameColor(red.color, view.mapColor(Attribute::Color::ansi256(1), false, false, true)));
    EXPECT_NEAR(red.position.x, (last - 1) * cw, 1e-3);
    EXPECT_NEAR(red.position.x + red.size.x, cols() * cw, 1e-3);
    EXPECT_NEAR(red.position.y, rowBottomPx(0), 1e-3);
    EXPECT_NEAR(red.size.y, cell().height() * scale, 1e-3);
    EXPECT_TRUE(sameColor(strip.color, native));
    EXPECT_NEAR(strip.position.x, cols() * cw, 1e-3);
    EXPECT_NEAR(strip.position.x + strip.size.x, viewWidthPx(), 1e-3);

    view.setSelectedTextBackgroundColor(native);
    view.selectAll();
    const RowDrawData second = row(1);
    ASSERT_FALSE(second.backgroundCells.empty());
    const ColorCell& stretched = second.backgroundCells.back();
    EXPECT_TRUE(sameColor(stretched.color, native));
    EXPECT_NEAR(stretched.position.x + stretched.size.x, viewWidthPx(), 1e-3);
}

TEST_F(GpuRowFixture, TheSelectionBackgroundWinsOverTheRunsOwn)
{
    view.feed("\x1b[42mabcd\x1b[0m");
    view.setSelectedTextBackgroundColor(QColor(10, 20, 200));
    view.selectAll();
    const RowDrawData data = row(0);
    ASSERT_FALSE(data.backgroundCells.empty());
    EXPECT_TRUE(sameColor(data.backgroundCells.front().color, QColor(10, 20, 200)));
    EXPECT_NEAR(data.backgroundCells.front().position.x, 0, 1e-3);
}

// The glyph runs the builder shapes `text` into, in the normal face.
std::shared_ptr<const ShaperRun> shaped(GpuRowFixture& f, const QString& text)
{
    return f.shaper.shape(text, f.view.fonts().face(FontFace::normal));
}

TEST_F(GpuRowFixture, GlyphsSnapToTheirCellsAndMarksKeepTheirOffset)
{
    // "x" with a combining acute in cell 0, then "y" in cell 1.
    view.feed("x\xcc\x81y");
    const RowDrawData data = row(0);
    ASSERT_EQ(data.glyphCellsGray.size(), 3u);
    const auto run = shaped(*this, QStringLiteral("x\u0301y"));
    ASSERT_TRUE(run);
    const ShaperGlyphRun& glyphRun = run->glyphRuns.front();
    ASSERT_EQ(glyphRun.glyphs.size(), 3u);
    const GpuFont device = entries.scaledFontFor(glyphRun.font, scale);
    const double baseline = view.rect().height() - cell().height() +
                            std::ceil(view.faceMetrics(FontFace::normal).descent() +
                                      view.faceMetrics(FontFace::normal).leading());
    for (size_t i = 0; i < 3; i++) {
        const auto entry = entries.glyphEntry(device, glyphRun.glyphs[i]);
        ASSERT_TRUE(entry);
        // The mark keeps its shaped offset from its base; "y" starts at its cell's left edge.
        const double cellX = i == 2 ? cell().width() : glyphRun.positions[i].x() - glyphRun.positions[0].x();
        SCOPED_TRACE(i);
        EXPECT_NEAR(data.glyphCellsGray[i].position.x, cellX * scale + entry->bearing.x(), 1e-3);
        EXPECT_NEAR(data.glyphCellsGray[i].position.y,
                    (baseline + glyphRun.positions[i].y()) * scale + entry->bearing.y(), 1e-3);
        EXPECT_NEAR(data.glyphCellsGray[i].size.x, entry->size.width(), 1e-3);
    }
}

TEST_F(GpuRowFixture, ALigatureOverTwoCellsStartsEachCellAtItsLeftEdge)
{
    // A stub shaping of "ab": two glyphs drawn 3 points apart, far from the 2-cell layout.
    const auto real = shaped(*this, QStringLiteral("zz"));
    ASSERT_TRUE(real);
    ShaperGlyphRun glyphRun = real->glyphRuns.front();
    glyphRun.positions = {QPointF(0, 0), QPointF(3, 0)};
    glyphRun.stringIndices = {0, 1};
    auto stub = std::make_shared<ShaperRun>();
    stub->glyphRuns = {glyphRun};
    stub->positions = glyphRun.positions;
    stub->stringIndices = glyphRun.stringIndices;
    stub->glyphCount = 2;
    shaper.insert({glyphRun.font.postScriptName, glyphRun.font.raw.pixelSize(), QStringLiteral("ab")}, stub);
    ASSERT_EQ(shaped(*this, QStringLiteral("ab")), stub);
    view.feed("ab");
    const RowDrawData data = row(0);
    ASSERT_EQ(data.glyphCellsGray.size(), 2u);
    const auto entry = entries.glyphEntry(entries.scaledFontFor(glyphRun.font, scale), glyphRun.glyphs[1]);
    EXPECT_NEAR(data.glyphCellsGray[1].position.x, cell().width() * scale + entry->bearing.x(), 1e-3);
}

TEST_F(GpuRowFixture, AWideGlyphIsFittedIntoItsSlotAndItsUnderlineCoversOneCell)
{
    // Rows too low for the glyph: the fit shrinks it and moves it vertically too.
    view.setLineSpacing(0.6);
    view.resetFont();
    view.feed("\x1b[4m\xe4\xb8\xad\x1b[0m");
    const RowDrawData data = row(0);
    const auto run = shaped(*this, QStringLiteral("中"));
    ASSERT_TRUE(run);
    const ShaperGlyphRun& glyphRun = run->glyphRuns.front();
    const auto entry = entries.glyphEntry(entries.scaledFontFor(glyphRun.font, scale), glyphRun.glyphs[0]);
    ASSERT_TRUE(entry);
    const GlyphSlotFit fit = view.glyphSlotFit(glyphRun.font.raw, glyphRun.glyphs[0], 2);
    ASSERT_LT(fit.scale, 1);
    ASSERT_GT(std::abs(fit.dy), 0.5);
    const QFontMetricsF& normal = view.faceMetrics(FontFace::normal);
    const double baseline = view.rect().height() - cell().height() + std::ceil(normal.descent() + normal.leading());
    const auto& cells = entry->isColor ? data.glyphCellsColor : data.glyphCellsGray;
    ASSERT_EQ(cells.size(), 1u);
    // The fit's dy grows downward; here y grows upward.
    EXPECT_NEAR(cells[0].position.x, fit.dx * scale + entry->bearing.x() * fit.scale, 1e-3);
    EXPECT_NEAR(cells[0].position.y,
                (baseline + glyphRun.positions[0].y() - fit.dy) * scale + entry->bearing.y() * fit.scale, 1e-3);
    EXPECT_NEAR(cells[0].size.x, entry->size.width() * fit.scale, 1e-3);

    ASSERT_EQ(data.decorationCells.size(), 1u);
    EXPECT_NEAR(data.decorationCells[0].position.x, 0, 1e-3);
    EXPECT_NEAR(data.decorationCells[0].size.x, std::ceil(cell().width()) * scale, 1e-3);
}

TEST_F(GpuRowFixture, DoubleUnderlinesAndStrikethrough)
{
    const QFontMetricsF& normal = view.faceMetrics(FontFace::normal);
    const double baseline = std::ceil(normal.descent() + normal.leading());
    const double t = std::max(0.5, std::round(normal.lineWidth() * scale) / scale);
    const auto centre = [&](const ColorCell& c, int r) {
        return (c.position.y + c.size.y / 2) / scale - (rowBottomPx(r) / scale);
    };
    view.feed("\x1b[4:2mA\x1b[0m\r\n\x1b[9mA\x1b[0m");

    const RowDrawData underlined = row(0);
    ASSERT_EQ(underlined.decorationCells.size(), 2u);
    const double first = centre(underlined.decorationCells[0], 0);
    EXPECT_NEAR(first, baseline - normal.underlinePos(), 0.5 / scale);
    // One line thickness and one point below the first.
    EXPECT_NEAR(centre(underlined.decorationCells[1], 0), first - t - 1, 0.5 / scale);
    for (const ColorCell& c : underlined.decorationCells) EXPECT_NEAR(c.size.y, t * scale, 1.0);

    const RowDrawData struck = row(1);
    ASSERT_EQ(struck.decorationCells.size(), 1u);
    EXPECT_NEAR(centre(struck.decorationCells[0], 1), (normal.xHeight() + t) * 0.5 + baseline, 0.5 / scale);
}

TEST_F(GpuRowFixture, RenderModesScaleAndClipTheGlyphs)
{
    // The same glyph, one column in, on a single row and on the three other kinds.
    view.feed(" A\r\n\x1b#6 A\r\n\x1b#3 A\r\n\x1b#4 A");
    const auto quad = [&](int r) {
        const RowDrawData data = row(r);
        EXPECT_EQ(data.glyphCellsGray.size(), 1u);
        return data.glyphCellsGray.empty() ? TextCell{} : data.glyphCellsGray.front();
    };
    const TextCell single = quad(0);
    const double rowHeightPx = cell().height() * scale;
    const float low = single.position.y - float(rowBottomPx(0));
    const float high = low + single.size.y;

    const TextCell wide = quad(1);
    EXPECT_NEAR(wide.position.x, 2 * single.position.x, 1e-3);
    EXPECT_NEAR(wide.size.x, 2 * single.size.x, 1e-3);
    EXPECT_NEAR(wide.position.y - rowBottomPx(1), low, 1e-3);
    EXPECT_NEAR(wide.size.y, single.size.y, 1e-3);
    EXPECT_NEAR(wide.texSize.y, single.texSize.y, 1e-6);

    // Upper half: scaled about the row's top edge, the part below the row cut away.
    const TextCell top = quad(2);
    const double topEdge = rowHeightPx;
    EXPECT_NEAR(top.position.y - rowBottomPx(2), 0, 1e-3);
    EXPECT_NEAR(top.position.y + top.size.y - rowBottomPx(2), 2 * (high - topEdge) + topEdge, 1e-3);
    EXPECT_LT(top.texSize.y, single.texSize.y);
    EXPECT_NEAR(top.position.x, 2 * single.position.x, 1e-3);

    // Lower half: scaled about the bottom edge, the part above the row cut away.
    const TextCell bottom = quad(3);
    EXPECT_NEAR(bottom.position.y - rowBottomPx(3), 2 * low, 1e-3);
    EXPECT_NEAR(bottom.position.y + bottom.size.y - rowBottomPx(3), rowHeightPx, 1e-3);
    EXPECT_LT(bottom.texSize.y, single.texSize.y);
    EXPECT_NEAR(bottom.texOrigin.y, single.texOrigin.y, 1e-6);
}

TEST_F(GpuRowFixture, KittyImagesByLayerAndOrderWithTheirOffsetMovingThemDown)
{
    const QSizeF c = cell();
    const int w = int(c.width());
    const int h = int(c.height());
    // On row 0: z -1 (id 1), then z 0 with ids 9 and 3 (drawn 3 before 9), the last moved 4 pixels down.
    view.feed("\x1b_Ga=T,f=100,i=1,z=-1,C=1,q=2;" + pngBase64(solid(w, h, Qt::blue)) + "\x1b\\");
    view.feed("\x1b[1;3H\x1b_Ga=T,f=100,i=9,z=0,C=1,q=2;" + pngBase64(solid(2 * w, h, Qt::green)) + "\x1b\\");
    view.feed("\x1b[1;6H\x1b_Ga=T,f=100,i=3,z=0,Y=4,C=1,q=2;" + pngBase64(solid(3 * w, h, Qt::red)) + "\x1b\\");
    // On row 1: a Sixel picture.
    view.feed("\x1b[2;1H\x1bPq#1;2;100;0;0#1!20~\x1b\\");

    const RowDrawData data = row(0);
    ASSERT_EQ(data.underImageDraws.size(), 1u);
    ASSERT_EQ(data.overImageDraws.size(), 2u);
    EXPECT_TRUE(data.otherImageDraws.empty());
    const double rowTopPx = rowBottomPx(0) + c.height() * scale;
    // Id 3 (at column 5, 3 cells wide) first, then id 9 at column 2.
    const ImageDraw& three = data.overImageDraws[0];
    const ImageDraw& nine = data.overImageDraws[1];
    EXPECT_NEAR(three.vertices[0].position.x, 5 * c.width() * scale, 1e-3);
    EXPECT_NEAR(nine.vertices[0].position.x, 2 * c.width() * scale, 1e-3);
    EXPECT_NEAR(ySpan(nine).high, rowTopPx, 1e-3);
    // The offset is in the view's own pixels (backing scale 1), not the frame's scale of 2.
    EXPECT_NEAR(ySpan(three).high, rowTopPx - 4 * scale, 1e-3);
    EXPECT_NEAR(ySpan(three).low, rowTopPx - 4 * scale - h * scale, 1e-3);
    EXPECT_NEAR(vSpan(three).low, 0, 1e-6);
    EXPECT_NEAR(vSpan(three).high, 1, 1e-6);

    const RowDrawData sixel = row(1);
    EXPECT_EQ(sixel.otherImageDraws.size(), 1u);
    EXPECT_TRUE(sixel.underImageDraws.empty() && sixel.overImageDraws.empty());
}

TEST_F(GpuRowFixture, TwoStripsOfOnePictureEachShowTheirHalf)
{
    const int h = int(cell().height());
    view.feed("\x1b]1337;File=inline=1;width=40px;height=" + std::to_string(2 * h) + "px;preserveAspectRatio=0:" +
              pngBase64(solid(40, 2 * h, Qt::red)) + "\x07");
    const RowDrawData upper = row(0);
    const RowDrawData lower = row(1);
    ASSERT_EQ(upper.otherImageDraws.size(), 1u);
    ASSERT_EQ(lower.otherImageDraws.size(), 1u);
    // Textures hold the bottom row first: the upper strip shows v 0.5 to 1.
    EXPECT_NEAR(vSpan(upper.otherImageDraws[0]).low, 0.5, 1e-6);
    EXPECT_NEAR(vSpan(upper.otherImageDraws[0]).high, 1, 1e-6);
    EXPECT_NEAR(vSpan(lower.otherImageDraws[0]).low, 0, 1e-6);
    EXPECT_NEAR(vSpan(lower.otherImageDraws[0]).high, 0.5, 1e-6);
    EXPECT_NEAR(ySpan(upper.otherImageDraws[0]).low, rowBottomPx(0), 1e-3);
    EXPECT_NEAR(ySpan(lower.otherImageDraws[0]).high, rowBottomPx(0), 1e-3);
}

TEST_F(GpuRowFixture, PlaceholderCellsShowTheirPieceOfTheFirstCoveringPlacement)
{
    QImage picture(40, 20, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::red);
    view.feed("\x1b_Ga=t,f=100,i=5,q=2;" + pngBase64(picture) + "\x1b\\");
    // Two virtual placements that cover the first two cells: the lower placement id is the one.
    view.feed("\x1b_Ga=p,U=1,i=5,p=9,c=3,r=1,q=2\x1b\\");
    view.feed("\x1b_Ga=p,U=1,i=5,p=2,c=2,r=1,q=2\x1b\\");
    // Four placeholder cells of image 5 with placement id 0: columns 0 to 3 of row 0. Column 2
    // only the 3-cell placement covers; column 3 none does, and gives nothing.
    const std::string placeholder = "\xf4\x8e\xbb\xae";
    view.feed("\x1b[38;5;5m" + placeholder + "\xcc\x85\xcc\x85" + placeholder + placeholder + placeholder + "\x1b[0m");
    const RowDrawData data = row(0);
    ASSERT_EQ(data.placeholderImageDraws.size(), 3u);
    const QSizeF c = cell();
    // The 2:1 picture fitted into two cells is cut at the cells' common edge.
    const QRectF fitted = TerminalView::kittyAspectFitRect(QSizeF(40, 20), QRectF(0, 0, 2 * c.width(), c.height()));
    const ImageDraw& left = data.placeholderImageDraws[0];
    const ImageDraw& right = data.placeholderImageDraws[1];
    EXPECT_NEAR(left.vertices[0].texCoord.x, 0, 1e-6);
    EXPECT_NEAR(left.vertices[4].texCoord.x, c.width() / fitted.width(), 1e-6);
    EXPECT_NEAR(right.vertices[0].texCoord.x, c.width() / fitted.width(), 1e-6);
    EXPECT_NEAR(right.vertices[4].texCoord.x, 1, 1e-6);
    EXPECT_NEAR(right.vertices[0].position.x, c.width() * scale, 1e-3);
    EXPECT_NEAR(ySpan(left).high - ySpan(left).low, fitted.height() * scale, 1e-3);

    // Both drawing paths read the placements in placement-id order, whatever the store's order.
    for (int id : {7, 3, 5}) view.feed("\x1b_Ga=p,U=1,i=5,p=" + std::to_string(id) + ",c=1,r=1,q=2\x1b\\");
    std::vector<uint32_t> ids;
    const auto placements = view.virtualPlacementsByImageId();
    for (const KittyPlacementRecord& record : placements.at(5)) ids.push_back(record.placementId);
    EXPECT_EQ(ids, (std::vector<uint32_t>{2, 3, 5, 7, 9}));
}

TEST_F(GpuRowFixture, PowerlineAndBoxDrawingCells)
{
    view.setCustomBlockGlyphs(true);
    view.feed("\xee\x82\xb0\r\n\xe2\x94\x80");
    const int cellWidthPx = int(std::round(cell().width() * scale));
    const int cellHeightPx = int(std::round(cell().height() * scale));

    const RowDrawData powerline = row(0);
    ASSERT_EQ(powerline.glyphCellsGray.size(), 1u);
    EXPECT_NEAR(powerline.glyphCellsGray[0].size.x, cellWidthPx, 1e-3);
    EXPECT_NEAR(powerline.glyphCellsGray[0].size.y, cellHeightPx, 1e-3);
    EXPECT_NEAR(powerline.glyphCellsGray[0].position.y, std::round(rowBottomPx(0)), 1e-3);
    ASSERT_EQ(powerline.powerlineJoinCells.size(), 1u);
    EXPECT_NEAR(powerline.powerlineJoinCells[0].size.x, 1, 1e-3);
    EXPECT_NEAR(powerline.powerlineJoinCells[0].size.y, cellHeightPx, 1e-3);

    // At 1.25 pixels per point the row's fractional height and the cell's whole pixels differ.
    const double fractional = cell().height() * 1.25;
    ASSERT_NE(fractional, std::round(fractional));
    for (const bool antiAlias : {false, true}) {
        view.setAntiAliasCustomBlockGlyphs(antiAlias);
        const RowDrawData box = builder.build(buffer().yBase() + 1, buffer().yBase(), 1.25);
        ASSERT_EQ(box.glyphCellsGray.size(), 1u);
        EXPECT_NEAR(box.glyphCellsGray[0].size.y, antiAlias ? fractional : std::round(fractional), 1e-3);
    }
}

} // namespace
