#include "terminal/view/CaretView.hpp"

#include "terminal/view/TerminalProgressBarView.hpp"
#include "terminal/view/TerminalView.hpp"

#include "GlyphTestImage.hpp"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QThread>
#include <QTimer>

#include <cmath>

#include <gtest/gtest.h>

using namespace corvix;
using glyphtest::alphaAt;
using glyphtest::blankImage;

namespace {

struct CaretFixture : ::testing::Test {
    TerminalView view{QRect(0, 0, 400, 200), QFont(QStringLiteral("DejaVu Sans Mono"), 11)};
    CaretView& caret = *view.caret();

    void SetUp() override
    {
        caret.setCaretColor(QColor(255, 0, 0));
        caret.setText(CharData{});
    }

    // The caret drawn at a display scale, as its own layer would be.
    QImage drawn(double scale, bool focused)
    {
        QImage image = blankImage(int(caret.width() * scale), int(caret.height() * scale), scale);
        QPainter painter(&image);
        caret.drawCursor(painter, focused);
        return image;
    }
};

TEST_F(CaretFixture, ShapesFollowTheStyleAtBothScales)
{
    const int w = caret.width();
    const int h = caret.height();
    for (double scale : {1.0, 2.0}) {
        const int thin = int(2 * scale);
        const int wPx = int(w * scale);
        const int hPx = int(h * scale);

        caret.setStyle(CursorStyle::steadyBlock);
        QImage block = drawn(scale, true);
        EXPECT_EQ(alphaAt(block, 0, 0), 255) << scale;
        EXPECT_EQ(alphaAt(block, wPx - 1, hPx - 1), 255) << scale;

        caret.setStyle(CursorStyle::blinkUnderline);
        QImage underline = drawn(scale, true);
        EXPECT_EQ(alphaAt(underline, wPx / 2, hPx - thin), 255) << scale;
        EXPECT_EQ(alphaAt(underline, wPx / 2, hPx - thin - 1), 0) << scale;

        caret.setStyle(CursorStyle::steadyBar);
        QImage bar = drawn(scale, true);
        EXPECT_EQ(alphaAt(bar, thin - 1, hPx / 2), 255) << scale;
        EXPECT_EQ(alphaAt(bar, thin, hPx / 2), 0) << scale;
    }
}

TEST_F(CaretFixture, UnfocusedCaretIsTheSameOutlineForEveryStyle)
{
    caret.setStyle(CursorStyle::steadyBlock);
    const QImage block = drawn(1.0, false);
    EXPECT_GT(alphaAt(block, 0, caret.height() / 2), 0);
    EXPECT_EQ(alphaAt(block, caret.width() / 2, caret.height() / 2), 0);
    for (CursorStyle style : {CursorStyle::blinkUnderline, CursorStyle::steadyBar}) {
        caret.setStyle(style);
        EXPECT_EQ(drawn(1.0, false), block);
    }
}

TEST_F(CaretFixture, BlockShowsTheCharacterInTheCaretTextColour)
{
    view.feed("W\x1b[H");
    view.updateCursorPosition();
    caret.caretTextColor = QColor(0, 0, 255);
    caret.setStyle(CursorStyle::steadyBlock);
    const QImage image = drawn(1.0, true);
    int blue = 0;
    for (int y = 0; y < image.height(); y++)
        for (int x = 0; x < image.width(); x++)
            if (image.pixelColor(x, y).blue() > 200 && image.pixelColor(x, y).red() < 60) blue++;
    EXPECT_GT(blue, 5);
}

// The caret is opaque and draws the cell it covers itself: beside its bar, its pixels are the
// terminal view's own for that cell, also after the cell changes under a caret that stays put.
TEST_F(CaretFixture, CaretShowsTheCellBeneathItAndFollowsItsChanges)
{
    view.setCaretViewTracksFocus(false);
    const auto beneath = [&] {
        QImage image(caret.size(), QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&image);
        painter.translate(-caret.pos());
        view.drawTerminalContents(caret.geometry(), painter, view.getTerminal().buffer().yDisp());
        return image;
    };
    const auto differingBesideBar = [&](const QImage& shown, const QImage& cell) {
        int differing = 0;
        for (int y = 0; y < cell.height(); y++)
            for (int x = 3; x < cell.width(); x++) differing += shown.pixel(x, y) != cell.pixel(x, y);
        return differing;
    };
    const QColor background = view.nativeBackgroundColor();
    for (const char* text : {"W", "M"}) {
        view.feed(std::string("\x1b[2 q") + text + "\x1b[H");
        view.updateCursorPosition();
        caret.setStyle(CursorStyle::steadyBar);
        const QImage shown = caret.grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const QImage cell = beneath();
        EXPECT_EQ(shown.pixelColor(0, shown.height() / 2), QColor(255, 0, 0)) << text;
        EXPECT_EQ(differingBesideBar(shown, cell), 0) << text;
        int ink = 0;
        for (int y = 0; y < cell.height(); y++)
            for (int x = 3; x < cell.width(); x++) ink += cell.pixelColor(x, y) != background;
        EXPECT_GT(ink, 5) << text;
    }
}

TEST_F(CaretFixture, BlinkingFollowsTheCursorStyle)
{
    view.feed("\x1b[2 q");
    EXPECT_FALSE(caret.isAnimating());
    EXPECT_DOUBLE_EQ(caret.opacity(), 1.0);
    view.feed("\x1b[5 q");
    EXPECT_TRUE(caret.isAnimating());
    view.feed("\x1b[6 q");
    EXPECT_FALSE(caret.isAnimating());
    EXPECT_DOUBLE_EQ(caret.opacity(), 1.0);
}

TEST(TerminalProgressBar, StateTable)
{
    QWidget host;
    host.resize(400, 100);
    TerminalProgressBarView bar(&host);
    bar.setGeometry(0, 0, 400, 2);
    host.show();
    using S = ProgressReportState;

    bar.apply(S::set, 50);
    EXPECT_TRUE(bar.isVisibleTo(&host));
    EXPECT_FALSE(bar.trackVisible());
    EXPECT_FALSE(bar.isSweeping());
    EXPECT_EQ(bar.targetBarRect(), QRectF(0, 0, 200, 2));
    EXPECT_EQ(bar.barColor(), host.palette().color(QPalette::Active, QPalette::Highlight));

    bar.apply(S::error, std::nullopt);
    EXPECT_EQ(bar.barColor(), QColor(0xff, 0x3b, 0x30));
    EXPECT_TRUE(bar.trackVisible());
    EXPECT_TRUE(bar.isSweeping());
    EXPECT_EQ(bar.barRect().width(), 100);

    bar.apply(S::pause, 30);
    EXPECT_EQ(bar.barColor(), QColor(0xff, 0x95, 0x00));
    EXPECT_FALSE(bar.isSweeping());
    EXPECT_EQ(bar.targetBarRect(), QRectF(0, 0, 120, 2));

    // A resize shows the value again at once, without animating.
    bar.setGeometry(0, 0, 200, 2);
    EXPECT_EQ(bar.barRect(), QRectF(0, 0, 60, 2));

    bar.apply(S::indeterminate, std::nullopt);
    EXPECT_TRUE(bar.isSweeping());
    bar.apply(S::remove, 10);
    EXPECT_FALSE(bar.isVisibleTo(&host));
    EXPECT_FALSE(bar.isSweeping());
}

} // namespace

