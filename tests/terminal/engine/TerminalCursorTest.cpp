#include "terminal/engine/Terminal.hpp"

#include "support/Options.hpp"
#include "support/ChunkSplit.hpp"
#include "support/RecordingDelegate.hpp"
#include "support/ScreenDump.hpp"

#include "terminal/selection/SelectionService.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>

using namespace corvix;
using corvix::test::sized;
using corvix::test::dumpRow;
using corvix::test::RecordingDelegate;

namespace {


struct Modes {
    bool origin = false;
    bool margins = false;
    bool reverseWrap = false;
};

struct Fixture {
    RecordingDelegate delegate;
    Terminal t;
    explicit Fixture(TerminalOptions o) : t(&delegate, std::move(o)) {}

    // The mode commands live elsewhere; the fields are what the operations read.
    void set(const Modes& m)
    {
        t.originMode = m.origin;
        t.marginMode = m.margins;
        t.normalBuffer().marginMode = m.margins;
        t.altBuffer().marginMode = m.margins;
        t.reverseWraparound = m.reverseWrap;
    }
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
};

// Six distinct rows with distinct columns, so any shift of rows or cells shows in the dump.
constexpr const char* kSixRows = "abcdefghij\r\nklmnopqrst\r\nuvwxyzABCD\r\nEFGHIJKLMN\r\nOPQRSTUVWX\r\nYZ01234567";
constexpr const char* kSixRowsDump = "abcdefghij|klmnopqrst|uvwxyzABCD|EFGHIJKLMN|OPQRSTUVWX|YZ01234567";

} // namespace

