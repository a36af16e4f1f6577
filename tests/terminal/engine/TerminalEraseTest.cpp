#include "terminal/engine/Terminal.hpp"

#include "support/Options.hpp"
#include "support/RecordingDelegate.hpp"
#include "support/ScreenDump.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>

using namespace corvix;
using corvix::test::sized;
using corvix::test::dumpRow;
using corvix::test::RecordingDelegate;

namespace {


struct Fixture {
    RecordingDelegate delegate;
    Terminal t;
    explicit Fixture(TerminalOptions o = sized(10, 5, 200)) : t(&delegate, std::move(o)) {}

    std::pair<int, int> cursor() const { return t.getCursorLocation(); }
    // The screen rows joined by "|" ("~" before a soft-wrapped row).
    std::string screen()
    {
        std::string out;
        for (int row = 0; row < t.rows; row++) {
            if (row) out += '|';
            out += dumpRow(t, row, {.wrapMarkers = true});
        }
        return out;
    }
    // The plain screen line of `row` (not the viewport's).
    BufferLine& screenLine(int row) { return t.buffer().lines()[t.buffer().yBase() + row]; }
};

struct FakeImage : TerminalImage {
    int pixelWidth() const override { return 8; }
    int pixelHeight() const override { return 8; }
    int col() const override { return 0; }
    void setCol(int) override {}
};

// Five rows of one soft-wrapped line on a 10 x 5 screen; the cursor ends in the pending-wrap
// column of the last row.
const std::string kWrapped = std::string(10, 'A') + std::string(10, 'B') + std::string(10, 'C') +
                             std::string(10, 'D') + std::string(10, 'E');
constexpr const char* kWrappedDump = "AAAAAAAAAA|~BBBBBBBBBB|~CCCCCCCCCC|~DDDDDDDDDD|~EEEEEEEEEE";

} // namespace

TEST(TerminalErase, GoldenScreensWithWrapFlags)
{
    struct Case {
        const char* name;
        const char* input; // fed after kWrapped
        const char* screen;
        int x, y;
    };
    const Case cases[] = {
        {"ED 0 from column 0 ends the continuation", "\e[3;1H\e[J", "AAAAAAAAAA|~BBBBBBBBBB|||", 0, 2},
        {"ED 0 mid-row keeps the continuation", "\e[3;6H\e[J", "AAAAAAAAAA|~BBBBBBBBBB|~CCCCC||", 5, 2},
        {"ED with an explicit 0", "\e[3;6H\e[0J", "AAAAAAAAAA|~BBBBBBBBBB|~CCCCC||", 5, 2},
        {"DECSED erases like ED", "\e[3;6H\e[?0J", "AAAAAAAAAA|~BBBBBBBBBB|~CCCCC||", 5, 2},
        {"ED 1 mid-row leaves the next row continued", "\e[3;6H\e[1J", "||      CCCC|~DDDDDDDDDD|~EEEEEEEEEE", 5, 2},
        {"ED 1 in the last column ends the next row's continuation", "\e[3;10H\e[1J", "|||DDDDDDDDDD|~EEEEEEEEEE",
         9, 2},
        {"ED 1 in the pending-wrap column erases the whole row", "\e[3;10HC\e[1J", "|||DDDDDDDDDD|~EEEEEEEEEE", 10,
         2},
        {"ED 1 on the last row", "\e[5;3H\e[1J", "||||   EEEEEEE", 2, 4},
        {"ED 2 clears every row and keeps the cursor", "\e[3;6H\e[2J", "||||", 5, 2},
        {"ED with an unknown parameter does nothing", "\e[3;6H\e[9J", kWrappedDump, 5, 2},
        {"EL 0 keeps the wrap flag", "\e[3;6H\e[K", "AAAAAAAAAA|~BBBBBBBBBB|~CCCCC|~DDDDDDDDDD|~EEEEEEEEEE", 5, 2},
        {"EL 0 from column 0 keeps the wrap flag", "\e[3;1H\e[K", "AAAAAAAAAA|~BBBBBBBBBB|~|~DDDDDDDDDD|~EEEEEEEEEE", 0, 2},
        {"EL 1 includes the cursor cell", "\e[3;6H\e[1K", "AAAAAAAAAA|~BBBBBBBBBB|~      CCCC|~DDDDDDDDDD|~EEEEEEEEEE",
         5, 2},
        {"EL 1 in the pending-wrap column erases the whole row", "\e[3;10HC\e[1K",
         "AAAAAAAAAA|~BBBBBBBBBB|~|~DDDDDDDDDD|~EEEEEEEEEE", 10, 2},
        {"EL 2 erases the row", "\e[3;6H\e[2K", "AAAAAAAAAA|~BBBBBBBBBB|~|~DDDDDDDDDD|~EEEEEEEEEE", 5, 2},
        {"DECSEL erases like EL", "\e[3;6H\e[?2K", "AAAAAAAAAA|~BBBBBBBBBB|~|~DDDDDDDDDD|~EEEEEEEEEE", 5, 2},
        {"EL with an unknown parameter does nothing", "\e[3;6H\e[5K", kWrappedDump, 5, 2},
        {"ECH stops at the end of the row", "\e[3;9H\e[5X", "AAAAAAAAAA|~BBBBBBBBBB|~CCCCCCCC|~DDDDDDDDDD|~EEEEEEEEEE",
         8, 2},
        {"ECH 0 erases one cell", "\e[3;2H\e[0X", "AAAAAAAAAA|~BBBBBBBBBB|~C CCCCCCCC|~DDDDDDDDDD|~EEEEEEEEEE", 1,
         2},
        {"ECH with a count", "\e[3;2H\e[3X", "AAAAAAAAAA|~BBBBBBBBBB|~C   CCCCCC|~DDDDDDDDDD|~EEEEEEEEEE", 1, 2},
        {"ECH with a huge count", "\e[3;2H\e[2147483647X", "AAAAAAAAAA|~BBBBBBBBBB|~C|~DDDDDDDDDD|~EEEEEEEEEE", 1, 2},
    };
    for (const Case& c : cases) {
        Fixture f;
        f.t.feed(kWrapped);
        ASSERT_EQ(f.screen(), kWrappedDump);
        f.t.feed(c.input);
        EXPECT_EQ(f.screen(), c.screen) << c.name;
        EXPECT_EQ(f.cursor(), std::make_pair(c.x, c.y)) << c.name;
    }
}

