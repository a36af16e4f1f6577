#include "terminal/engine/Terminal.hpp"
#include "terminal/selection/SelectionService.hpp"

#include "support/Options.hpp"
#include "support/RecordingDelegate.hpp"

#include <gtest/gtest.h>

using namespace corvix;
using corvix::test::sized;
using corvix::test::RecordingDelegate;

namespace {


// Pushes `n` lines into the scroll-back by scrolling the full-screen region.
void scrollLines(Terminal& t, int n)
{
    for (int i = 0; i < n; i++) t.scroll(false);
}

} // namespace

TEST(Terminal, SizeIsRaisedToTheMinimum)
{
    RecordingDelegate d;
    Terminal t(&d, sized(1, 0));
    EXPECT_EQ(t.getDims(), std::make_pair(2, 1));
    EXPECT_EQ(t.buffer().cols(), 2);
    EXPECT_EQ(t.buffer().rows(), 1);
    EXPECT_EQ(t.normalBuffer().lines().count(), 1);
}

TEST(Terminal, ReadAccessorsAnswerNothingOutOfRange)
{
    RecordingDelegate d;
    Terminal t(&d, sized(80, 25));
    EXPECT_EQ(t.getLine(25), nullptr);
    EXPECT_EQ(t.getLine(-1), nullptr);
    ASSERT_NE(t.getLine(24), nullptr);
    EXPECT_FALSE(t.getCharData(80, 0).has_value());
    EXPECT_FALSE(t.getCharData(-1, 0).has_value());
    EXPECT_FALSE(t.getUpdateRange().has_value()); // nothing written yet
}

TEST(Terminal, ScrollInvariantRowsStayOnTheirLine)
{
    RecordingDelegate d;
    TerminalOptions o = sized(10, 3);
    o.scrollback = 2;
    Terminal t(&d, o);
    BufferLine* first = t.getScrollInvariantLine(0);
    ASSERT_NE(first, nullptr);
    scrollLines(t, 2); // ring of 5 now full
    EXPECT_EQ(t.getScrollInvariantLine(0), first);
    scrollLines(t, 1); // the first line leaves the ring
    EXPECT_EQ(t.normalBuffer().linesTop, 1);
    EXPECT_EQ(t.getScrollInvariantLine(0), nullptr);
    EXPECT_NE(t.getScrollInvariantLine(1), nullptr);
}

TEST(Terminal, RegisteringASelectionTwiceKeepsOneEntry)
{
    RecordingDelegate d;
    Terminal t(&d);
    auto s = std::make_shared<SelectionService>(t);
    t.registerSelection(s);
    t.registerSelection(s);
    int count = 0;
    t.forEachSelection([&](TerminalSelection&) { count++; });
    EXPECT_EQ(count, 1);

    // A released selection is dropped at the next registration.
    auto other = std::make_shared<SelectionService>(t);
    t.registerSelection(other);
    s.reset();
    auto third = std::make_shared<SelectionService>(t);
    t.registerSelection(third);
    count = 0;
    t.forEachSelection([&](TerminalSelection&) { count++; });
    EXPECT_EQ(count, 2);
}

TEST(Terminal, ColumnRestrictedScrollDropsOnlyOverlappingSelections)
{
    RecordingDelegate d;
    Terminal t(&d);
    auto left = std::make_shared<SelectionService>(t);
    left->start = {0, 3};
    left->end = {5, 3};
    left->setActive(true);
    auto overlapping = std::make_shared<SelectionService>(t);
    overlapping->start = {12, 3};
    overlapping->end = {5, 3}; // given backwards on purpose
    overlapping->setActive(true);
    t.registerSelection(left);
    t.registerSelection(overlapping);

    // Left/right margins at columns 10-20 and a region of rows 0-10, scrolled up one line.
    t.feed("\x1b[?69h\x1b[11;21s\x1b[1;11r\x1b[S");
    EXPECT_TRUE(left->active());
    EXPECT_FALSE(overlapping->active());
}