TEST(TerminalCursor, MotionCommandsLandOnTheExpectedCell)
{
    struct Case {
        const char* name;
        Modes modes;
        const char* input;
        int x, y;
    };
    const Modes origin{.origin = true};
    const Modes margins{.margins = true};
    const Modes both{.origin = true, .margins = true};
    const Modes reverse{.reverseWrap = true};
    // A 20 x 25 screen.
    const Case cases[] = {
        {"CUU above the region stops at row 0", {}, "\e[5;10r\e[3;1H\e[9A", 0, 0},
        {"CUU inside the region stops at its top", {}, "\e[5;10r\e[8;1H\e[9A", 0, 4},
        {"CUD inside the region stops at its bottom", {}, "\e[5;10r\e[6;1H\e[99B", 0, 9},
        {"CUD below the region goes to the last row", {}, "\e[5;10r\e[12;1H\e[99B", 0, 24},
        {"CUD leaves the pending-wrap column", {}, "\e[1;20Hx\e[B", 19, 1},
        {"CUF stops at the last column", {}, "\e[99C", 19, 0},
        {"CUB stops at column 0", {}, "\e[5G\e[99D", 0, 0},
        {"CUF stops at the right margin", margins, "\e[3;8s\e[1;5H\e[99C", 7, 0},
        {"CUF right of the right margin goes to the edge", margins, "\e[3;8s\e[1;10H\e[99C", 19, 0},
        {"CUB stops at the left margin", margins, "\e[3;8s\e[1;6H\e[99D", 2, 0},
        {"CUB left of the left margin goes to column 0", margins, "\e[4;8s\e[1;3H\e[99D", 0, 0},
        {"CHA caps at the last column", {}, "\e[99G", 19, 0},
        {"CHA ignores margins without origin mode", margins, "\e[3;8s\e[99G", 19, 0},
        {"CHA counts from the left margin in origin mode", both, "\e[3;8s\e[2G", 3, 0},
        {"CHA stops at the right margin in origin mode", both, "\e[3;8s\e[99G", 7, 0},
        {"CHA with a huge count stops at the right margin", both, "\e[3;8s\e[2147483647G", 7, 0},
        {"CUP in origin mode stays in the region", origin, "\e[5;10r\e[20H", 0, 9},
        {"HVP in origin mode only caps at the screen", origin, "\e[5;10r\e[20f", 0, 23},
        {"CUP in origin mode counts from both margins", both, "\e[3;8s\e[5;10r\e[2;3H", 4, 5},
        {"CUP without parameters goes to the region's top", origin, "\e[5;10r\e[9;9H\e[H", 0, 4},
        {"CUP with one parameter goes to column 0", {}, "\e[5;5H\e[7H", 0, 6},
        {"CUP caps at the screen", {}, "\e[99;99H", 19, 24},
        {"HPA counts from the left margin in origin mode", both, "\e[3;8s\e[5`", 6, 0},
        {"HPR caps at the last column", {}, "\e[5G\e[99a", 19, 0},
        {"VPA in origin mode stays in the region", origin, "\e[5;10r\e[99d", 0, 9},
        {"VPR caps at the last row", {}, "\e[99e", 0, 24},
        {"VPR leaves the pending-wrap column", {}, "\e[1;20Hx\e[e", 19, 1},
        {"CNL goes down to column 0", {}, "\e[5;5H\e[2E", 0, 6},
        {"CPL goes up to column 0", {}, "\e[5;5H\e[2F", 0, 2},
        {"DECSTBM homes the cursor", {}, "\e[5;5H\e[3;9r", 0, 0},
        {"DECSTBM with top equal to bottom keeps the region", origin, "\e[5;10r\e[7;7r", 0, 4},
        {"DECSTBM with bottom past the screen uses the last row", origin, "\e[5;99r\e[99H", 0, 24},
        // The restored cursor stands on the last column with its wrap still pending.
        {"DECRC after DECSC at the pending-wrap column", {}, "\e[1;20Hx\e7\e[5;5H\e8", 20, 0},
        {"CSI s and CSI u save and restore", {}, "\e[3;4H\e[s\e[9;9H\e[u", 3, 2},
        {"BS stops at column 0", {}, "\b", 0, 0},
        {"BS from the pending-wrap column", {}, "\e[1;20Hx\b", 18, 0},
        {"BS stops at the left margin", margins, "\e[3;8s\e[1;3H\b", 2, 0},
        {"BS left of the left margin moves", margins, "\e[4;8s\e[1;3H\b", 1, 0},
        {"reverse BS at the top of the screen wraps to the region bottom", reverse, "\b", 19, 24},
        {"reverse BS at the region top wraps to its bottom", reverse, "\e[5;10r\e[5;1H\b", 19, 9},
        {"reverse BS inside the region goes up a row", reverse, "\e[3;1H\b", 19, 1},
        {"reverse BS above the region goes up a row", reverse, "\e[5;10r\e[3;1H\b", 19, 1},
        {"IND moves down inside the region", {}, "\e[5;10r\e[6;3H\eD", 2, 6},
        {"NEL moves down to column 0", {}, "\e[6;3H\eE", 0, 6},
        {"RI moves up", {}, "\e[6;3H\eM", 2, 4},
        {"RI on row 0 above the region stays", {}, "\e[5;10r\e[1;3H\eM", 2, 0},
        {"DECFI moves right", {}, "\e[5G\e9", 5, 0},
        {"DECFI at the pending-wrap column stands on the margin", {}, "\e[1;20Hx\e9", 19, 0},
        {"DECBI moves left", {}, "\e[5G\e6", 3, 0},
        {"TBC clears the stop under the cursor", {}, "\e[9G\e[g\r\t", 16, 0},
        {"TBC with an unknown parameter clears nothing", {}, "\e[9G\e[5g\r\t", 8, 0},
    };
    for (const Case& c : cases) {
        Fixture f(sized(20, 25, 100));
        f.set(c.modes);
        f.t.feed(c.input);
        EXPECT_EQ(f.cursor(), std::make_pair(c.x, c.y)) << c.name;
    }
}

