#include "terminal/view/TerminalView.hpp"

#include "terminal/view/CaretView.hpp"
#include "terminal/view/TerminalViewDelegate.hpp"
#include "tests/EventLoopMarker.hpp"

#include <QApplication>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace corvix;

namespace {

struct CountingHost final : TerminalViewDelegate {
    int redraws = 0;
    std::string sent;
    std::vector<double> scrolledTo;

    void sizeChanged(TerminalView&, int, int) override {}
    void setTerminalTitle(TerminalView&, const QString&) override {}
    void hostCurrentDirectoryUpdate(TerminalView&, const std::optional<QString>&) override {}
    void send(TerminalView&, std::span<const uint8_t> data) override { sent.append(data.begin(), data.end()); }
    void scrolled(TerminalView&, double position) override { scrolledTo.push_back(position); }
    // With `notifyUpdateChanges` on, every redraw pass reports here once.
    void rangeChanged(TerminalView&, int, int) override { redraws++; }
};

// A view with a hand-driven clock and a terminal of exactly 80x24 cells.
struct DisplayFixture : ::testing::Test {
    CountingHost host;
    uint64_t now = 1'000'000'000;
    TerminalView view{QRect(0, 0, 800, 480), QFont(QStringLiteral("DejaVu Sans Mono"), 11)};

    void SetUp() override
    {
        view.terminalDelegate = &host;
        view.notifyUpdateChanges = true;
        view.uptimeNs = [this] { return now; };
        view.resizeGrid(80, 24);
        // Let anything queued by set-up run, then count from zero.
        ASSERT_TRUE(frameDue());
        host.redraws = 0;
        host.scrolledTo.clear();
    }

    void typeKey() { view.send(std::string_view("x")); }

    // Returns once every timer due within two coalescing delays has fired, the display timer
    // among them: a redraw that was coming has come, one that has not was never queued.
    [[nodiscard]] static bool frameDue() { return waitForEventsDueWithin(40); }

