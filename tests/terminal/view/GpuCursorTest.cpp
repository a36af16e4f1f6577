// The cursor's GPU records from a real view's terminal, through the recording GL seam: the quads
// of each style in drawable pixels (y up), the hollow frame without the focus, when nothing
// shows, and the glyph a block shows: from the font, a drawn Powerline shape, a glyph too big
// for its cell, and the cell under the cursor on a right-to-left row.
#include "terminal/view/RecordingGpu.hpp"
#include "terminal/view/TerminalView.hpp"
#include "terminal/view/gpu/CursorDrawData.hpp"
#include "terminal/view/gpu/GlyphEntries.hpp"
#include "terminal/view/gpu/TextShaper.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

using namespace corvix;
using corvix::testing::RecordingDevice;

namespace {

// One quad of six vertices by its edges; the vertex order is checked as the quads are read.
struct Quad {
    float x0, y0, x1, y1;
    bool operator==(const Quad&) const = default;
};

void PrintTo(const Quad& q, std::ostream* out)
{
    *out << "{" << q.x0 << ", " << q.y0 << ", " << q.x1 << ", " << q.y1 << "}";
}

// Bottom-left, bottom-right, top-left, bottom-right, top-right, top-left.
template <typename Vertex>
std::vector<Quad> quadsOf(const std::vector<Vertex>& vertices)
{
    EXPECT_EQ(vertices.size() % 6, 0u);
    std::vector<Quad> quads;
    for (size_t i = 0; i + 6 <= vertices.size(); i += 6) {
        const Vertex* v = &vertices[i];
        const Quad q{v[0].position.x, v[0].position.y, v[4].position.x, v[4].position.y};
        EXPECT_EQ(v[1].position, (GpuFloat2{q.x1, q.y0}));
        EXPECT_EQ(v[2].position, (GpuFloat2{q.x0, q.y1}));
        EXPECT_EQ(v[3].position, v[1].position);
        EXPECT_EQ(v[5].position, v[2].position);
        quads.push_back(q);
    }
    return quads;
}

// The texture rectangle of a glyph quad: u0, v0 at its bottom-left, u1, v1 at its top-right.
Quad texOf(const GlyphVertex* quad)
{
    return {quad[0].texCoord.x, quad[0].texCoord.y, quad[4].texCoord.x, quad[4].texCoord.y};
}

struct CursorFixture : ::testing::Test {
    // 10 x 20 cells, 10 rows, 200 points high: the pixels below follow from these.
    TerminalView view{QRect(0, 0, 400, 200), QFont(QStringLiteral("DejaVu Sans Mono"), 13)};
    std::shared_ptr<RecordingDevice> device = std::make_shared<RecordingDevice>();
    GlyphRasterizer rasterizer;
    std::unique_ptr<GlyphAtlas> gray = GlyphAtlas::make(*device, 256, 1024, GlyphAtlasFormat::grayscale);
    std::unique_ptr<GlyphAtlas> color = GlyphAtlas::make(*device, 256, 1024, GlyphAtlasFormat::bgra);
    GlyphEntries entries{rasterizer, *gray, *color};
    ShaperCache shaper;

    void SetUp() override
    {
        ASSERT_EQ(view.cellSize(), QSizeF(10, 20));
        ASSERT_EQ(view.height(), 200);
        view.setHasFocus(true);
        view.setCaretColor(QColor(255, 0, 0));
    }