TEST(TerminalCursor, ScrollingGoldenScreens)
{
    struct Case {
        const char* name;
        Modes modes;
        const char* input; // fed after kSixRows
        const char* screen;
        int x, y;
    };
    const Modes margins{.margins = true};
    // A 10 x 6 screen holding kSixRows.
    const Case cases[] = {
        {"LF at the region bottom scrolls only the region", {}, "\e[2;4r\e[4;1H\n",
         "abcdefghij|uvwxyzABCD|EFGHIJKLMN||OPQRSTUVWX|YZ01234567", 0, 3},
        {"LF on the last row below the region neither moves nor scrolls", {}, "\e[2;4r\e[6;1H\n", kSixRowsDump, 0, 5},
        {"IND on the last row below the region neither moves nor scrolls", {}, "\e[2;4r\e[6;1H\eD", kSixRowsDump, 0,
         5},
        {"RI at the region top scrolls it down", {}, "\e[2;4r\e[2;5H\eM",
         "abcdefghij||klmnopqrst|uvwxyzABCD|OPQRSTUVWX|YZ01234567", 4, 1},
        {"LF inside the column margins scrolls only their cells", margins, "\e[2;4r\e[3;6s\e[4;4H\n",
         "abcdefghij|klwxyzqrst|uvGHIJABCD|EF    KLMN|OPQRSTUVWX|YZ01234567", 3, 3},
        {"LF right of the column margins does nothing", margins, "\e[2;4r\e[3;6s\e[4;8H\n", kSixRowsDump, 7, 3},
        {"RI inside the column margins scrolls only their cells", margins, "\e[2;4r\e[3;6s\e[2;4H\eM",
         "abcdefghij|kl    qrst|uvmnopABCD|EFwxyzKLMN|OPQRSTUVWX|YZ01234567", 3, 1},
        {"RI left of the column margins does nothing", margins, "\e[2;4r\e[3;6s\e[2;1H\eM", kSixRowsDump, 0, 1},
        {"DECFI at the right margin shifts the region left", margins, "\e[2;4r\e[3;6s\e[2;6H\e9",
         "abcdefghij|klnop qrst|uvxyz ABCD|EFHIJ KLMN|OPQRSTUVWX|YZ01234567", 5, 1},
        {"DECBI at the left margin shifts the region right", margins, "\e[2;4r\e[3;6s\e[2;3H\e6",
         "abcdefghij|kl mnoqrst|uv wxyABCD|EF GHIKLMN|OPQRSTUVWX|YZ01234567", 2, 1},
        {"DECBI outside the region rows does nothing", margins, "\e[2;4r\e[3;6s\e[5;3H\e6", kSixRowsDump, 2, 4},
    };
    for (const Case& c : cases) {
        Fixture f(sized(10, 6, 100));
        f.t.feed(kSixRows);
        ASSERT_EQ(f.screen(), kSixRowsDump);
        f.set(c.modes);
        f.t.feed(c.input);
        EXPECT_EQ(f.screen(), c.screen) << c.name;
        EXPECT_EQ(f.cursor(), std::make_pair(c.x, c.y)) << c.name;
    }
}

TEST(TerminalCursor, RegionAtTheTopPushesItsTopLineIntoTheScrollback)
{
    Fixture f(sized(10, 6, 100));
    f.t.feed(kSixRows);
    f.t.feed("\e[1;4r\e[4;1H\n");
    EXPECT_EQ(f.screen(), "klmnopqrst|uvwxyzABCD|EFGHIJKLMN||OPQRSTUVWX|YZ01234567");
    Buffer& b = f.t.buffer();
    EXPECT_EQ(b.yBase(), 1);
    EXPECT_EQ(b.yDisp(), 1);
    EXPECT_EQ(b.lines()[0].translateToString(true), "abcdefghij");
}

TEST(TerminalCursor, LineFeedOnAFullRingRecyclesTheOldestLine)
{
    for (bool regionEndsAbove : {false, true}) {
        Fixture f(sized(10, 3, 2));
        Buffer& b = f.t.buffer();
        const int capacity = b.lines().maxLength();
        for (int i = 0; i < capacity; i++) f.t.feed((i ? "\r\n" : "") + std::to_string(i));
        if (regionEndsAbove) f.t.feed("\e[1;2r\e[2;1H");
        ASSERT_EQ(b.lines().count(), capacity);
        const int yBase = b.yBase();
        const int linesTop = b.linesTop;

        f.t.feed("\n");
        EXPECT_EQ(b.yBase(), yBase) << regionEndsAbove;
        EXPECT_EQ(b.lines().count(), capacity) << regionEndsAbove;
        EXPECT_EQ(b.linesTop, linesTop + 1) << regionEndsAbove;
        EXPECT_EQ(f.screen(), regionEndsAbove ? "3||4" : "3|4|") << regionEndsAbove;
        EXPECT_EQ(f.delegate.callsNamed("scrolled").back(), "scrolled " + std::to_string(yBase));
    }
}

