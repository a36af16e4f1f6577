// A terminal view drawing through OpenGL, end to end: bytes fed to the view's own terminal reach
// the screen without further calls, and a screen of every kind of cell looks as the CPU path draws
// it at probes in solid areas (cell backgrounds, strokes, the cursor block, a picture).
#include "terminal/view/TerminalView.hpp"
#include "terminal/view/gpu/OpenGlDevice.hpp"
#include "terminal/gl/GlDevice.hpp"

#include <QDir>
#include <QScreen>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

using namespace corvix;
using corvix::testing::sharedDevice;

namespace {

// Deadline for a frame to reach the screen; llvmpipe's first frames are slow.
constexpr int kFrameDeadlineMs = 10000;

bool sameColour(const QColor& a, const QColor& b, int tolerance)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

::testing::AssertionResult colourNear(const QColor& actual, const QColor& expected, int tolerance)
{
    if (sameColour(actual, expected, tolerance)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got " << actual.name().toStdString() << ", expected "
                                         << expected.name().toStdString();
}

void saveArtefact(const QImage& image, const QString& name)
{
    const QByteArray dir = qgetenv("BRISVANE_SCREENSHOT_DIR");
    if (dir.isEmpty()) return;
    QDir().mkpath(QString::fromLocal8Bit(dir));
    image.save(QString::fromLocal8Bit(dir) + "/" + name);
}

// A Sixel picture of one colour (percent RGB), `width` pixels wide and `bands` sixel rows of six
// pixels tall.
std::string solidSixel(int width, int bands, int red, int green, int blue)
{
    std::string s = "\x1bPq\"1;1;" + std::to_string(width) + ";" + std::to_string(bands * 6) + "#1;2;" +
                    std::to_string(red) + ";" + std::to_string(green) + ";" + std::to_string(blue);
    for (int band = 0; band < bands; ++band) {
        if (band) s += "-";
        s += "#1!" + std::to_string(width) + "~";
    }
    return s + "\x1b\\";
}

// What a window shows on the (virtual) screen: the composed frame as presented, not a fresh
// render of its widgets.
QImage onScreen(QWidget& window)
{
    return window.windowHandle()->screen()->grabWindow(window.winId()).toImage().convertToFormat(QImage::Format_RGB32);
}

// Waits for `window` to show `expected` at `at` on the screen.
::testing::AssertionResult showsColour(QWidget& window, QPoint at, const QColor& expected)
{
    QColor seen;
    if (QTest::qWaitFor(
            [&] {
                seen = onScreen(window).pixelColor(at);
                return sameColour(seen, expected, 8);
            },
            kFrameDeadlineMs)) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "the screen still shows " << seen.name().toStdString() << ", expected "
                                         << expected.name().toStdString();
}

class GpuViewEndToEnd : public ::testing::Test {
protected:
    // The shared device stays alive between the tests' views (its first context is the costly part).
    void SetUp() override
    {
        if (sharedDevice()) return;
        const GpuDeviceProbe probe = probeSystemGpuDevice();
        if (!probe.device) FAIL_OR_SKIP_WITHOUT_GL("no OpenGL device: " + probe.refusal);
        sharedDevice() = probe.device;
    }
};

// A shown window holding one view in the DejaVu face at a fixed size.
struct ShownView {
    QWidget window;
    TerminalView* view;

    ShownView(int width, int height)
        : view(new TerminalView(QRect(0, 0, width, height), QFont(QStringLiteral("DejaVu Sans Mono"), 12), &window))
    {
        window.resize(width, height);
        window.show();
    }
    GpuSurface* surface() { return view->findChild<GpuSurface*>(); }
    QPoint cellCentre(int col, int row) const
    {
        const QSizeF cell = view->cellSize();
        return QPoint(int((col + 0.5) * cell.width()), int((row + 0.5) * cell.height()));
    }
};

} // namespace

TEST_F(GpuViewEndToEnd, BytesFedAfterTheSwitchReachTheScreenWithoutFurtherCalls)
{
    ShownView shown(320, 200);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&shown.window));
    ASSERT_EQ(shown.view->setUseGpu(true), std::nullopt);
    const QPoint probe = shown.view->mapTo(&shown.window, shown.cellCentre(2, 1));
    ASSERT_TRUE(showsColour(shown.window, probe, shown.view->nativeBackgroundColor())) << "the first GPU frame";

    // Red cells on the second row, then the same cells green: each change is one more frame.
    for (const char* sgr : {"41", "42"}) {
        SCOPED_TRACE(sgr);
        shown.view->feed(std::string("\x1b[2;1H\x1b[") + sgr + "m      \x1b[0m");
        const QColor expected =
            shown.view->mapColor(Attribute::Color::ansi256(std::atoi(sgr) - 40), false, false, true);
        EXPECT_TRUE(showsColour(shown.window, probe, expected));
    }
    EXPECT_TRUE(shown.view->isUsingGpuRenderer());
}