TEST(Terminal, CursorCarriesOverBothWaysOfABufferSwitch)
{
    RecordingDelegate d;
    Terminal t(&d);
    t.buffer().setX(7);
    t.buffer().setY(4);
    t.feed("\x1b[?47h");
    ASSERT_TRUE(t.isCurrentBufferAlternate());
    EXPECT_EQ(t.getCursorLocation(), std::make_pair(7, 4));
    EXPECT_EQ(t.altBuffer().lines().count(), 25);

    t.buffer().setX(2);
    t.buffer().setY(9);
    t.feed("\x1b[?47l"); // leaves the alternate screen, keeping it
    EXPECT_FALSE(t.isCurrentBufferAlternate());
    EXPECT_EQ(t.getCursorLocation(), std::make_pair(2, 9));
    EXPECT_EQ(t.altBuffer().lines().count(), 25); // kept

    // Leaving with a clear empties the alternate screen; entering again refills it fresh.
    t.feed("\x1b[?47h");
    BufferLine* before = &t.altBuffer().lines()[0];
    t.feed("\x1b[?1047l"); // leaves it cleared
    EXPECT_EQ(t.altBuffer().lines().count(), 0);
    t.feed("\x1b[?47h");
    EXPECT_EQ(t.altBuffer().lines().count(), 25);
    EXPECT_NE(&t.altBuffer().lines()[0], before);
}

TEST(Terminal, FullResetKeepsSizeAndCursorVisibilityAndEmptiesScrollback)
{
    RecordingDelegate d;
    Terminal t(&d, sized(80, 25));
    t.resize(100, 40);
    scrollLines(t, 30);
    ASSERT_EQ(t.normalBuffer().lines().count(), 70);
    t.cursorHidden = true;
    t.wraparound = false;
    t.originMode = true;
    t.terminalTitle = "kept";

    t.feed("\x1b" "c");
    EXPECT_EQ(t.getDims(), std::make_pair(100, 40));
    EXPECT_EQ(t.normalBuffer().cols(), 100);
    EXPECT_EQ(t.normalBuffer().lines().count(), 40);
    EXPECT_EQ(t.normalBuffer().yBase(), 0);
    EXPECT_TRUE(t.cursorHidden);
    EXPECT_TRUE(t.wraparound);
    EXPECT_TRUE(t.normalBuffer().wraparound);
    EXPECT_FALSE(t.originMode);
    EXPECT_EQ(t.terminalTitle, "kept");
    EXPECT_FALSE(t.isCurrentBufferAlternate());
    EXPECT_TRUE(t.getUpdateRange().has_value());
}

TEST(Terminal, FullResetThroughTheParser)
{
    RecordingDelegate d;
    Terminal t(&d);
    t.feed("\x1b[?47h");
    t.feed("\x1b" "c");
    EXPECT_FALSE(t.isCurrentBufferAlternate());
}

TEST(Terminal, UpdateRangesGrowUntilCleared)
{
    RecordingDelegate d;
    Terminal t(&d, sized(80, 25));
    t.updateRange(5);
    t.updateRange(3);
    EXPECT_EQ(t.getUpdateRange(), std::make_pair(3, 5));
    t.feed("\x1b#8"); // the alignment pattern redraws the whole screen
    EXPECT_EQ(t.getUpdateRange(), std::make_pair(0, 25));
    t.clearUpdateRange();
    EXPECT_FALSE(t.getUpdateRange().has_value());
    EXPECT_FALSE(t.getScrollInvariantUpdateRange().has_value());
}

TEST(Terminal, ResizeToTheCurrentSizeDoesNothing)
{
    RecordingDelegate d;
    Terminal t(&d, sized(80, 25));
    t.resize(80, 25);
    EXPECT_FALSE(t.getUpdateRange().has_value());
    t.resize(1, 0);
    EXPECT_EQ(t.getDims(), std::make_pair(2, 1));
}

