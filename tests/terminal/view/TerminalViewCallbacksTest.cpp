#include "terminal/view/TerminalView.hpp"

#include "terminal/view/CaretView.hpp"
#include "terminal/view/TerminalProgressBarView.hpp"
#include "terminal/view/TerminalViewDelegate.hpp"

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <utility>
#include <string>

using namespace corvix;

namespace {

struct Host final : TerminalViewDelegate {
    std::string sent;
    int bells = 0;
    std::vector<double> scrolledTo;

    void sizeChanged(TerminalView&, int, int) override {}
    void setTerminalTitle(TerminalView&, const QString&) override {}
    void hostCurrentDirectoryUpdate(TerminalView&, const std::optional<QString>&) override {}
    void send(TerminalView&, std::span<const uint8_t> data) override { sent.append(data.begin(), data.end()); }
    void scrolled(TerminalView&, double position) override { scrolledTo.push_back(position); }
    void bell(TerminalView&) override { bells++; }
    void rangeChanged(TerminalView&, int, int) override {}
};

struct CallbackFixture : ::testing::Test {
    Host host;
    TerminalView view{QRect(0, 0, 800, 480), QFont(QStringLiteral("DejaVu Sans Mono"), 11)};

    void SetUp() override
    {
        view.terminalDelegate = &host;
        view.show();
        QApplication::processEvents();
    }
};

TEST_F(CallbackFixture, WindowReportsUseTheViewsPixelSizes)
{
    const Terminal& t = view.getTerminal();
    const QSizeF cell = view.cellSize();
    const double scale = view.devicePixelRatioF();
    const std::string textArea = "4;" + std::to_string(std::lround(cell.height() * scale * t.rows)) + ";"
        + std::to_string(std::lround(cell.width() * scale * t.cols)) + "t";
    const std::string cellSize = "6;" + std::to_string(int(cell.height() * scale)) + ";"
        + std::to_string(int(cell.width() * scale)) + "t";

    view.feed("\x1b[14t\x1b[16t");
    EXPECT_EQ(host.sent, "\x1b[" + textArea + "\x1b[" + cellSize);

    host.sent.clear();
    view.feed("\x1b G\x1b[14t\x1b[16t");
    EXPECT_EQ(host.sent, "\x9b" + textArea + "\x9b" + cellSize);

    // Moving the window gets no reply.
    host.sent.clear();
    view.feed("\x1b[3;10;10t");
    EXPECT_EQ(host.sent, "");
}

TEST_F(CallbackFixture, ProgressReportsFollowTheirStateTable)
{
    struct Step {
        const char* osc;
        ProgressReportState state;
        std::optional<uint8_t> shown;
        std::optional<uint8_t> stored;
    };
    using S = ProgressReportState;
    const Step steps[] = {
        {"1", S::set, 0, 0},            // set without a value shows 0
        {"1;40", S::set, 40, 40},
        {"4", S::pause, 40, 40},        // pause without a value keeps the last one
        {"2", S::error, 40, 40},
        {"3", S::indeterminate, std::nullopt, 40},
        {"0", S::remove, std::nullopt, std::nullopt},
        {"2", S::error, std::nullopt, std::nullopt}, // nothing stored: error without progress
        {"4", S::pause, 100, 100},      // nothing stored: pause shows 100
    };
    for (const Step& step : steps) {
        view.feed(std::string("\x1b]9;4;") + step.osc + "\x07");
        EXPECT_EQ(view.progressBar()->state(), step.state) << step.osc;
        EXPECT_EQ(view.progressBar()->progress(), step.shown) << step.osc;
        EXPECT_EQ(view.lastProgressValue(), step.stored) << step.osc;
        EXPECT_EQ(view.progressBar()->isVisibleTo(&view), step.state != S::remove) << step.osc;
    }
}

TEST_F(CallbackFixture, ProgressIsClearedWhenNotRenewed)
{
    // A report at 0 ms, renewed at 50 ms, looked at at 120 ms: past the first report's time-out
    // (100 ms), inside the renewed one (150 ms). The look is a timer too, and Qt fires timers in
    // the order they are due, so a slow event loop cannot move it past either time-out.
    view.progressReportTimeout = 0.1;
    view.feed("\x1b]9;4;1;70\x07");
    QTimer::singleShot(50, Qt::PreciseTimer, &view, [&] { view.feed("\x1b]9;4;1;80\x07"); });
    std::optional<std::pair<ProgressReportState, std::optional<uint8_t>>> looked;
    QTimer::singleShot(120, Qt::PreciseTimer, &view,
                       [&] { looked.emplace(view.progressBar()->state(), view.progressBar()->progress()); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return looked.has_value(); }, 5000));
    EXPECT_NE(looked->first, ProgressReportState::remove);
    EXPECT_EQ(looked->second, 80);
    EXPECT_TRUE(QTest::qWaitFor([&] { return view.progressBar()->state() == ProgressReportState::remove; }, 1000));
    EXPECT_EQ(view.lastProgressValue(), std::nullopt);
    EXPECT_FALSE(view.progressBar()->isVisibleTo(&view));
}

TEST_F(CallbackFixture, LineFeedEndsTheSelectionOnlyWhileMouseReportingIsAllowed)
{
    view.feed("one\r\n");
    view.selectionService().setSelection(Position{0, 0}, Position{2, 0});
    view.allowMouseReporting = false;
    view.getTerminal().feed(std::string_view("\n"));
    EXPECT_TRUE(view.selectionActive());
    view.allowMouseReporting = true;
    view.getTerminal().feed(std::string_view("\n"));
    EXPECT_FALSE(view.selectionActive());
}

TEST_F(CallbackFixture, CursorStyleBellAndScrolling)
{
    view.feed("\x1b[4 q");
    EXPECT_EQ(view.caret()->style(), CursorStyle::steadyUnderline);
    EXPECT_FALSE(view.caret()->isAnimating());
    view.feed("\x1b[1 q");
    EXPECT_EQ(view.caret()->style(), CursorStyle::blinkBlock);
    EXPECT_TRUE(view.caret()->isAnimating());

    view.feed("\x07");
    EXPECT_EQ(host.bells, 1);

    std::string lines;
    for (int i = 0; i < 100; i++) lines += "x\r\n";
    view.feed(lines);
    ASSERT_FALSE(host.scrolledTo.empty());
    EXPECT_DOUBLE_EQ(host.scrolledTo.back(), 1.0);
}

TEST(TerminalViewImages, ScaleCentresAndKeepsProportions)
{
    QImage source(40, 20, QImage::Format_ARGB32_Premultiplied);
    source.fill(Qt::red);
    const QImage wide = TerminalView::scale(source, QSize(100, 100));
    EXPECT_EQ(wide.size(), QSize(100, 100));
    // 40x20 into 100x100 spans the width: rows 25 to 74 hold the image.
    EXPECT_EQ(wide.pixelColor(50, 24).alpha(), 0);
    EXPECT_EQ(wide.pixelColor(50, 25), QColor(Qt::red));
    EXPECT_EQ(wide.pixelColor(50, 74), QColor(Qt::red));
    EXPECT_EQ(wide.pixelColor(50, 75).alpha(), 0);
    const QImage tall = TerminalView::scale(source, QSize(20, 100));
    EXPECT_EQ(tall.pixelColor(10, 50), QColor(Qt::red));
    EXPECT_EQ(tall.pixelColor(10, 10).alpha(), 0);
}

} // namespace