TEST(TerminalErase, ErasedCellsKeepOnlyTheBackground)
{
    Attribute current;
    current.fg = Attribute::Color::ansi256(2);
    current.bg = Attribute::Color::trueColor(200, 0, 0);
    current.style = CharacterStyle::bold;
    current.underlineStyle = UnderlineStyle::curly;
    current.underlineColor = Attribute::Color::ansi256(5);
    Attribute expected;
    expected.bg = current.bg;

    for (const char* op : {"\e[J", "\e[1J", "\e[2J", "\e[K", "\e[1K", "\e[2K", "\e[X"}) {
        Fixture f;
        f.t.feed(kWrapped);
        f.t.feed("\e[3;4H");
        f.t.curAttr = current;
        f.t.feed(op);
        const CharData& cell = f.screenLine(2)[3];
        EXPECT_EQ(cell.code, 0) << op;
        EXPECT_EQ(cell.width, 1) << op;
        EXPECT_FALSE(cell.hasPayload()) << op;
        EXPECT_EQ(cell.attribute, expected) << op;
    }
}

TEST(TerminalErase, DirtyRows)
{
    struct Case {
        const char* op;
        std::optional<std::pair<int, int>> range;
        bool changesCursorRow = true; // its generation grows even where the range stays empty
    };
    const Case cases[] = {
        {"\e[J", std::pair{2, 4}},  {"\e[1J", std::pair{0, 2}}, {"\e[2J", std::pair{0, 4}},
        {"\e[K", std::pair{2, 2}},  {"\e[7K", std::pair{2, 2}, false}, {"\e[X", std::nullopt},
        {"\e[3J", std::nullopt, false},
    };
    for (const Case& c : cases) {
        Fixture f;
        f.t.feed(kWrapped);
        f.t.feed("\e[3;4H");
        f.t.clearUpdateRange();
        const uint64_t generation = f.screenLine(2).generation();
        f.t.feed(c.op);
        EXPECT_EQ(f.t.getUpdateRange(), c.range) << c.op;
        if (c.changesCursorRow) {
            EXPECT_GT(f.screenLine(2).generation(), generation) << c.op;
        }
    }
}

