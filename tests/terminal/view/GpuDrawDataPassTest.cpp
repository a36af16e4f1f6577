// The draw-data pass over a real view offscreen, through the recording GL seam, with a row builder
// that counts the rows it is asked for: which rows a frame builds again, what the row cache keeps,
// and the rebuild loop around a glyph atlas that changes during a pass.
#include "terminal/view/AtlasLog.hpp"
#include "terminal/view/RecordingGpu.hpp"
#include "terminal/view/TerminalView.hpp"
#include "terminal/view/TestImages.hpp"
#include "terminal/view/gpu/DrawDataPass.hpp"

#include "terminal/bidi/TerminalBidi.hpp"

#include <QApplication>

#include <gtest/gtest.h>

#include <functional>
#include <numeric>
#include <optional>
#include <string>
#include <vector>

using namespace corvix;
using corvix::testing::AtlasLog;
using corvix::testing::pngBase64;
using corvix::testing::RecordingDevice;
using corvix::testing::RecordingGl;
using corvix::testing::solid;

namespace {

bool isEmpty(const DrawData& data)
{
    return data.rows.empty() && !data.frame && data.cursorColorVertices.empty() &&
           data.cursorGlyphVerticesGray.empty() && data.cursorGlyphVerticesColor.empty();
}

struct PassFixture : ::testing::Test {
    // 10 x 20 cells: 40 columns, 10 rows.
    explicit PassFixture(int atlasSide = 256, int atlasMax = 1024)
        : gray(GlyphAtlas::make(*device, atlasSide, atlasMax, GlyphAtlasFormat::grayscale)),
          color(GlyphAtlas::make(*device, atlasSide, atlasMax, GlyphAtlasFormat::bgra))
    {
    }

    std::shared_ptr<RecordingDevice> device = std::make_shared<RecordingDevice>();
    RecordingGl& gl = device->recorder;
    GlyphRasterizer rasterizer;
    std::unique_ptr<GlyphAtlas> gray;
    std::unique_ptr<GlyphAtlas> color;
    GlyphEntries entries{rasterizer, *gray, *color};
    ShaperCache shaper;
    GpuImageTextures images{*device};
    BufferPool pool{*device};
    FrameEncoder encoder{*device, pool};
    std::unique_ptr<TerminalView> view =
        std::make_unique<TerminalView>(QRect(0, 0, 400, 200), QFont(QStringLiteral("DejaVu Sans Mono"), 13));
    DrawDataPass pass{*view, entries, *gray, *color, shaper, images, encoder};

    // The buffer lines the row builder was asked for, in order, and whether both atlases were
    // frozen at each call.
    std::vector<int> built;
    std::vector<bool> frozenAtCall;
    DrawData last;
    double scale = 1;

    void SetUp() override
    {
        ASSERT_EQ(view->cellSize(), QSizeF(10, 20));
        view->show();
        QApplication::processEvents();
        pass.buildRow = [this, real = pass.buildRow](int row, int yDisp, double scale) {
            built.push_back(row);
            frozenAtCall.push_back(gray->frozen && color->frozen);
            return real(row, yDisp, scale);
        };
    }