TEST_F(GpuViewEndToEnd, MovedIntoAnotherWindowTheViewDrawsThere)
{
    ShownView shown(320, 200);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&shown.window));
    ASSERT_EQ(shown.view->setUseGpu(true), std::nullopt);
    shown.view->feed("\x1b[44m        \x1b[0m");

    QWidget other;
    other.resize(320, 200);
    other.move(400, 0);
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
    shown.view->setParent(&other);
    shown.view->move(0, 0);
    shown.view->show();
    ASSERT_TRUE(shown.view->isUsingGpuRenderer()) << "the move fell back to the CPU";
    ASSERT_NE(shown.surface(), nullptr);

    // The blue cells fed before the move, then text on magenta fed after it, on the new window's
    // screen pixels.
    const QColor blue = shown.view->mapColor(Attribute::Color::ansi256(4), false, false, true);
    EXPECT_TRUE(showsColour(other, shown.view->mapTo(&other, shown.cellCentre(3, 0)), blue));

    shown.view->feed("\x1b[2;1H\x1b[45mHHHH  \x1b[0m");
    const QColor magenta = shown.view->mapColor(Attribute::Color::ansi256(5), false, false, true);
    EXPECT_TRUE(showsColour(other, shown.view->mapTo(&other, shown.cellCentre(5, 1)), magenta));
    // Along the text's middle scan line, the letters' stems.
    const QImage screen = onScreen(other);
    const QPoint from = shown.view->mapTo(&other, shown.cellCentre(0, 1)),
                 to = shown.view->mapTo(&other, shown.cellCentre(3, 1));
    int ink = 0;
    for (int x = from.x() - 4; x <= to.x() + 4; ++x)
        ink += sameColour(screen.pixelColor(x, from.y()), magenta, 60) ? 0 : 1;
    EXPECT_GT(ink, 0) << "no text on the magenta cells";
}

namespace {

// The screen of the comparison, one kind of cell per area (columns, rows from 0):
//   row 0: "RED" in SGR 31 (0-2); green on blue (4-10, spaces at 9-10); SGR 41 spaces (12-13);
//          a truecolour background (15-18);
//   row 1: "BOLD" bold (0-3), "BOLD" plain (5-8), underlined "UNDER" and four underlined spaces
//          (10-18);
//   rows 2-4: a box frame (0-3); on row 2 a wide CJK character (6-7);
//   rows 5-: a Sixel picture at column 0; the block cursor at row 3, column 10.
const char* const kScreen = "\x1b[2 q"
                            "\x1b[31mRED\x1b[0m \x1b[32;44mGREEN  \x1b[0m \x1b[41m  \x1b[0m "
                            "\x1b[48;2;200;120;40m    \x1b[0m\r\n"
                            "\x1b[1mBOLD\x1b[0m BOLD \x1b[4mUNDER    \x1b[0m\r\n"
                            "\xe2\x94\x8c\xe2\x94\x80\xe2\x94\x80\xe2\x94\x90  \xe6\xbc\xa2\r\n"
                            "\xe2\x94\x82  \xe2\x94\x82\r\n"
                            "\xe2\x94\x94\xe2\x94\x80\xe2\x94\x80\xe2\x94\x98\r\n";
constexpr int kPictureWidth = 60, kPictureBands = 6;
const QColor kPictureColour(0, 204, 153);
const QColor kCaret(200, 0, 200);

} // namespace