TEST(Terminal, FullScreenScrollOnAFullRingKeepsYBaseAndAdvancesLinesTop)
{
    RecordingDelegate d;
    TerminalOptions o = sized(10, 4);
    o.scrollback = 3;
    Terminal t(&d, o);
    scrollLines(t, 3);
    EXPECT_EQ(t.buffer().yBase(), 3);
    EXPECT_EQ(t.buffer().linesTop, 0);
    d.clear();
    scrollLines(t, 1);
    EXPECT_EQ(t.buffer().yBase(), 3);
    EXPECT_EQ(t.buffer().lines().count(), 7);
    EXPECT_EQ(t.buffer().linesTop, 1);
    EXPECT_EQ(d.calls, std::vector<std::string>{"scrolled 3"});

    // While the user looks at the scroll-back the view keeps showing the same text.
    t.setUserScrolling(true);
    t.scrollTo(1);
    scrollLines(t, 1);
    EXPECT_EQ(t.buffer().yDisp(), 0);
}

TEST(Terminal, ScrollInsideARegionReusesTheLeavingLine)
{
    RecordingDelegate d;
    Terminal t(&d, sized(10, 6));
    Buffer& b = t.buffer();
    b.setScrollTop(2);
    b.setScrollBottom(4);
    std::vector<const BufferLine*> before;
    for (int i = 0; i < 6; i++) before.push_back(&b.lines()[i]);
    CharData x;
    x.code = 'x';
    x.width = 1;
    b.lines()[2].set(0, x);

    t.scroll(false);
    EXPECT_EQ(&b.lines()[2], before[3]);
    EXPECT_EQ(&b.lines()[3], before[4]);
    EXPECT_EQ(&b.lines()[4], before[2]); // the same object, blanked
    EXPECT_EQ(b.lines()[4][0].code, 0);
    EXPECT_EQ(&b.lines()[5], before[5]);
    EXPECT_EQ(b.yBase(), 0);
}

TEST(Terminal, GraphemeClusterCodesAreStable)
{
    RecordingDelegate d;
    Terminal t(&d);
    EXPECT_EQ(t.code(U"e"), 'e');
    EXPECT_EQ(t.code(U"\u00e9"), 0xE9);
    int32_t cluster = t.code(U"e\u0301");
    EXPECT_EQ(cluster, 0x400001);
    EXPECT_EQ(t.code(U"e\u0301"), cluster);
    EXPECT_EQ(t.code(U"\U0001F600"), 0x400002); // one scalar, but past the BMP
    EXPECT_EQ(t.character(cluster), U"e\u0301");
    EXPECT_EQ(t.character(0x400999), U" ");
    EXPECT_EQ(t.character(0xD800), U" ");
    EXPECT_EQ(t.code(U"\r\n"), 10);
}

TEST(Terminal, HyperlinkPayloadIsTheTextAfterTheFirstSemicolon)
{
    EXPECT_EQ(Terminal::parseHyperlinkPayload("id=1;https://x/a;b"), std::optional<std::string>("https://x/a;b"));
    EXPECT_EQ(Terminal::parseHyperlinkPayload(";"), std::optional<std::string>(""));
    EXPECT_EQ(Terminal::parseHyperlinkPayload("nolink"), std::nullopt);
}

TEST(Terminal, FocusReportsFollowTheControlForm)
{
    RecordingDelegate d;
    Terminal t(&d);
    t.setTerminalFocus(false);
    EXPECT_EQ(d.sent, ""); // focus reports are off
    t.sendFocus = true;
    t.setTerminalFocus(true);
    t.setTerminalFocus(false);
    EXPECT_EQ(d.sent, "\x1b[I\x1b[O");
    t.cc.send8bit = true;
    d.sent.clear();
    t.setTerminalFocus(false);
    EXPECT_EQ(d.sent, "\x9bO");
}

TEST(Terminal, FallbacksLogOnlyWhenNotSilent)
{
    log::Capture capture;
    RecordingDelegate d;
    Terminal t(&d);
    t.feed("\x1bN");
    EXPECT_TRUE(capture.lines().empty());
    t.silentLog = false;
    t.feed("\x1bN");
    ASSERT_EQ(capture.lines().size(), 1u);
    EXPECT_EQ(capture.lines()[0], "Info: Corvix: Unknown ESC Code: ESC + N txt=[]");
}
