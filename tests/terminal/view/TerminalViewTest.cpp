#include "terminal/view/TerminalView.hpp"

#include "terminal/view/CaretView.hpp"
#include "terminal/view/ColorConversion.hpp"
#include "terminal/view/TerminalDebugView.hpp"
#include "terminal/view/TerminalViewDelegate.hpp"

#include <QApplication>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QImage>
#include <QLabel>
#include <QScrollBar>

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace corvix;

namespace {

struct RecordingHost final : TerminalViewDelegate {
    std::vector<std::pair<int, int>> sizes;
    std::string sent;

    void sizeChanged(TerminalView&, int cols, int rows) override { sizes.emplace_back(cols, rows); }
    void setTerminalTitle(TerminalView&, const QString&) override {}
    void hostCurrentDirectoryUpdate(TerminalView&, const std::optional<QString>&) override {}
    void send(TerminalView&, std::span<const uint8_t> data) override { sent.append(data.begin(), data.end()); }
    void scrolled(TerminalView&, double) override {}
    void rangeChanged(TerminalView&, int, int) override {}
};

QFont dejaVuMono(int points = 13)
{
    QFont font(QStringLiteral("DejaVu Sans Mono"), points);
    font.setStyleHint(QFont::TypeWriter);
    return font;
}

// A shown view of 640x400 with a recording host.
struct ViewFixture : ::testing::Test {
    RecordingHost host;
    TerminalView view{QRect(0, 0, 640, 400), dejaVuMono()};

    void SetUp() override
    {
        view.terminalDelegate = &host;
        view.show();
        QApplication::processEvents();
    }