TEST(TerminalCursor, ScrollingKeepsTheUserViewOnTheSameText)
{
    Fixture f(sized(10, 3, 2));
    Buffer& b = f.t.buffer();
    for (int i = 0; i < b.lines().maxLength(); i++) f.t.feed((i ? "\r\n" : "") + std::to_string(i));
    f.t.scrollTo(1);
    f.t.setUserScrolling(true);
    const std::string top = dumpRow(f.t, 0);
    f.t.feed("\r\nnew");
    EXPECT_EQ(b.yDisp(), 0);
    EXPECT_EQ(dumpRow(f.t, 0), top);
    // Once the shown text has left the ring the view stays at its top.
    f.t.feed("\r\nnewer");
    EXPECT_EQ(b.yDisp(), 0);
}

TEST(TerminalCursor, RecycledLineStartsAsAPlainLine)
{
    Fixture f(sized(10, 2, 1));
    Buffer& b = f.t.buffer();
    f.t.feed("0\r\n1\r\n2");
    ASSERT_EQ(b.lines().count(), b.lines().maxLength());
    b.lines()[0].setRenderMode(BufferLine::RenderLineMode::doubleWidth);
    b.lines()[0].setIsWrapped(true);
    f.t.feed("\r\n");
    BufferLine& fresh = b.lines()[b.lines().count() - 1];
    EXPECT_EQ(fresh.renderMode(), BufferLine::RenderLineMode::single);
    EXPECT_FALSE(fresh.isWrapped());
}

TEST(TerminalCursor, LineFeedTakesTheBidiStateAndHonoursLineFeedMode)
{
    Fixture f(sized(10, 4, 100));
    f.t.currentBidiState.fallbackDirection = BidiDirection::rightToLeft;
    f.t.lineFeedMode = true;
    f.t.feed("abc\n");
    EXPECT_EQ(f.cursor(), std::make_pair(0, 1));
    EXPECT_EQ(f.t.getLine(1)->bidiState().fallbackDirection, BidiDirection::rightToLeft);
    EXPECT_EQ(f.delegate.callsNamed("linefeed").size(), 1u);
    // A continuation row keeps the state of the line it continues.
    Fixture g(sized(4, 4, 100));
    g.t.feed("abcdefg\e[1;1H");
    g.t.currentBidiState.fallbackDirection = BidiDirection::rightToLeft;
    g.t.feed("\n");
    EXPECT_EQ(g.t.getLine(1)->bidiState().fallbackDirection, BidiDirection::leftToRight);
}

TEST(TerminalCursor, ReverseWraparoundBackspaceUndoesTheWrap)
{
    Fixture f(sized(4, 4, 100));
    f.t.feed("abcdef");
    ASSERT_TRUE(f.t.getLine(1)->isWrapped());
    f.set({.reverseWrap = true});
    f.t.feed("\b\b\b");
    EXPECT_EQ(f.cursor(), std::make_pair(3, 0));
    EXPECT_FALSE(f.t.getLine(1)->isWrapped());
}

TEST(TerminalCursor, MarginsCommands)
{
    struct Case {
        const char* input;
        int left, right;
    };
    const Case cases[] = {
        {"\e[3;8s", 2, 7},
        {"\e[s", 0, 9},           // no parameters: the whole width
        {"\e[4s", 3, 9},          // one parameter: right edge
        {"\e[5;0s", 0, 0},        // a right of 0 is column 0, and left follows it
        {"\e[8;3s", 2, 2},        // left beyond right is pulled back to it
        {"\e[2;99s", 1, 9},       // right capped at the last column
    };
    for (const Case& c : cases) {
        Fixture f(sized(10, 6, 100));
        f.set({.margins = true});
        f.t.feed("\e[4;5H");
        f.t.feed(c.input);
        EXPECT_EQ(f.t.buffer().marginLeft(), c.left) << c.input;
        EXPECT_EQ(f.t.buffer().marginRight(), c.right) << c.input;
        EXPECT_EQ(f.cursor(), std::make_pair(4, 3)) << c.input; // the cursor stays
    }
    // Without margin mode CSI s saves the cursor and leaves the margins alone.
    Fixture f(sized(10, 6, 100));
    f.t.feed("\e[4;5H\e[3;8s");
    EXPECT_EQ(f.t.buffer().marginLeft(), 0);
    EXPECT_EQ(f.t.buffer().savedX, 4);
}