    Buffer& buffer() { return view->getTerminal().buffer(); }
    int yDisp() { return buffer().yDisp(); }
    // One frame; the rows it built.
    std::vector<int> frame()
    {
        built.clear();
        frozenAtCall.clear();
        last = pass.buildDrawData(scale, true);
        return built;
    }
    // Screen rows `first` to `lastRow` as buffer lines.
    std::vector<int> screenRows(int first, int lastRow)
    {
        std::vector<int> rows(std::size_t(std::max(lastRow - first + 1, 0)));
        std::iota(rows.begin(), rows.end(), yDisp() + first);
        return rows;
    }
    std::vector<int> screenRows(std::initializer_list<int> rows)
    {
        std::vector<int> lines;
        for (int r : rows) lines.push_back(yDisp() + r);
        return lines;
    }
};

// ---- The row cache ------------------------------------------------------------------------------

TEST_F(PassFixture, TheSameScreenDrawnTwiceBuildsNoRowAndKeepsTheRowsBuffers)
{
    view->feed("hello\r\nworld");
    EXPECT_EQ(frame(), screenRows(0, 9));
    const DrawData first = last;
    const int made = gl.buffersMade;
    ASSERT_NE(first.rows[0].glyphGrayBuffer, nullptr);

    EXPECT_TRUE(frame().empty());
    EXPECT_EQ(gl.buffersMade, made);
    ASSERT_EQ(last.rows.size(), 10u);
    for (std::size_t r = 0; r < last.rows.size(); ++r) {
        EXPECT_EQ(last.rows[r].glyphGrayBuffer, first.rows[r].glyphGrayBuffer) << r;
        EXPECT_EQ(last.rows[r].glyphGrayCount, first.rows[r].glyphGrayCount) << r;
    }
}

TEST_F(PassFixture, AFrameBuildsTheChangedLinesAndTheVisiblePartOfTheDirtyRange)
{
    // Scrolled output: lines above yDisp exist.
    for (int i = 0; i < 25; ++i) view->feed("line " + std::to_string(i) + "\r\n");
    ASSERT_GE(yDisp(), 10);
    struct Case {
        const char* label;
        std::string feed;
        // Relative to yDisp.
        std::optional<std::pair<int, int>> dirty;
        std::vector<int> rebuilt; // screen rows
    };
    const std::vector<Case> cases = {
        {"a line written, no dirty range", "\x1b[4;1Hx", std::nullopt, {3}},
        {"a line written outside the dirty range", "\x1b[4;1Hy", std::pair{6, 7}, {3, 6, 7}},
        {"a dirty range over unchanged lines", "", std::pair{2, 4}, {2, 3, 4}},
        {"a dirty range wholly above yDisp", "", std::pair{-10, -1}, {}},
        {"a dirty range from above yDisp into the screen", "", std::pair{-3, 1}, {0, 1}},
        {"a dirty range running past the screen", "", std::pair{8, 40}, {8, 9}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        frame();
        view->feed(c.feed);
        if (c.dirty) view->gpuDirtyRange = std::pair{yDisp() + c.dirty->first, yDisp() + c.dirty->second};
        std::vector<int> rebuilt;
        for (int r : c.rebuilt) rebuilt.push_back(yDisp() + r);
        EXPECT_EQ(frame(), rebuilt);
        EXPECT_FALSE(view->gpuDirtyRange);
        EXPECT_EQ(last.rows.size(), 10u);
    }
}

TEST_F(PassFixture, ScrollingOneLineBuildsEveryRow)
{
    struct Case {
        const char* label;
        std::function<void(TerminalView&)> setUp;
        bool yDispMoves;
    };
    const std::vector<Case> cases = {
        // The first line shown changes: the signature does.
        {"ring not full", [](TerminalView&) {}, true},
        // Lines move under the same yDisp: each index holds another line.
        {"ring full", [](TerminalView& v) { v.changeScrollback(0); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        c.setUp(*view);
        view->feed("\x1b[H\x1b[2J");
        for (int i = 0; i < 10; ++i) view->feed("\r\nrow " + std::to_string(i));
        frame();
        ASSERT_TRUE(frame().empty());
        const int before = yDisp();
        view->feed("\r\nnext");
        EXPECT_EQ(yDisp() != before, c.yDispMoves);
        EXPECT_EQ(frame(), screenRows(0, 9));
    }
}

TEST_F(PassFixture, ABidiRevisionChangeBuildsThatRowAlthoughItsLineIsUnchanged)
{
    // One paragraph wrapped over screen rows 0 and 1, then plain rows.
    view->feed(std::string(60, 'a') + "\r\nplain");
    frame();
    const int top = yDisp();
    const int64_t maximumRows = view->getTerminal().options.maximumBidiParagraphRows;
    const std::uint64_t generation = buffer().lines()[top].generation();
    const std::uint64_t revision = TerminalBidi::layoutRevision(top, buffer(), maximumRows);

    // A write into the paragraph's second row.
    view->feed("\x1b[2;5Hb");
    ASSERT_EQ(buffer().lines()[top].generation(), generation);
    ASSERT_NE(TerminalBidi::layoutRevision(top, buffer(), maximumRows), revision);
    EXPECT_EQ(frame(), screenRows({0, 1}));
}

TEST_F(PassFixture, SwitchingBufferingModesKeepsTheRowsRecords)
{
    view->feed("one\r\n\x1b[41mtwo\x1b[0m\r\nthree");
    frame();
    ASSERT_GT(gl.live[GpuObjectKind::buffer], 0);

    // Aggregated: the records of the cached rows, without their buffers.
    view->gpuBufferingMode = GpuBufferingMode::perFrameAggregated;
    EXPECT_TRUE(frame().empty());
    ASSERT_TRUE(last.frame);
    EXPECT_TRUE(last.rows.empty());
    std::size_t glyphs = 0, backgrounds = 0;
    for (const auto& [row, entry] : pass.rowCache()) {
        EXPECT_FALSE(entry.buffers) << row;
        glyphs += entry.data.glyphCellsGray.size();
        backgrounds += entry.data.backgroundCells.size();
    }
    EXPECT_EQ(last.frame->glyphCellsGray.size(), glyphs);
    EXPECT_EQ(last.frame->backgroundCells.size(), backgrounds);
    EXPECT_GT(glyphs, 0u);
    EXPECT_EQ(gl.live[GpuObjectKind::buffer], 0);

    // Back: buffers from the kept records, without the row builder.
    view->gpuBufferingMode = GpuBufferingMode::perRowPersistent;
    const int made = gl.buffersMade;
    EXPECT_TRUE(frame().empty());
    EXPECT_GT(gl.buffersMade, made);
    EXPECT_FALSE(last.frame);
    ASSERT_EQ(last.rows.size(), 10u);
    for (std::size_t r = 0; r < last.rows.size(); ++r) {
        const RowCacheEntry& entry = pass.rowCache().at(yDisp() + int(r));
        EXPECT_EQ(last.rows[r].glyphGrayCount, int(entry.data.glyphCellsGray.size())) << r;
        EXPECT_EQ(last.rows[r].backgroundCount, int(entry.data.backgroundCells.size())) << r;
    }
}

// ---- Kitty images -------------------------------------------------------------------------------

TEST_F(PassFixture, KittyImageChangesUnderTheSameCellsBuildTheRowsAgain)
{
    struct Case {
        const char* label;
        std::string feed;
        // Whether the store's counts and next ids stay as they were (the revision alone tells).
        bool countsKept;
        std::size_t texturesAfter;
    };
    const std::vector<Case> cases = {
        {"deleting the image", "\x1b_Ga=d,d=I,i=5,q=2\x1b\\", false, 0},
        {"the same id sent again with other pixels",
         "\x1b_Ga=t,f=100,i=5,q=2;" + pngBase64(solid(40, 20, Qt::blue)) + "\x1b\\", true, 1},
        {"the virtual placement put again with another size", "\x1b_Ga=p,U=1,i=5,p=9,c=1,r=1,q=2\x1b\\", true, 1},
    };
    const std::string placeholder = "\xf4\x8e\xbb\xae";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        view->feed("\x1b" "c");
        view->feed("\x1b_Ga=t,f=100,i=5,q=2;" + pngBase64(solid(40, 20, Qt::red)) + "\x1b\\");
        view->feed("\x1b_Ga=p,U=1,i=5,p=9,c=2,r=1,q=2\x1b\\");
        // Two placeholder cells of image 5 (red foreground 5) on screen row 0.
        view->feed("\x1b[38;5;5m" + placeholder + placeholder + "\x1b[0m");
        frame();
        ASSERT_TRUE(frame().empty());
        ASSERT_EQ(images.kittyTextureCount(), 1u);
        ASSERT_FALSE(last.rows[0].placeholderImageBuffers.empty());
        const GpuObjectRef shown = last.rows[0].placeholderImageBuffers[0].texture;
        const KittyCacheStamp before = KittyCacheStamp::of(view->getTerminal().kittyGraphicsState());

        view->feed(c.feed);
        const KittyCacheStamp after = KittyCacheStamp::of(view->getTerminal().kittyGraphicsState());
        EXPECT_EQ(after.imagesCount == before.imagesCount && after.placementsCount == before.placementsCount &&
                      after.nextImageId == before.nextImageId && after.nextPlacementId == before.nextPlacementId,
                  c.countsKept);
        EXPECT_EQ(frame(), screenRows(0, 9));
        EXPECT_EQ(images.kittyTextureCount(), c.texturesAfter);
        if (c.texturesAfter == 0) {
            EXPECT_TRUE(last.rows[0].placeholderImageBuffers.empty());
        } else {
            ASSERT_FALSE(last.rows[0].placeholderImageBuffers.empty());
        }
        if (c.feed.starts_with("\x1b_Ga=t")) EXPECT_NE(last.rows[0].placeholderImageBuffers[0].texture, shown);
    }
}

// ---- Nothing to show ----------------------------------------------------------------------------

TEST_F(PassFixture, NoVisibleRowsOrNoViewGiveEmptyDataAndChangeNothing)
{
    const std::string placeholder = "\xf4\x8e\xbb\xae";
    view->feed("\x1b_Ga=t,f=100,i=5,q=2;" + pngBase64(solid(40, 20, Qt::red)) + "\x1b\\");
    view->feed("\x1b_Ga=p,U=1,i=5,p=9,c=2,r=1,q=2\x1b\\");
    view->feed("text\x1b[38;5;5m" + placeholder + placeholder + "\x1b[0m");
    frame();
    const std::size_t cached = pass.rowCache().size();
    const std::size_t glyphs = entries.glyphCount();
    ASSERT_EQ(images.kittyTextureCount(), 1u);

    struct Case {
        const char* label;
        std::function<void()> take;
        std::function<void()> giveBack;
    };
    int lineCount = 0;
    const std::vector<Case> cases = {
        {"no lines",
         [&] {
             lineCount = buffer().lines().count();
             buffer().lines().setCount(0);
         },
         [&] { buffer().lines().setCount(lineCount); }},
        {"the view gone", [&] { view.reset(); }, [] {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::optional<std::pair<int, int>> dirty = std::pair{0, 3};
        if (view) view->gpuDirtyRange = dirty;
        c.take();
        EXPECT_TRUE(frame().empty());
        EXPECT_TRUE(isEmpty(last));
        EXPECT_EQ(pass.rowCache().size(), cached);
        EXPECT_EQ(entries.glyphCount(), glyphs);
        EXPECT_EQ(images.kittyTextureCount(), 1u);
        if (view) EXPECT_EQ(view->gpuDirtyRange, dirty);
        c.giveBack();
    }
}

// ---- The rebuild loop ---------------------------------------------------------------------------

// Atlases of 256 pixels that grow once, to 512, with glyphs drawn at scale 8: a few letters make
// them grow, a few dozen overflow them.
struct SmallAtlasPass : PassFixture {
    SmallAtlasPass() : PassFixture(256, 512) { scale = 8; }

    std::vector<std::string> rebuildLines(const AtlasLog& log) const
    {
        std::vector<std::string> lines;
        for (const auto& [type, text] : log.lines) {
            if (text.starts_with("glyph atlas changed during frame build")) {
                EXPECT_EQ(type, QtInfoMsg);
                lines.push_back(text);
            }
        }
        return lines;
    }
    int faultLines(const AtlasLog& log) const
    {
        int count = 0;
        for (const auto& [type, text] : log.lines) {
            if (type == QtCriticalMsg &&
                text == "glyph working set exceeds max atlas capacity; some glyphs will be skipped this frame")
                ++count;
        }
        return count;
    }
};

TEST_F(SmallAtlasPass, AGlyphThatGrowsAnAtlasGivesOneMorePassOverEveryRow)
{
    frame();
    ASSERT_EQ(gray->size(), 256);
    AtlasLog log;
    view->feed("\x1b[3;1HABCDEFGH");
    // From row 2 on in the pass the atlas grew in (the rows after it find the cache emptied),
    // then every row in the repeated pass.
    std::vector<int> expected = screenRows(2, 9);
    for (int r : screenRows(0, 9)) expected.push_back(r);
    EXPECT_EQ(frame(), expected);
    EXPECT_EQ(gray->size(), 512);
    EXPECT_EQ(rebuildLines(log), std::vector<std::string>{"glyph atlas changed during frame build; rebuild pass 1/5"});
    EXPECT_EQ(faultLines(log), 0);
    EXPECT_TRUE(frame().empty());
}

TEST_F(SmallAtlasPass, AnAtlasResetAlsoEmptiesTheGlyphCaches)
{
    view->feed("ABCDEFGHIJKLMNOPQRST\u2500");
    frame();
    ASSERT_EQ(gray->size(), 512);
    ASSERT_EQ(entries.customGlyphCount(), 1u);

    AtlasLog log;
    view->feed("\x1b[H\x1b[2Jabcdefghijklmnopqrst");
    frame();
    EXPECT_EQ(rebuildLines(log), std::vector<std::string>{"glyph atlas changed during frame build; rebuild pass 1/5"});
    EXPECT_EQ(faultLines(log), 0);
    EXPECT_TRUE(std::any_of(log.lines.begin(), log.lines.end(), [](const auto& line) {
        return line.second.starts_with("glyph atlas (grayscale) reset at size 512");
    }));
    // Only the new screen's glyphs: the capitals and the line-drawing cell went with the reset.
    EXPECT_EQ(entries.glyphCount(), 20u);
    EXPECT_EQ(entries.customGlyphCount(), 0u);
}

TEST_F(SmallAtlasPass, FiveInvalidatedPassesGiveTheFaultLineAndAFrozenSixthPass)
{
    view->feed("ABCDEFGHIJKLMNOPQRSTUVWXYZ\r\nabcdefghijklmnopqrstuvwxyz\r\n0123456789");
    AtlasLog log;
    EXPECT_EQ(frame().size(), 60u);
    std::vector<std::string> expected;
    for (int pass = 1; pass <= 5; ++pass)
        expected.push_back("glyph atlas changed during frame build; rebuild pass " + std::to_string(pass) + "/5");
    EXPECT_EQ(rebuildLines(log), expected);
    EXPECT_EQ(faultLines(log), 1);
    // Frozen exactly during the sixth pass.
    const std::vector<bool> frozen(frozenAtCall.begin() + 50, frozenAtCall.end());
    EXPECT_EQ(std::count(frozenAtCall.begin(), frozenAtCall.begin() + 50, true), 0);
    EXPECT_EQ(frozen, std::vector<bool>(10, true));
    EXPECT_FALSE(gray->frozen);
    EXPECT_FALSE(color->frozen);
}

} // namespace
