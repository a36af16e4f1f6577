#include "terminal/engine/Terminal.hpp"

#include "support/Options.hpp"
#include "support/RecordingDelegate.hpp"
#include "support/ScreenDump.hpp"

#include <gtest/gtest.h>

using namespace corvix;
using corvix::test::sized;
using corvix::test::dumpScreen;
using corvix::test::RecordingDelegate;

TEST(TerminalUpdate, FeedingReportsDirtyRowsUntilCleared)
{
    RecordingDelegate d;
    Terminal t(&d, sized(80, 25));
    EXPECT_FALSE(t.getUpdateRange().has_value());
    t.feed("a\r\nb\r\nc");
    EXPECT_EQ(t.getUpdateRange(), std::make_pair(0, 2));
    EXPECT_EQ(t.getScrollInvariantUpdateRange(), std::make_pair(0, 2));
    t.clearUpdateRange();
    EXPECT_FALSE(t.getUpdateRange().has_value());
    t.feed("\x1b[31m"); // not a cell change: nothing dirty
    t.feed("d");
    EXPECT_EQ(t.getUpdateRange(), std::make_pair(2, 2));

    // Text on the same screen row after the screen scrolled lands on a new scroll-back row.
    t.feed(std::string(30, '\n'));
    t.clearUpdateRange();
    const int top = t.buffer().yDisp();
    t.feed("e\nf");
    EXPECT_EQ(t.buffer().yDisp(), top + 1);
    EXPECT_EQ(t.getScrollInvariantUpdateRange(), std::make_pair(top + 24, top + 25));
}

TEST(TerminalUpdate, ResizeReflowsFedTextAndKeepsTheCursorOnScreen)
{
    RecordingDelegate d;
    Terminal t(&d, sized(20, 5));
    t.feed("abcdefghijklmno\r\nxy");
    t.resize(10, 5);
    EXPECT_EQ(dumpScreen(t, {.wrapMarkers = true}), "abcdefghij\n~klmno\nxy\n\n\n");
    EXPECT_EQ(t.getCursorLocation(), std::make_pair(2, 2));
    t.resize(20, 5);
    EXPECT_EQ(dumpScreen(t, {.wrapMarkers = true}), "abcdefghijklmno\nxy\n\n\n\n");
    EXPECT_EQ(t.getCursorLocation(), std::make_pair(2, 1));

    t.resize(4, 2); // narrower than the cursor line, fewer rows than the text
    auto [x, y] = t.getCursorLocation();
    EXPECT_LT(x, 4);
    EXPECT_LT(y, 2);
    t.resize(1, 0);
    EXPECT_EQ(t.getDims(), std::make_pair(2, 1));
}

TEST(TerminalUpdate, WideningAddsTabStopsForTheNewColumns)
{
    RecordingDelegate d;
    Terminal t(&d, sized(80, 25));
    t.resize(100, 25);
    auto& stops = t.buffer().tabStops;
    ASSERT_EQ(stops.size(), 100u);
    for (int col : {72, 80, 88, 96}) EXPECT_TRUE(stops[size_t(col)]) << col;
    EXPECT_FALSE(stops[81]);
    t.feed("\t\t\t\t\t\t\t\t\t\t");
    EXPECT_EQ(t.getCursorLocation().first, 80);
}

TEST(TerminalUpdate, ScrollbackChangeDropsOldLines)
{
    RecordingDelegate d;
    Terminal t(&d, sized(10, 3));
    for (int i = 0; i < 10; i++) t.feed("x\r\n");
    ASSERT_EQ(t.buffer().lines().count(), 11);
    t.changeScrollback(std::nullopt);
    EXPECT_EQ(t.options.scrollback, 0);
    EXPECT_EQ(t.buffer().lines().count(), 3);
    EXPECT_EQ(t.buffer().yBase(), 0);
}