TEST(TerminalErase, EraseDisplayResetsWholeRows)
{
    Fixture f(sized(10, 4, 200));
    f.t.feed("old\r\n1\r\n2\r\n3\r\n4");
    Buffer& b = f.t.buffer();
    ASSERT_EQ(b.yBase(), 1);
    b.attachImage(std::make_shared<FakeImage>(), b.yBase() + 1);
    f.screenLine(2).setRenderMode(BufferLine::RenderLineMode::doubleWidth);
    f.t.currentBidiState.fallbackDirection = BidiDirection::rightToLeft;

    // ED 0 from the first row resets the rows below but keeps their images.
    f.t.feed("\e[2;1H\e[J");
    EXPECT_EQ(f.screenLine(2).renderMode(), BufferLine::RenderLineMode::single);
    EXPECT_EQ(f.screenLine(3).bidiState().fallbackDirection, BidiDirection::rightToLeft);
    EXPECT_TRUE(b.hasAnyImages());

    f.screenLine(0).setRenderMode(BufferLine::RenderLineMode::doubledTop);
    f.t.feed("\e[2J");
    for (int row = 0; row < 4; row++) {
        EXPECT_EQ(f.screenLine(row).renderMode(), BufferLine::RenderLineMode::single) << row;
        EXPECT_EQ(f.screenLine(row).bidiState().fallbackDirection, BidiDirection::rightToLeft) << row;
        EXPECT_FALSE(f.screenLine(row).images()) << row;
    }
    EXPECT_FALSE(b.hasAnyImages());
    EXPECT_EQ(f.screen(), "|||");
    EXPECT_EQ(b.lines()[0].translateToString(true), "old"); // the scroll-back stays
}

TEST(TerminalErase, EraseScrollbackKeepsScrollInvariantRowsStable)
{
    Fixture f(sized(10, 5, 200));
    for (int i = 0; i < 105; i++) f.t.feed((i ? "\r\n" : "") + std::to_string(i));
    Buffer& b = f.t.buffer();
    ASSERT_EQ(b.yBase(), 100);
    f.t.scrollTo(70);
    f.t.setUserScrolling(true);
    const int firstScreenRow = b.linesTop + b.yBase();
    BufferLine* before = f.t.getScrollInvariantLine(firstScreenRow + 2);
    ASSERT_EQ(before->translateToString(true), "102");

    f.t.feed("\e[3J");
    EXPECT_EQ(b.yBase(), 0);
    EXPECT_EQ(b.yDisp(), 0);
    EXPECT_EQ(b.lines().count(), 5);
    EXPECT_EQ(b.linesTop, 100);
    EXPECT_EQ(f.t.getScrollInvariantLine(firstScreenRow + 2), before);
    EXPECT_EQ(f.t.getScrollInvariantLine(firstScreenRow - 1), nullptr);
    EXPECT_EQ(f.screen(), "100|101|102|103|104");

    // The ring goes on working from its new start.
    f.t.setUserScrolling(false);
    f.t.feed("\r\n105\r\n106");
    EXPECT_EQ(f.screen(), "102|103|104|105|106");
    EXPECT_EQ(b.yBase(), 2);
    EXPECT_EQ(f.t.getScrollInvariantLine(firstScreenRow + 2), before);
}

TEST(TerminalErase, EraseScrollbackWithoutScrollbackChangesNothing)
{
    Fixture fresh(sized(10, 5, 200));
    fresh.t.feed("x\e[3J");
    EXPECT_EQ(fresh.t.buffer().lines().count(), 5);
    EXPECT_EQ(fresh.t.buffer().linesTop, 0);

    Fixture alt(sized(10, 5, 200));
    for (int i = 0; i < 20; i++) alt.t.feed("\r\nline");
    alt.t.feed("\x1b[?47h");
    alt.t.feed("\e[Halt\e[3J");
    EXPECT_EQ(alt.t.buffer().lines().count(), 5);
    EXPECT_EQ(alt.t.buffer().linesTop, 0);
    EXPECT_EQ(alt.t.normalBuffer().yBase(), 16);
    EXPECT_EQ(dumpRow(alt.t, 0), "alt");
}
