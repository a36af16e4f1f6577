#include "terminal/engine/HeadlessTerminal.hpp"

#include "support/HeadlessSession.hpp"
#include "support/ScreenDump.hpp"

#include <gtest/gtest.h>

using namespace corvix;
using namespace std::chrono_literals;

using corvix::test::Session;

TEST(HeadlessTerminal, EndIsReportedAfterTheLastOutputWasFed)
{
    Session s;
    s.onQueue([&] {
        s.headless->process().startProcess("/bin/sh", {"-c", "printf 'one\\r\\ntwo'; exit 3"});
    });
    ASSERT_TRUE(s.waitForEnd());
    std::lock_guard lock(s.mutex);
    EXPECT_EQ(s.endStatus, 768);
    EXPECT_EQ(s.screenAtEnd.substr(0, 8), "one\ntwo\n");
}

TEST(HeadlessTerminal, ColoursAndDirectoryArriveBeforeTheEnd)
{
    Session s;
    s.onQueue([&] {
        s.headless->process().startProcess(
            "/bin/sh", {"-c", "printf \"\\033[31mred\\033[0m\\033]7;file://h/tmp\\007\"; exit 3"});
    });
    ASSERT_TRUE(s.waitForEnd());
    EXPECT_EQ(s.endStatus, 768);
    s.onQueue([&] {
        Terminal& t = s.headless->terminal();
        auto cell = t.getCharData(0, 0);
        ASSERT_TRUE(cell.has_value());
        EXPECT_EQ(cell->code, 'r');
        EXPECT_EQ(cell->attribute.fg, Attribute::Color::ansi256(1));
        EXPECT_EQ(s.headless->dir, std::optional<std::string>("file://h/tmp"));
    });
}

TEST(HeadlessTerminal, ChildGetsTheReplyToItsCursorPositionRequest)
{
    Session s;
    // Non-canonical mode so the reply is readable without a newline; od shows it visibly.
    s.onQueue([&] {
        s.headless->process().startProcess(
            "/bin/sh", {"-c", "stty -icanon -echo min 6; printf 'abc\\033[6n'; "
                              "dd bs=1 count=6 2>/dev/null | od -An -c | tr -s ' '"});
    });
    ASSERT_TRUE(s.waitForEnd());
    EXPECT_EQ(s.onQueue([&] { return test::dumpRow(s.headless->terminal(), 0); }), "abc 033 [ 1 ; 4 R");
}

TEST(HeadlessTerminal, ResizeReachesTheChild)
{
    Session s;
    s.onQueue([&] {
        s.headless->process().startProcess("/bin/sh", {"-c", "stty size; read x; stty size"});
    });
    ASSERT_TRUE(s.eventually([&] { return test::dumpRow(s.headless->terminal(), 0) == "25 80"; }));
    s.onQueue([&] {
        s.headless->resize(100, 30);
        s.headless->send("\n");
    });
    ASSERT_TRUE(s.waitForEnd());
    EXPECT_EQ(s.onQueue([&] { return test::dumpRow(s.headless->terminal(), 2); }), "30 100");
}

TEST(HeadlessTerminal, WindowSizeAndScrollback)
{
    Session s;
    s.onQueue([&] {
        winsize size = s.headless->getWindowSize();
        EXPECT_EQ(size.ws_row, 25);
        EXPECT_EQ(size.ws_col, 80);
        EXPECT_EQ(size.ws_xpixel, 16);
        EXPECT_EQ(size.ws_ypixel, 16);
        s.headless->changeScrollback(std::nullopt);
        EXPECT_EQ(s.headless->terminal().options.scrollback, 0);
        EXPECT_EQ(s.headless->terminal().normalBuffer().lines().maxLength(), 25);
    });
}