TEST(TerminalCursor, SaveAndRestoreCarryAttributeCharsetAndModes)
{
    Fixture f(sized(10, 6, 100));
    f.t.curAttr.bg = Attribute::Color::ansi256(1);
    f.t.feed("\e(0\e[3;4H\e7");
    const CharsetMap* graphics = f.t.charset;
    ASSERT_NE(graphics, nullptr);
    f.set({.origin = true, .margins = true, .reverseWrap = true});
    f.t.wraparound = false;
    f.t.curAttr = Attribute{};
    f.t.feed("\e(B\e[1;1H\e8");
    EXPECT_EQ(f.cursor(), std::make_pair(3, 2));
    EXPECT_EQ(f.t.curAttr.bg, Attribute::Color::ansi256(1));
    EXPECT_EQ(f.t.charset, graphics);
    EXPECT_FALSE(f.t.originMode);
    EXPECT_TRUE(f.t.wraparound);
    // Left/right margin mode and reverse wraparound are modes, not cursor state: they stay.
    EXPECT_TRUE(f.t.marginMode);
    EXPECT_TRUE(f.t.reverseWraparound);
    EXPECT_TRUE(f.t.altBuffer().marginMode);
    EXPECT_TRUE(f.t.altBuffer().wraparound);
    EXPECT_TRUE(f.t.normalBuffer().wraparound);
    // Each screen keeps its own saved cursor.
    EXPECT_EQ(f.t.altBuffer().savedX, 0);
}

TEST(TerminalCursor, ReverseIndexMovesSelectionsWithTheText)
{
    Fixture f(sized(10, 6, 100));
    f.t.feed(kSixRows);
    auto inside = std::make_shared<SelectionService>(f.t);
    inside->start = {1, 2};
    inside->end = {4, 2};
    inside->setActive(true);
    f.t.registerSelection(inside);
    f.t.feed("\e[2;4r\e[2;1H\eM");
    EXPECT_TRUE(inside->active());
    EXPECT_EQ(inside->start, (Position{1, 3}));
    EXPECT_EQ(inside->end, (Position{4, 3}));
}

TEST(TerminalCursor, SelectCharacterPathSetsTheFallbackDirection)
{
    struct Case {
        const char* input;
        BidiDirection expected;
    };
    const Case cases[] = {
        {"\e[2 k", BidiDirection::rightToLeft},
        {"\e[2 k\e[1 k", BidiDirection::leftToRight},
        {"\e[2 k\e[ k", BidiDirection::leftToRight},  // back to the initial direction
        {"\e[2 k\e[7 k", BidiDirection::rightToLeft}, // unknown values are ignored
    };
    for (const Case& c : cases) {
        Fixture f(sized(10, 6, 100));
        f.t.clearUpdateRange();
        f.t.feed(c.input);
        EXPECT_EQ(f.t.currentBidiState.fallbackDirection, c.expected) << c.input;
        EXPECT_EQ(f.t.normalBuffer().defaultBidiState.fallbackDirection, c.expected) << c.input;
        EXPECT_EQ(f.t.altBuffer().defaultBidiState.fallbackDirection, c.expected) << c.input;
        EXPECT_EQ(f.t.getUpdateRange(), std::make_pair(0, 6)) << c.input;
    }
}

TEST(TerminalCursor, RegionScrollIsTheSameForEverySplit)
{
    const std::string input = std::string(kSixRows) + "\e[2;4r\e[4;1H\nxy\e[2;1H\eMz\e[9Hq";
    EXPECT_TRUE(corvix::test::sameForEverySplit(
        {reinterpret_cast<const uint8_t*>(input.data()), input.size()}, [](const corvix::test::Chunks& chunks) {
            Fixture f(sized(10, 6, 100));
            for (auto chunk : chunks) f.t.feed(chunk);
            return std::make_pair(f.screen(), f.cursor());
        }));
}