TEST_F(GpuViewEndToEnd, AFullScreenLooksAsTheCpuPathDrawsIt)
{
    ShownView shown(400, 260);
    TerminalView& view = *shown.view;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&shown.window));
    ASSERT_EQ(view.setUseGpu(true), std::nullopt);
    // The filled block is the focused cursor: the view's window must be the active one. The GL
    // widget makes Qt recreate the shown window's native window, which loses the activation, so
    // this comes after the switch.
    shown.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&shown.window));
    view.setFocus();
    ASSERT_TRUE(view.hasFocus());
    view.setCaretColor(kCaret);
    view.feed(kScreen);
    view.feed(solidSixel(kPictureWidth, kPictureBands, 0, 80, 60));
    view.feed("\x1b[4;11H");
    view.updateDisplay(false);

    GpuSurface* surface = shown.surface();
    ASSERT_NE(surface, nullptr);
    const QImage gpu = surface->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(view.setUseGpu(false), std::nullopt);
    view.updateCursorPosition();
    const QImage cpu = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
    saveArtefact(gpu, "gl-end-to-end-gpu.png");
    saveArtefact(cpu, "gl-end-to-end-cpu.png");
    ASSERT_EQ(gpu.size(), cpu.size());

    const QSizeF cell = view.cellSize();
    const QColor background = view.nativeBackgroundColor();
    const auto colour = [&](int index) { return view.mapColor(Attribute::Color::ansi256(index), false, false, true); };
    const auto foreground = [&](int index) {
        return view.mapColor(Attribute::Color::ansi256(index), true, false, true);
    };

    // Solid areas: the same colour on both paths, and the one fed.
    struct Probe {
        const char* what;
        QPoint at;
        QColor expected;
    };
    const Probe probes[] = {
        {"SGR 44 background", shown.cellCentre(10, 0), colour(4)},
        {"SGR 41 background", shown.cellCentre(13, 0), colour(1)},
        {"truecolour background", shown.cellCentre(16, 0), QColor(200, 120, 40)},
        {"default background", shown.cellCentre(25, 2), background},
        {"inside the box", shown.cellCentre(1, 3), background},
        {"cursor block", shown.cellCentre(10, 3), kCaret},
        {"picture centre", QPoint(kPictureWidth / 2, int(5 * cell.height()) + kPictureBands * 3), kPictureColour},
        {"picture corner", QPoint(4, int(5 * cell.height()) + 4), kPictureColour},
    };
    for (const Probe& probe : probes) {
        SCOPED_TRACE(probe.what);
        EXPECT_TRUE(colourNear(gpu.pixelColor(probe.at), cpu.pixelColor(probe.at), 8)) << "GPU against CPU";
        EXPECT_TRUE(colourNear(gpu.pixelColor(probe.at), probe.expected, 8)) << "GPU against the colour fed";
    }

    // Ink: pixels far from the cell's background. Glyph edges differ between the rasterisers; the
    // amount of ink in a run of cells does not, much.
    const auto isInk = [&](const QColor& c, const QColor& under) { return !sameColour(c, under, 60); };
    // The pixels of cells firstCol..lastCol on `row` that `counts`.
    const auto pixelsIn = [&](const QImage& image, int firstCol, int lastCol, int row, const auto& counts) {
        int found = 0;
        for (int y = int(row * cell.height()); y < int((row + 1) * cell.height()); ++y)
            for (int x = int(firstCol * cell.width()); x < int((lastCol + 1) * cell.width()); ++x)
                found += counts(image.pixelColor(x, y)) ? 1 : 0;
        return found;
    };
    const auto inkOver = [&](const QColor& under) { return [&, under](const QColor& c) { return isInk(c, under); }; };
    struct Run {
        const char* what;
        int firstCol, lastCol, row;
        QColor under;
    };
    const Run runs[] = {
        {"red text", 0, 2, 0, background},       {"green text on blue", 4, 8, 0, colour(4)},
        {"bold text", 0, 3, 1, background},      {"plain text", 5, 8, 1, background},
        {"CJK, left half", 6, 6, 2, background}, {"CJK, right half", 7, 7, 2, background},
    };
    for (const Run& run : runs) {
        SCOPED_TRACE(run.what);
        const int gpuInk = pixelsIn(gpu, run.firstCol, run.lastCol, run.row, inkOver(run.under));
        const int cpuInk = pixelsIn(cpu, run.firstCol, run.lastCol, run.row, inkOver(run.under));
        EXPECT_GT(cpuInk, 0);
        EXPECT_NEAR(gpuInk, cpuInk, cpuInk / 4 + 1);
    }
    // Bold is drawn bolder than the same word plain, on the GPU too.
    EXPECT_GT(pixelsIn(gpu, 0, 3, 1, inkOver(background)), pixelsIn(gpu, 5, 8, 1, inkOver(background)) * 11 / 10);
    // The text keeps its colour: red ink is red.
    const auto inkOf = [](const QColor& tint) { return [tint](const QColor& c) { return sameColour(c, tint, 40); }; };
    EXPECT_GT(pixelsIn(gpu, 0, 2, 0, inkOf(foreground(1))), 0) << "no red ink in the red text";
    EXPECT_GT(pixelsIn(gpu, 4, 8, 0, inkOf(foreground(2))), 0) << "no green ink in the green text";

    // Strokes: the scan lines (or columns) of ink across a cell, which must match within a pixel.
    const auto inkAlong = [&](const QImage& image, QPoint from, QPoint step, int count) {
        std::vector<int> hits;
        for (int i = 0; i < count; ++i) {
            const QPoint p = from + step * i;
            if (isInk(image.pixelColor(p), background)) hits.push_back(i);
        }
        return hits;
    };
    struct Stroke {
        const char* what;
        QPoint from;
        QPoint step;
        int count;
    };
    const int cellW = int(cell.width()), cellH = int(cell.height());
    const Stroke strokes[] = {
        {"underline under spaces", QPoint(int(16.5 * cell.width()), cellH), QPoint(0, 1), cellH},
        {"horizontal box stroke", QPoint(int(1.5 * cell.width()), 2 * cellH), QPoint(0, 1), cellH},
        {"vertical box stroke", QPoint(0, int(3.5 * cell.height())), QPoint(1, 0), cellW},
        {"box corner, across", QPoint(int(0.75 * cell.width()), 4 * cellH), QPoint(0, 1), cellH},
    };
    for (const Stroke& stroke : strokes) {
        SCOPED_TRACE(stroke.what);
        const std::vector<int> g = inkAlong(gpu, stroke.from, stroke.step, stroke.count);
        const std::vector<int> c = inkAlong(cpu, stroke.from, stroke.step, stroke.count);
        ASSERT_FALSE(c.empty());
        ASSERT_FALSE(g.empty()) << "no stroke on the GPU";
        EXPECT_LE(std::abs(g.front() - c.front()), 1);
        EXPECT_LE(std::abs(g.back() - c.back()), 1);
        // The stroke's centre is the foreground on both.
        const QPoint centre = stroke.from + stroke.step * ((c.front() + c.back()) / 2);
        EXPECT_TRUE(colourNear(gpu.pixelColor(centre), cpu.pixelColor(centre), 24)) << "at the stroke's centre";
    }
}