    void fillLines(int count)
    {
        std::string text;
        for (int i = 0; i < count; i++) text += "line " + std::to_string(i) + "\r\n";
        view.feed(text);
    }
};

TEST_F(DisplayFixture, OutputRightAfterInputIsDrawnAtOnceThenCoalesced)
{
    typeKey();
    now += 150'000'000;
    view.feed("a");
    EXPECT_EQ(host.redraws, 1);
    EXPECT_FALSE(view.pendingDisplay());

    now += 1;
    view.feed("b");
    EXPECT_EQ(host.redraws, 1);
    EXPECT_TRUE(view.pendingDisplay());
    ASSERT_TRUE(frameDue());
    EXPECT_EQ(host.redraws, 2);
    EXPECT_FALSE(view.pendingDisplay());
}

TEST_F(DisplayFixture, NoInputYetOrClockBehindTheStampIsNotInteractive)
{
    EXPECT_FALSE(view.shouldDisplayImmediatelyAfterUserInput());
    typeKey();
    EXPECT_TRUE(view.shouldDisplayImmediatelyAfterUserInput());
    now -= 1;
    EXPECT_FALSE(view.shouldDisplayImmediatelyAfterUserInput());
}

TEST_F(DisplayFixture, BurstInsideOneFrameGivesOneRedraw)
{
    for (int i = 0; i < 100; i++) view.feed("burst of output\r\n");
    EXPECT_EQ(host.redraws, 0);
    ASSERT_TRUE(frameDue());
    EXPECT_EQ(host.redraws, 1);
    ASSERT_TRUE(frameDue());
    EXPECT_EQ(host.redraws, 1);
}

TEST_F(DisplayFixture, SynchronizedOutputHoldsDrawingAndItsEndQueuesOneRedraw)
{
    view.feed("\x1b[?2026h");
    ASSERT_TRUE(frameDue());
    host.redraws = 0;
    typeKey();
    view.feed("held back");
    for (int i = 0; i < 10; i++) view.feed("more\r\n");
    EXPECT_FALSE(view.pendingDisplay());
    ASSERT_TRUE(frameDue());
    EXPECT_EQ(host.redraws, 0);

    now += 1'000'000'000;
    view.feed("\x1b[?2026l");
    EXPECT_TRUE(view.pendingDisplay());
    EXPECT_EQ(host.redraws, 0);
    ASSERT_TRUE(frameDue());
    EXPECT_EQ(host.redraws, 1);
}

TEST_F(DisplayFixture, DirtyRectangleCoversTheChangedRowsAndTheOneBelow)
{
    const double h = view.cellSize().height();
    const QRect row3 = view.dirtyRect(3, 3);
    EXPECT_EQ(row3.top(), int(3 * h));
    EXPECT_EQ(row3.top() + row3.height(), int(std::ceil(5 * h)));
    EXPECT_EQ(row3.width(), view.width());

    // The last row's rectangle reaches the bottom edge of the view, past the last whole row.
    const QRect last = view.dirtyRect(22, 23);
    EXPECT_EQ(last.top(), int(22 * h));
    EXPECT_EQ(last.top() + last.height(), view.height());

    // Scrolled back, every row moved: the whole frame.
    fillLines(60);
    view.scrollUp(5);
    EXPECT_EQ(view.dirtyRect(3, 3), view.rect());
}

TEST_F(DisplayFixture, ScrollArithmetic)
{
    // 100 lines of which 24 are on screen: the top row goes from 0 to 76.
    fillLines(99);
    Buffer& buffer = view.getTerminal().buffer();
    ASSERT_EQ(buffer.lines().count(), 100);
    ASSERT_EQ(buffer.yDisp(), 76);
    EXPECT_DOUBLE_EQ(view.scrollPosition(), 1.0);
    EXPECT_DOUBLE_EQ(view.scrollThumbsize(), 0.24);
    EXPECT_TRUE(view.canScroll());

    struct Step {
        const char* what;
        std::function<void()> act;
        int top;
    };
    const Step steps[] = {
        {"to position 0.5: trunc(38.0)", [&] { view.scroll(0.5); }, 38},
        {"to position 0.3: trunc(22.8)", [&] { view.scroll(0.3); }, 22},
        {"page up by 24", [&] { view.pageUp(); }, 0},
        {"page up at the top stays", [&] { view.pageUp(); }, 0},
        {"page down", [&] { view.pageDown(); }, 24},
        {"scroll down 100 stops at the bottom", [&] { view.scrollDown(100); }, 76},
        {"scroll up 3", [&] { view.scrollUp(3); }, 73},
        {"scroll to a row past the end clamps", [&] { view.scrollTo(500, false); }, 76},
        {"scroll to a negative row clamps", [&] { view.scrollTo(-4, false); }, 0},
    };
    for (const Step& step : steps) {
        step.act();
        EXPECT_EQ(buffer.yDisp(), step.top) << step.what;
        EXPECT_EQ(view.userScrolling, step.top < 76) << step.what;
        EXPECT_EQ(view.getTerminal().userScrolling, view.userScrolling) << step.what;
    }
    view.scrollTo(38, false);
    EXPECT_DOUBLE_EQ(view.scrollPosition(), 0.5);
    ASSERT_FALSE(host.scrolledTo.empty());
    EXPECT_DOUBLE_EQ(host.scrolledTo.back(), 0.5);
    EXPECT_TRUE(view.scrollBar()->isEnabled());
}

TEST_F(DisplayFixture, HalfwayOfAHundredLinesOnTwentyFiveRowsIsRow37)
{
    view.resizeGrid(80, 25);
    fillLines(99);
    ASSERT_EQ(view.getTerminal().buffer().lines().count(), 100);
    view.scroll(0.5);
    EXPECT_EQ(view.getTerminal().buffer().yDisp(), 37);
}

TEST_F(DisplayFixture, ThumbHasAFloorAndTheAlternateScreenDoesNotScroll)
{
    view.changeScrollback(20000);
    fillLines(10000);
    EXPECT_DOUBLE_EQ(view.scrollThumbsize(), 0.01);
    ASSERT_FALSE(host.scrolledTo.empty());

    view.feed("\x1b[?1049h");
    EXPECT_DOUBLE_EQ(view.scrollPosition(), 0.0);
    EXPECT_DOUBLE_EQ(view.scrollThumbsize(), 0.0);
    EXPECT_FALSE(view.canScroll());
    // Paging on the alternate screen is the program's business.
    const int top = view.getTerminal().buffer().yDisp();
    view.pageUp();
    view.pageDown();
    EXPECT_EQ(host.sent, "\x1b[5~\x1b[6~");
    EXPECT_EQ(view.getTerminal().buffer().yDisp(), top);
}

TEST_F(DisplayFixture, ScrollbackSizeChange)
{
    fillLines(200);
    EXPECT_GT(view.getTerminal().buffer().lines().count(), 24);
    view.changeScrollback(std::nullopt);
    EXPECT_EQ(view.getTerminal().options.scrollback, 0);
    EXPECT_EQ(view.getTerminal().buffer().lines().count(), 24);
    EXPECT_FALSE(view.canScroll());
    EXPECT_TRUE(view.pendingDisplay());
    EXPECT_DOUBLE_EQ(host.scrolledTo.back(), view.scrollPosition());
}

TEST_F(DisplayFixture, InputBringsTheCaretBackIntoView)
{
    fillLines(60);
    view.scrollUp(20);
    view.updateCursorPosition();
    // Scrolled back past the cursor: the caret goes away until the viewport returns.
    EXPECT_FALSE(view.caret()->isVisibleTo(&view));
    typeKey();
    EXPECT_EQ(view.getTerminal().buffer().yDisp(), view.getTerminal().buffer().yBase());
    EXPECT_TRUE(view.caret()->isVisibleTo(&view));
    EXPECT_EQ(host.sent, "x");
}

TEST_F(DisplayFixture, CaretFollowsTheCursorAndItsVisibility)
{
    view.feed("\x1b[5;11H");
    view.updateCursorPosition();
    const QSizeF cell = view.cellSize();
    EXPECT_EQ(view.caretFrame().topLeft(), QPoint(int(std::round(10 * cell.width())), int(std::round(4 * cell.height()))));
    view.feed("\x1b[?25l");
    view.updateCursorPosition();
    EXPECT_FALSE(view.caret()->isVisibleTo(&view));
    view.feed("\x1b[?25h");
    view.updateCursorPosition();
    EXPECT_TRUE(view.caret()->isVisibleTo(&view));
}

TEST_F(DisplayFixture, ArrowKeysFollowCursorKeyModeAndRightToLeftSwap)
{
    view.sendHorizontalKey(true);
    view.sendHorizontalKey(false);
    view.feed("\x1b[?1h");
    view.sendHorizontalKey(true);
    EXPECT_EQ(host.sent, "\x1b[D\x1b[C\x1bOD");

    // On a right-to-left line with the swap mode on, left and right trade places.
    host.sent.clear();
    view.feed("\x1b[?1l\x1b[2 k\x1b[?1243h");
    view.sendHorizontalKey(true);
    view.sendHorizontalKey(false);
    EXPECT_EQ(host.sent, "\x1b[C\x1b[D");
    // Without the swap mode they stay.
    host.sent.clear();
    view.feed("\x1b[?1243l");
    view.sendHorizontalKey(true);
    EXPECT_EQ(host.sent, "\x1b[D");
}

} // namespace

TEST_F(DisplayFixture, OutputRedrawsTheRowsButNotTheScrollBarBesideThem)
{
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::Paint) paints++;
            return false;
        }
    } onView, onBar;
    QScrollBar* bar = view.scrollBar();
    ASSERT_NE(bar, nullptr);
    view.installEventFilter(&onView);
    bar->installEventFilter(&onBar);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    ASSERT_FALSE(bar->isHidden());
    // The first frame paints both; after it, count from zero.
    ASSERT_TRUE(QTest::qWaitFor([&] { return onView.paints > 0 && onBar.paints > 0; }, 10'000));
    ASSERT_TRUE(frameDue());
    onView.paints = 0;
    onBar.paints = 0;

    // Text on a row and a full-width background reaching the right edge: the rows change,
    // the scroll bar's state does not.
    view.feed("\x1b[3;1Hhello\x1b[44m\x1b[K\x1b[0m");
    ASSERT_TRUE(QTest::qWaitFor([&] { return onView.paints > 0; }, 10'000));
    // Whatever else the output queued has been delivered by then.
    ASSERT_TRUE(frameDue());
    EXPECT_EQ(onBar.paints, 0);
}