    // The grid a frame holds by the cell metrics, the scroller's width not counted.
    std::pair<int, int> expectedGrid(QSize frame)
    {
        const QSizeF cell = view.cellSize();
        return {int((frame.width() - view.scrollerWidth()) / cell.width()), int(frame.height() / cell.height())};
    }
};

TEST(TerminalViewMetrics, CellSizeRuleSnapsToDevicePixels)
{
    struct Case {
        double ascent, descent, leading, advance, lineSpacing, scale;
        double width, height;
    };
    const Case cases[] = {
        // The line is rounded up to whole points before the scale: 15.3 gives 16 at scale 2;
        // 7.24 * 2 = 14.48 rounds to 14 px.
        {12.0, 3.0, 0.3, 7.24, 1.0, 2.0, 7.0, 16.0},
        // A line of 7.3 with spacing 1.5 is ceil(10.95) = 11 points.
        {5.0, 2.0, 0.3, 7.24, 1.5, 2.0, 7.0, 11.0},
        // At scale 1 the height rounds up to 16 and 7.5 rounds away from zero to 8.
        {12.0, 3.0, 0.3, 7.5, 1.0, 1.0, 8.0, 16.0},
        // 7.25 at scale 2 is 14.5 px, rounded away from zero to 15 px.
        {10.0, 2.0, 0.0, 7.25, 1.0, 2.0, 7.5, 12.0},
        // Line spacing multiplies the line before snapping: ceil(12 * 1.2) = 15.
        {10.0, 2.0, 0.0, 7.0, 1.2, 1.0, 7.0, 15.0},
        // A line spacing of 0 still gives a 1-point cell, a tiny advance a 1-point width.
        {10.0, 2.0, 0.0, 0.2, 0.0, 1.0, 1.0, 1.0},
        // Enormous line spacing stops at 8192.
        {10.0, 2.0, 0.0, 7.0, 1e9, 2.0, 7.0, 8192.0},
    };
    for (const Case& c : cases) {
        const QSizeF size = TerminalView::cellSizeFor(c.ascent, c.descent, c.leading, c.advance, c.lineSpacing, c.scale);
        EXPECT_DOUBLE_EQ(size.width(), c.width) << c.advance << " at scale " << c.scale;
        EXPECT_DOUBLE_EQ(size.height(), c.height) << c.lineSpacing << " at scale " << c.scale;
    }
}

TEST_F(ViewFixture, TerminalFitsTheFrameLessTheScroller)
{
    const QFontMetricsF metrics(dejaVuMono());
    const QSizeF expected = TerminalView::cellSizeFor(metrics.ascent(), metrics.descent(), metrics.leading(),
                                                      metrics.horizontalAdvance(QChar('W')), 1.0, 1.0);
    EXPECT_EQ(view.cellSize(), expected);
    ASSERT_GT(view.scrollerWidth(), 0);
    const auto [cols, rows] = expectedGrid(QSize(640, 400));
    EXPECT_EQ(view.getTerminal().cols, cols);
    EXPECT_EQ(view.getTerminal().rows, rows);

    // The optimal frame holds exactly that grid, scroller included.
    const QRect optimal = view.getOptimalFrameSize();
    EXPECT_EQ(optimal.width(), int(view.cellSize().width() * cols) + view.scrollerWidth());
    EXPECT_EQ(optimal.height(), int(view.cellSize().height() * rows));
}

TEST_F(ViewFixture, ResizeSignalsTheNewSizeOnceAndNothingForTheSameGrid)
{
    view.resize(820, 500);
    QApplication::processEvents();
    ASSERT_EQ(host.sizes.size(), 1u);
    EXPECT_EQ(host.sizes[0], expectedGrid(QSize(820, 500)));
    EXPECT_EQ(host.sizes[0], std::make_pair(view.getTerminal().cols, view.getTerminal().rows));

    // One pixel more holds the same grid: no resize, no signal.
    view.resize(821, 500);
    QApplication::processEvents();
    EXPECT_EQ(host.sizes.size(), 1u);
    EXPECT_FALSE(view.processSizeChange(QSizeF(820, 500)));
    EXPECT_FALSE(view.processSizeChange(QSizeF(0, 0)));
}

TEST_F(ViewFixture, FontChangeRemeasuresAndAgreesWithTheNextResize)
{
    const QSizeF before = view.cellSize();
    view.setFont(dejaVuMono(20));
    EXPECT_GT(view.cellSize().width(), before.width());
    EXPECT_GT(view.cellSize().height(), before.height());
    EXPECT_EQ(view.fonts().normal.pointSize(), 20);
    EXPECT_TRUE(view.fonts().bold.bold());
    EXPECT_TRUE(view.fonts().boldItalic.italic());

    // The font change already fitted the grid the way a resize would: a resize to the same frame
    // finds nothing to do.
    ASSERT_EQ(host.sizes.size(), 1u);
    EXPECT_EQ(host.sizes.back(), expectedGrid(QSize(640, 400)));
    EXPECT_FALSE(view.processSizeChange(QSizeF(640, 400)));

    // Hidden, the scroller takes no width, for fonts and frames alike.
    view.scrollBar()->hide();
    view.setFont(dejaVuMono(13));
    EXPECT_EQ(host.sizes.back(), expectedGrid(QSize(640, 400)));
    EXPECT_EQ(view.scrollerWidth(), 0);
    EXPECT_FALSE(view.processSizeChange(QSizeF(640, 400)));
}

TEST_F(ViewFixture, FontChangeEndsTheSelection)
{
    view.feed("hello world");
    view.selectionService().setSelection(Position{0, 0}, Position{4, 0});
    ASSERT_TRUE(view.selectionActive());
    EXPECT_EQ(view.QWidget::font().pointSize(), 13);
    view.setFont(dejaVuMono(14));
    EXPECT_FALSE(view.selectionActive());
}

TEST(TerminalViewConstruction, ZeroFrameKeepsDefaultsAndSystemFont)
{
    TerminalView view(QRect(0, 0, 0, 0));
    EXPECT_EQ(view.fonts().normal.family(), QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
    EXPECT_EQ(view.getTerminal().cols, 80);
    EXPECT_EQ(view.getTerminal().rows, 25);
    // A font reset on a zero frame re-measures but leaves the terminal's size alone.
    view.setLineSpacing(2.0);
    EXPECT_EQ(view.getTerminal().cols, 80);
    EXPECT_EQ(view.getTerminal().rows, 25);
    EXPECT_EQ(view.caretFrame().height(), int(std::ceil(view.cellSize().height())));
}

// ---- Colours ----------------------------------------------------------------------------------

struct ColorFixture : ViewFixture {
    QColor palette(int index) { return makeColor(view.getTerminal().ansiColors[size_t(index)]); }
};

TEST_F(ColorFixture, MapColorChoosesThePaletteIndex)
{
    using C = Attribute::Color;
    struct Case {
        int code;
        bool bold;
        bool bright;
        int index;
    };
    const Case cases[] = {
        // With bright colours, bold lifts 0..6 to their bright forms; 7 and everything above stay.
        {1, true, true, 9}, {1, false, true, 1}, {6, true, true, 14}, {7, true, true, 7}, {9, true, true, 9},
        {196, true, true, 196},
        // Without, the bright base colours fold onto 0..7; the cube and grey ramp keep their own.
        {9, false, false, 1}, {15, true, false, 7}, {5, true, false, 5}, {8, false, false, 0},
        {16, false, false, 16}, {196, false, false, 196}, {196, true, false, 196}, {244, false, false, 244},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(view.mapColor(C::ansi256(uint8_t(c.code)), true, c.bold, c.bright), palette(c.index))
            << "code " << c.code << (c.bold ? " bold" : "") << (c.bright ? " bright" : "");
    }
}

TEST_F(ColorFixture, MapColorOfTrueAndDefaultColours)
{
    using C = Attribute::Color;
    EXPECT_EQ(view.mapColor(C::trueColor(0x12, 0x80, 0xff), true, false, true), QColor(0x12, 0x80, 0xff));
    EXPECT_EQ(view.mapColor(C::trueColor(0x12, 0x80, 0xff), false, true, false), QColor(0x12, 0x80, 0xff));

    const QColor fg = view.nativeForegroundColor();
    const QColor bg = view.nativeBackgroundColor();
    EXPECT_EQ(fg, makeColor(Color::defaultForeground()));
    EXPECT_EQ(bg, makeColor(Color::defaultBackground()));
    EXPECT_EQ(view.mapColor(C::defaultColor(), true, false, true), fg);
    EXPECT_EQ(view.mapColor(C::defaultColor(), false, false, true), bg);
    // Inverse video of default text: the foreground takes the background and the other way round.
    EXPECT_EQ(view.mapColor(C::defaultInvertedColor(), true, false, true), bg);
    EXPECT_EQ(view.mapColor(C::defaultInvertedColor(), false, false, true), fg);
}

TEST_F(ColorFixture, PaletteChangesReachTheCachedColours)
{
    using C = Attribute::Color;
    const QColor before = view.mapColor(C::ansi256(3), true, false, true);
    view.feed("\x1b]4;3;rgb:12/34/56\x07");
    EXPECT_NE(view.mapColor(C::ansi256(3), true, false, true), before);
    EXPECT_EQ(view.mapColor(C::ansi256(3), true, false, true), QColor(0x12, 0x34, 0x56));

    std::vector<Color> base = Color::terminalAppColors();
    base[2] = Color(0xffff, 0, 0);
    view.installColors(base);
    EXPECT_EQ(view.mapColor(C::ansi256(2), true, false, true), QColor(255, 0, 0));
    // A palette of the wrong length changes nothing.
    view.installColors({Color(0, 0, 0xffff)});
    EXPECT_EQ(view.mapColor(C::ansi256(2), true, false, true), QColor(255, 0, 0));
}

TEST_F(ColorFixture, DefaultColourCommandsBecomeTheNativeColours)
{
    view.feed("\x1b]10;rgb:ff/00/00\x07\x1b]11;rgb:00/00/ff\x07");
    EXPECT_EQ(view.nativeForegroundColor(), QColor(255, 0, 0));
    EXPECT_EQ(view.nativeBackgroundColor(), QColor(0, 0, 255));
    EXPECT_EQ(view.mapColor(Attribute::Color::defaultInvertedColor(), true, false, true), QColor(0, 0, 255));
    // The native colour written back reaches the engine once, without echoing forever.
    view.setNativeForegroundColor(QColor(0, 255, 0));
    EXPECT_EQ(view.getTerminal().foregroundColor(), Color(0, 0xffff, 0));
}

TEST(ColorConversion, ConvertsBothWaysAndDerivesColours)
{
    EXPECT_EQ(getTerminalColor(QColor(Qt::white)), Color(65535, 65535, 65535));
    EXPECT_EQ(getTerminalColor(QColor::fromRgba64(32767, 32767, 32767)), Color(32767, 32767, 32767));
    EXPECT_EQ(getTerminalColor(QColor()), Color::defaultForeground());
    const QColor red = makeColor(Color(65535, 0, 0));
    EXPECT_EQ(red, QColor(255, 0, 0));
    EXPECT_EQ(red.alpha(), 255);
    for (Color c : {Color(1, 2, 3), Color(0x1234, 0x8000, 0xfffe), Color::defaultForeground()})
        EXPECT_EQ(getTerminalColor(makeColor(c)), c);

    EXPECT_EQ(inverseColor(QColor(Qt::black)), QColor(Qt::white));
    const QColor halfBlack = inverseColor(QColor::fromRgbF(0, 0, 0, 0.5f));
    EXPECT_EQ(halfBlack.rgb(), QColor(Qt::white).rgb());
    EXPECT_NEAR(halfBlack.alphaF(), 0.5, 1e-4);

    const QColor grey = dimmedColor(QColor(Qt::white), QColor(Qt::black));
    EXPECT_NEAR(grey.redF(), 0.5, 1e-4);
    EXPECT_NEAR(grey.blueF(), 0.5, 1e-4);
    EXPECT_EQ(grey.alpha(), 255);
    EXPECT_EQ(dimmedColor(QColor(Qt::white), QColor()), QColor(Qt::white));
}

// ---- Focus and renderer -----------------------------------------------------------------------

TEST_F(ViewFixture, FocusReportsOnlyWhileRequested)
{
    auto focus = [&](QEvent::Type type) {
        QFocusEvent event(type, Qt::OtherFocusReason);
        QApplication::sendEvent(&view, &event);
    };
    focus(QEvent::FocusIn);
    focus(QEvent::FocusOut);
    EXPECT_EQ(host.sent, "");

    // Turning reports on tells the program the focus state the view recorded last.
    view.feed("\x1b[?1004h");
    EXPECT_EQ(host.sent, "\x1b[O");
    focus(QEvent::FocusIn);
    EXPECT_TRUE(view.caret()->focused);
    focus(QEvent::FocusOut);
    EXPECT_FALSE(view.caret()->focused);
    EXPECT_EQ(host.sent, "\x1b[O\x1b[I\x1b[O");

    view.feed("\x1b[?1004l");
    focus(QEvent::FocusIn);
    EXPECT_EQ(host.sent, "\x1b[O\x1b[I\x1b[O");
}

TEST_F(ViewFixture, GpuUnavailableKeepsCpuDrawing)
{
    // The offscreen platform cannot host an OpenGL widget, and the error says so.
    const std::optional<GpuError> refused = view.setUseGpu(true);
    ASSERT_TRUE(refused);
    EXPECT_EQ(*refused, GpuError(GpuError::deviceUnavailable,
                                 "the platform \"offscreen\" cannot host an OpenGL widget"));
    EXPECT_EQ(describe(*refused),
              "No OpenGL device is available: the platform \"offscreen\" cannot host an OpenGL widget");
    EXPECT_FALSE(view.isUsingGpuRenderer());
    // Turning off what is already off does nothing.
    EXPECT_EQ(view.setUseGpu(false), std::nullopt);

    view.setNativeBackgroundColor(QColor(10, 20, 30));
    const QImage image = view.grab().toImage();
    // Away from the caret in the top-left cell.
    EXPECT_EQ(image.pixelColor(200, 200), QColor(10, 20, 30));
    EXPECT_TRUE(view.caret()->isVisible());
}

TEST(TerminalViewEnvironment, LiveResizeThrottleIsOnUnlessTurnedOff)
{
    // The flag is read once per process; this process leaves the variable unset.
    if (qEnvironmentVariableIsSet("CORVIX_METAL_LIVE_RESIZE_THROTTLE")) GTEST_SKIP();
    EXPECT_TRUE(TerminalView::gpuLiveResizeThrottleEnabled());
}

TEST_F(ViewFixture, DebugViewShowsWaitingThenTheBufferNumbers)
{
    view.feed("ab\r\ncd");
    auto* debug = new TerminalDebugView(QRect(0, 0, 300, 200), &view);
    EXPECT_EQ(view.debugView(), debug);
    EXPECT_EQ(debug->findChild<QLabel*>()->text(), "WAITING");
    debug->update();
    EXPECT_EQ(debug->statusText(), "x: 2 y: 1 yDisp: 0 yBase: 0 clc: " + QString::number(view.getTerminal().rows)
                                        + " startIndex: 0");
    EXPECT_TRUE(debug->lineText(0).startsWith("[000:000]DBab"));
    EXPECT_TRUE(debug->lineText(1).startsWith("[001:001]  cd"));
}

} // namespace