    // The frame the pass would give for what the view shows now.
    CursorFrame frame(double scale = 2)
    {
        const QFontMetricsF& metrics = view.faceMetrics(FontFace::normal);
        const int yDisp = view.getTerminal().buffer().yDisp();
        return {scale, 10, 20, metrics.descent(), metrics.leading(), yDisp, yDisp, yDisp + view.getTerminal().rows - 1,
                true};
    }
    CursorDrawData build(const CursorFrame& f) { return buildCursorDrawData(view, entries, shaper, *gray, *color, f); }
    CursorDrawData build() { return build(frame()); }
};

// ---- Shapes -----------------------------------------------------------------------------------

TEST_F(CursorFixture, EachStyleAndStateGivesItsQuads)
{
    // The cursor stands on screen row 1 unless a case moves it: at scale 2 its cell spans
    // y 320 ... 360 (the view is 400 pixels high, y up).
    struct Case {
        const char* label;
        const char* feed;
        bool focused;
        std::function<void(CursorFrame&)> adjust;
        std::vector<Quad> expected;
        // A focused block over a letter also shows its glyph.
        bool glyph = false;
    };
    const auto keep = [](CursorFrame&) {};
    const std::vector<Quad> hollowNarrow{{20, 320, 40, 326}, {20, 354, 40, 360}, {20, 326, 26, 354}, {34, 326, 40, 354}};
    const std::vector<Quad> quarterHollow{{2.5, 40, 5, 41}, {2.5, 44, 5, 45}, {2.5, 41, 3.5, 44}, {4, 41, 5, 44}};
    const Case cases[] = {
        {"block on a narrow cell", "\x1b[2 q\r\nab\x1b[2;2H", true, keep, {{20, 320, 40, 360}}, true},
        {"block on a wide character", "\x1b[2 q\r\na\xe4\xb8\xad\x1b[2;2H", true, keep, {{20, 320, 60, 360}}, true},
        {"block on its right half", "\x1b[2 q\r\na\xe4\xb8\xad\x1b[2;3H", true, keep, {{40, 320, 60, 360}}},
        {"block on a double-width line", "\x1b[2 q\r\n\x1b#6ab\x1b[2;2H", true, keep, {{40, 320, 80, 360}}, true},
        {"bar", "\x1b[6 q\r\nab\x1b[2;2H", true, keep, {{20, 320, 24, 360}}},
        {"underline", "\x1b[4 q\r\nab\x1b[2;2H", true, keep, {{20, 320, 40, 324}}},
        {"unfocused bar: hollow", "\x1b[6 q\r\nab\x1b[2;2H", false, keep, hollowNarrow},
        {"unfocused underline: hollow", "\x1b[4 q\r\nab\x1b[2;2H", false, keep, hollowNarrow},
        {"unfocused block on a wide character",
         "\x1b[2 q\r\na\xe4\xb8\xad\x1b[2;2H",
         false,
         keep,
         {{20, 320, 60, 326}, {20, 354, 60, 360}, {20, 326, 26, 354}, {54, 326, 60, 354}}},
        {"blinking bar, off phase", "\x1b[5 q\r\nab\x1b[2;2H", true, [](CursorFrame& f) { f.blinkOn = false; }, {}},
        {"blinking block, off phase, unfocused",
         "\x1b[1 q\r\nab\x1b[2;2H",
         false,
         [](CursorFrame& f) { f.blinkOn = false; },
         {}},
        {"steady bar in the off phase still shows",
         "\x1b[6 q\r\nab\x1b[2;2H",
         true,
         [](CursorFrame& f) { f.blinkOn = false; },
         {{20, 320, 24, 360}}},
        {"bar at scale 0.25: 1 pixel", "\x1b[6 q\r\nab\x1b[2;1H", true, [](CursorFrame& f) { f.scale = 0.25; },
         {{0, 40, 1, 45}}},
        {"underline at scale 0.25", "\x1b[4 q\r\nab\x1b[2;2H", true, [](CursorFrame& f) { f.scale = 0.25; },
         {{2.5, 40, 5, 41}}},
        {"hollow at scale 0.25", "\x1b[4 q\r\nab\x1b[2;2H", false, [](CursorFrame& f) { f.scale = 0.25; },
         quarterHollow},
        {"cursor row above the first shown row",
         "\x1b[2 q\r\nab\x1b[2;2H",
         true,
         [](CursorFrame& f) { f.yDisp = f.firstRow = 2; f.lastRow = 11; },
         {}},
        {"hidden", "\x1b[2 q\r\nab\x1b[2;2H\x1b[?25l", true, keep, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        view.feed("\x1b" "c");
        view.feed(c.feed);
        view.setHasFocus(c.focused);
        view.setCaretColor(QColor(255, 0, 0));
        CursorFrame f = frame();
        c.adjust(f);
        const CursorDrawData data = build(f);
        EXPECT_EQ(quadsOf(data.colorVertices), c.expected);
        for (const ColorVertex& v : data.colorVertices) EXPECT_EQ(v.color, (GpuFloat4{1, 0, 0, 1}));
        EXPECT_EQ(data.glyphVerticesGray.size(), c.glyph ? 6u : 0u);
        EXPECT_TRUE(data.glyphVerticesColor.empty());
    }
}

TEST_F(CursorFixture, ScrolledBackPastTheCursorShowsNothing)
{
    view.feed("\x1b[2 q");
    for (int i = 0; i < 30; ++i) view.feed("line\r\n");
    ASSERT_EQ(quadsOf(build().colorVertices).size(), 1u);
    view.scrollTo(0, false);
    ASSERT_EQ(view.getTerminal().buffer().yDisp(), 0);
    const CursorDrawData data = build();
    EXPECT_TRUE(data.colorVertices.empty());
    EXPECT_TRUE(data.glyphVerticesGray.empty());
}

// ---- The glyph under a block ------------------------------------------------------------------

TEST_F(CursorFixture, ABlockShowsTheFontsGlyphInTheCaretTextColour)
{
    // A full block from the font fills its cell: once clipped, its quad is the cursor's.
    view.feed("\x1b[2 q\xe2\x96\x88\x1b[H");
    view.setCaretTextColor(QColor(0, 0, 255));
    for (double scale : {1.0, 2.0}) {
        SCOPED_TRACE(scale);
        const CursorDrawData data = build(frame(scale));
        const auto block = quadsOf(data.colorVertices);
        ASSERT_EQ(block, (std::vector<Quad>{{0, float(180 * scale), float(10 * scale), float(200 * scale)}}));
        const auto glyph = quadsOf(data.glyphVerticesGray);
        ASSERT_EQ(glyph.size(), 1u);
        EXPECT_NEAR(glyph[0].x0, block[0].x0, 1);
        EXPECT_NEAR(glyph[0].x1, block[0].x1, 1);
        EXPECT_NEAR(glyph[0].y0, block[0].y0, 1);
        EXPECT_NEAR(glyph[0].y1, block[0].y1, 1);
        EXPECT_EQ(data.glyphVerticesGray[0].color, (GpuFloat4{0, 0, 1, 1}));
        EXPECT_TRUE(data.glyphVerticesColor.empty());
    }
    // Drawn from the font, not as a custom shape; one glyph per scale.
    EXPECT_EQ(entries.customGlyphCount(), 0u);
    EXPECT_EQ(entries.glyphCount(), 2u);

    // Without a text colour of its own the caret shows the view's foreground.
    view.setCaretTextColor(std::nullopt);
    view.setNativeForegroundColor(QColor(0, 255, 0));
    const CursorDrawData data = build();
    ASSERT_FALSE(data.glyphVerticesGray.empty());
    EXPECT_EQ(data.glyphVerticesGray[0].color, (GpuFloat4{0, 1, 0, 1}));
}

TEST_F(CursorFixture, ASolidPowerlineSeparatorIsTheDrawnShape)
{
    view.feed("\x1b[2 q\xee\x82\xb0\xee\x82\xb1\x1b[H");
    view.setCaretTextColor(QColor(0, 0, 255));
    const CursorDrawData data = build();
    // The cell-sized shape fills the block exactly; its texture is its whole region.
    EXPECT_EQ(quadsOf(data.glyphVerticesGray), (std::vector<Quad>{{0, 360, 20, 400}}));
    ASSERT_EQ(entries.customGlyphCount(), 1u);
    const auto entry = entries.customGlyphEntry(0xE0B0, 20, 40, 2, 0, true);
    ASSERT_TRUE(entry);
    const float side = float(gray->size());
    EXPECT_EQ(texOf(data.glyphVerticesGray.data()),
              (Quad{entry->region.x / side, entry->region.y / side, (entry->region.x + 20) / side,
                    (entry->region.y + 40) / side}));
    for (const GlyphVertex& v : data.glyphVerticesGray) EXPECT_EQ(v.color, (GpuFloat4{0, 0, 1, 1}));
    EXPECT_EQ(entries.glyphCount(), 0u);

    // A thin separator, or any separator with custom glyphs off, comes from the font.
    view.feed("\x1b[1;2H");
    build();
    view.setCustomBlockGlyphs(false);
    view.feed("\x1b[1;1H");
    build();
    EXPECT_EQ(entries.customGlyphCount(), 1u);
}

TEST_F(CursorFixture, AGlyphTooBigForItsCellIsClippedToTheBlock)
{
    // A watch asked for as text takes one cell; its colour picture is wider than the cell. One
    // cell gets no slot fit (as on the caret), so the picture keeps its size and is cut.
    view.feed("\x1b[2 q\xe2\x8c\x9a\xef\xb8\x8e\x1b[H");
    ASSERT_EQ(view.getTerminal().buffer().lines()[0][0].width, 1);
    const CursorDrawData data = build();
    ASSERT_EQ(quadsOf(data.colorVertices), (std::vector<Quad>{{0, 360, 20, 400}}));
    const auto picture = quadsOf(data.glyphVerticesColor);
    ASSERT_EQ(picture.size(), 1u);
    EXPECT_TRUE(data.glyphVerticesGray.empty());
    EXPECT_EQ(picture[0].x1, 20); // cut at the block's right edge
    EXPECT_GE(picture[0].x0, 0);
    EXPECT_GE(picture[0].y0, 360);
    EXPECT_LE(picture[0].y1, 400);
    // The texture is cut in proportion: less than the region's width is shown.
    const Quad tex = texOf(data.glyphVerticesColor.data());
    const float shownU = (tex.x1 - tex.x0) * float(color->size());
    EXPECT_LT(shownU, picture[0].x1 - picture[0].x0 + 1);
    EXPECT_GT(shownU, picture[0].x1 - picture[0].x0 - 1);
    EXPECT_EQ(data.glyphVerticesColor[0].color, (GpuFloat4{1, 1, 1, 1})); // its own colours
}

TEST_F(CursorFixture, AWideGlyphTallerThanItsCellsIsShrunkByTheSlotFit)
{
    // Lines closer together than the emoji is tall: the two-cell slot fit shrinks it and centres
    // it on the cell, which in y-up pixels means moving it by -dy.
    view.setLineSpacing(0.7);
    view.resetFont();
    const QSizeF cell = view.cellSize();
    ASSERT_LT(cell.height(), 20);
    view.feed("\x1b[2 q\xf0\x9f\x98\x80\x1b[H");
    ASSERT_EQ(view.getTerminal().buffer().lines()[0][0].width, 2);
    const auto run = shaper.shape(QStringLiteral("\U0001F600"), view.fonts().normal);
    ASSERT_TRUE(run);
    const ShaperGlyphRun& glyphRun = run->glyphRuns[0];
    const GlyphSlotFit fit = view.glyphSlotFit(glyphRun.font.raw, glyphRun.glyphs[0], 2);
    ASSERT_LT(fit.scale, 1);
    ASSERT_NE(fit.dy, 0);

    CursorFrame f = frame(1);
    f.cellWidth = cell.width();
    f.cellHeight = cell.height();
    const CursorDrawData data = build(f);
    const auto block = quadsOf(data.colorVertices);
    ASSERT_EQ(block.size(), 1u);
    const auto glyphs = quadsOf(data.glyphVerticesGray.empty() ? data.glyphVerticesColor : data.glyphVerticesGray);
    ASSERT_EQ(glyphs.size(), 1u);
    const auto entry = entries.glyphEntry(entries.scaledFontFor(glyphRun.font, 1), glyphRun.glyphs[0]);
    ASSERT_TRUE(entry);
    const double cellBottom = 200 - cell.height();
    const double baseline = cellBottom + std::ceil(f.lineDescent + f.lineLeading);
    const double left = fit.dx + entry->bearing.x() * fit.scale;
    const double bottom = baseline + glyphRun.positions[0].y() - fit.dy + entry->bearing.y() * fit.scale;
    const Quad unclipped{float(left), float(bottom), float(left + entry->size.width() * fit.scale),
                         float(bottom + entry->size.height() * fit.scale)};
    const Quad expected{std::max(unclipped.x0, block[0].x0), std::max(unclipped.y0, block[0].y0),
                        std::min(unclipped.x1, block[0].x1), std::min(unclipped.y1, block[0].y1)};
    EXPECT_EQ(glyphs[0], expected);
    // Centred on the cell, within the bitmap's whole-pixel bearing.
    EXPECT_NEAR((unclipped.y0 + unclipped.y1) / 2, cellBottom + cell.height() / 2, 1.5);
}

// ---- Right-to-left rows -----------------------------------------------------------------------

TEST_F(CursorFixture, OnAReorderedRowTheCursorStandsAtTheVisualColumnOverItsOwnCell)
{
    // "abc " then Hebrew alef, bet, gimel, shown reversed: alef (logical column 4) at column 6.
    view.feed("\x1b[2 qabc \xd7\x90\xd7\x91\xd7\x92\x1b[1;5H");
    const std::optional<BidiRowLayout> layout = view.bidiLayout(0);
    ASSERT_TRUE(layout);
    ASSERT_EQ(layout->logicalToVisualCol[4], 6);
    const CursorDrawData data = build(frame(1));
    EXPECT_EQ(quadsOf(data.colorVertices), (std::vector<Quad>{{60, 180, 70, 200}}));
    // Where the CPU caret stands too.
    view.updateCursorPosition();
    EXPECT_EQ(view.caretFrame().x(), 60);

    // The glyph is alef's, the cursor cell's, though gimel is shown in that column.
    const auto alef = shaper.shape(QStringLiteral("\u05D0"), view.fonts().normal);
    ASSERT_TRUE(alef);
    const auto entry = entries.glyphEntry(entries.scaledFontFor(alef->glyphRuns[0].font, 1), alef->glyphRuns[0].glyphs[0]);
    ASSERT_TRUE(entry);
    const auto glyph = quadsOf(data.glyphVerticesGray);
    ASSERT_EQ(glyph.size(), 1u);
    EXPECT_GE(glyph[0].x0, 60);
    EXPECT_LE(glyph[0].x1, 70);
    const Quad tex = texOf(data.glyphVerticesGray.data());
    const float side = float(gray->size());
    EXPECT_GE(tex.x0 * side, entry->region.x);
    EXPECT_LE(tex.x1 * side, entry->region.x + entry->region.width);
    EXPECT_GE(tex.y0 * side, entry->region.y);
    EXPECT_LE(tex.y1 * side, entry->region.y + entry->region.height);
    EXPECT_EQ(entries.glyphCount(), 1u); // alef was found in the cache: no other glyph was drawn
}

} // namespace