TEST_F(CaretFixture, BlinkFadesOutAndBackInEighthsOnOneClockForEveryCaret)
{
    // A second view's caret blinks too: both follow the one clock, in step.
    TerminalView other{QRect(0, 0, 400, 200), QFont(QStringLiteral("DejaVu Sans Mono"), 11)};
    CaretView& second = *other.caret();
    other.feed("\x1b[3 q");
    view.feed("\x1b[5 q");
    ASSERT_TRUE(caret.isAnimating());
    ASSERT_TRUE(second.isAnimating());
    int wakes = 0;
    QObject::connect(&CaretBlinkClock::shared().timer(), &QTimer::timeout, [&] { ++wakes; });

    bool dimmed = false;
    bool back = false;
    QElapsedTimer clock;
    clock.start();
    while (!back && clock.elapsed() < 20'000) {
        QCoreApplication::processEvents();
        QThread::msleep(2);
        const double shade = caret.opacity() * 8.0;
        ASSERT_EQ(shade, std::round(shade));
        ASSERT_EQ(second.opacity(), caret.opacity());
        dimmed = dimmed || caret.opacity() <= 0.25;
        back = dimmed && caret.opacity() == 1.0;
    }
    EXPECT_TRUE(back);
    // One fade out and in shows 16 shades at most, for both carets together; a frame-by-frame
    // animation would wake about eighty times in the same time, and a clock per caret twice 16.
    EXPECT_LE(wakes, 18);

    // A caret that stops blinking shows fully and leaves the other blinking.
    other.feed("\x1b[2 q");
    EXPECT_FALSE(second.isAnimating());
    EXPECT_DOUBLE_EQ(second.opacity(), 1.0);
    EXPECT_TRUE(caret.isAnimating());
}
