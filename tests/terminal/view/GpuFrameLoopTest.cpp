// The GPU renderer's frames through the recording GL seam: one frame in flight with owed
// redraws, frames asked for without a drawable, teardown while a frame is in flight, the cursor
// blink timer, the drawing scale, and the GPU view inside a terminal view (switching, moving to
// another window, a failed rebind).
#include "terminal/view/CaretView.hpp"
#include "terminal/view/CategoryLog.hpp"
#include "terminal/view/RecordingGpu.hpp"
#include "terminal/view/TerminalView.hpp"
#include "terminal/view/gpu/GlTerminalRenderer.hpp"

#include <QApplication>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

using namespace corvix;
using corvix::testing::CategoryLog;
using corvix::testing::RecordingDevice;
using corvix::testing::RecordingGl;
using corvix::testing::RecordingSurface;

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 200;

// A renderer over the recording device whose view is a recording surface of 320x200.
struct FrameLoopFixture : ::testing::Test {
    std::shared_ptr<RecordingDevice> device = std::make_shared<RecordingDevice>();
    RecordingGl& gl = device->recorder;
    TerminalView terminalView{QRect(0, 0, kWidth, kHeight)};
    std::unique_ptr<RecordingSurface> surface = std::make_unique<RecordingSurface>();
    std::unique_ptr<GlTerminalRenderer> renderer;

    void SetUp() override
    {
        surface->resize(kWidth, kHeight);
        auto made = makeGpuTerminalRenderer(*device, *surface, terminalView);
        ASSERT_TRUE(made.renderer) << describe(*made.error);
        renderer.reset(static_cast<GlTerminalRenderer*>(made.renderer.release()));
    }

    void paint() { renderer->paint(0, kWidth, kHeight); }
};

} // namespace

TEST_F(FrameLoopFixture, RequestsDuringAFrameInFlightGiveExactlyOneMoreFrame)
{
    gl.fencesSignal = false;
    paint();
    EXPECT_EQ(gl.frames(), 1);
    EXPECT_TRUE(renderer->frameInFlight());
    EXPECT_TRUE(renderer->framePollTimer().isActive());

    // Two paints and a paint without a drawable while the GPU is busy: nothing drawn, one frame owed.
    paint();
    renderer->missedFrame();
    paint();
    EXPECT_EQ(gl.frames(), 1);
    EXPECT_TRUE(renderer->redrawOwed());
    renderer->pollFrameFence();
    EXPECT_TRUE(renderer->frameInFlight());
    EXPECT_TRUE(renderer->framePollTimer().isActive()) << "an unfinished frame is polled again";
    EXPECT_EQ(surface->frameRequests, 0);

    gl.fencesSignal = true;
    renderer->pollFrameFence();
    EXPECT_FALSE(renderer->frameInFlight());
    EXPECT_FALSE(renderer->framePollTimer().isActive());
    EXPECT_EQ(gl.liveFences, 0);
    EXPECT_EQ(surface->frameRequests, 1);

    // The requested frame is drawn, and owes nothing once it is done.
    paint();
    EXPECT_EQ(gl.frames(), 2);
    renderer->pollFrameFence();
    EXPECT_EQ(surface->frameRequests, 1);
    EXPECT_FALSE(renderer->redrawOwed());
}

TEST_F(FrameLoopFixture, AFinishedFrameFoundAtThePaintDrawsAtOnce)
{
    // The GPU finished before the poll timer ran: the paint draws, and nothing more is owed.
    gl.fencesSignal = false;
    paint();
    paint();
    EXPECT_TRUE(renderer->redrawOwed());
    gl.fencesSignal = true;
    paint();
    EXPECT_EQ(gl.frames(), 2);
    EXPECT_FALSE(renderer->redrawOwed());
    EXPECT_EQ(gl.liveFences, 1);
}

TEST_F(FrameLoopFixture, TheRendererGoneBeforeTheFenceSignalsReleasesItAndRequestsNothing)
{
    gl.fencesSignal = false;
    paint();
    paint();
    renderer.reset();
    EXPECT_EQ(gl.liveFences, 0);
    EXPECT_FALSE(surface->paintFrame);
    EXPECT_FALSE(surface->missedFrame);
    EXPECT_EQ(surface->frameRequests, 0);
    surface->repaint();
}

TEST_F(FrameLoopFixture, TheViewGoneBeforeTheFenceSignalsEndsTheFrameAndRequestsNothing)
{
    DrawData data;
    data.frame.emplace().backgroundCells.resize(4);
    renderer->setDrawData(data);
    gl.fencesSignal = false;
    paint();
    paint();
    EXPECT_TRUE(renderer->redrawOwed());
    // The surface's context goes with it, and the GPU is done with the frame.
    surface.reset();
    EXPECT_FALSE(renderer->frameInFlight());
    EXPECT_EQ(gl.liveFences, 0);
    renderer->pollFrameFence();
    renderer->blinkCursor();
    renderer->drawNow();
    // The frame's pooled buffer went back to the pool: the next frame makes none.
    const int made = gl.buffersMade;
    renderer->paint(0, kWidth, kHeight);
    EXPECT_EQ(gl.buffersMade, made);
}

TEST_F(FrameLoopFixture, TheBlinkTimerFollowsTheCursorStyleAtEachFrame)
{
    // Each step: output fed, a frame drawn, then (when `tick`) one tick of the timer.
    struct Step {
        const char* feed;
        bool tick;
        bool timer;
        bool visibleAfter;
    } steps[] = {
        {"\x1b[6 q", false, false, true}, // steady bar: no timer, always shown
        {"\x1b[5 q", false, true, true},  // blinking bar: a timer, shown first
        {"", true, true, false},          // a tick hides it
        {"", false, true, false},         // a frame keeps the phase
        {"\x1b[?25l", false, false, true}, // a hidden cursor stops the timer, phase back to shown
        {"\x1b[?25h", false, true, true},
    };
    for (const Step& step : steps) {
        terminalView.feed(step.feed);
        paint();
        if (step.tick) renderer->blinkCursor();
        EXPECT_EQ(renderer->cursorBlinkTimer().isActive(), step.timer) << step.feed;
        EXPECT_EQ(renderer->cursorBlinkOn(), step.visibleAfter) << step.feed;
        if (step.timer) EXPECT_EQ(renderer->cursorBlinkTimer().interval(), 700);
    }
    // A tick asks for a frame.
    const int requests = surface->frameRequests;
    renderer->blinkCursor();
    EXPECT_EQ(surface->frameRequests, requests + 1);
}

TEST_F(FrameLoopFixture, RecordsAreBuiltAtTheOverrideOrThePixelRatioNeverBelowOne)
{
    ASSERT_EQ(surface->devicePixelRatioF(), 1.0);
    DrawData data;
    data.frame.emplace().backgroundCells.resize(1);
    renderer->setDrawData(data);
    struct Case {
        std::optional<double> override;
        double scale;
        std::string viewport;
    } cases[] = {
        {std::nullopt, 1, "320x200"},
        {0.5, 1, "320x200"},
        {2, 2, "640x400"},
        {1.5, 1.5, "480x300"},
    };
    for (const Case& c : cases) {
        terminalView.setGpuScaleFactorOverride(c.override);
        EXPECT_EQ(renderer->frameScale(), c.scale) << c.viewport;
        gl.calls.clear();
        paint();
        renderer->pollFrameFence();
        // The framebuffer keeps the widget's pixels; the records span the scaled drawable.
        ASSERT_EQ(gl.calls.size(), 3u) << c.viewport;
        EXPECT_EQ(gl.calls[0], "clear fb0 320x200");
        EXPECT_TRUE(gl.calls[1].ends_with(" " + c.viewport)) << gl.calls[1];
    }
}

namespace {

// A shown terminal view in a window, drawing on the recording device once switched.
struct GpuViewFixture : ::testing::Test {
    std::shared_ptr<RecordingDevice> device = std::make_shared<RecordingDevice>();
    RecordingGl& gl = device->recorder;
    QWidget window;
    TerminalView* view = new TerminalView(QRect(0, 0, 640, 400), std::nullopt, &window);

    void SetUp() override
    {
        view->gpuDeviceProbe = [this] { return GpuDeviceProbe{device, {}}; };
        window.resize(640, 400);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        // The redraw the new view queued for itself is done now rather than amid the counted frames.
        view->displayImmediately();
    }

    // The view's GPU surfaces (findChild cannot tell them from other widgets: they have no meta-object).
    std::vector<RecordingSurface*> surfaces() const
    {
        std::vector<RecordingSurface*> found;
        for (QObject* child : view->children()) {
            if (auto* one = dynamic_cast<RecordingSurface*>(child)) found.push_back(one);
        }
        return found;
    }
    RecordingSurface* surface() const
    {
        const std::vector<RecordingSurface*> found = surfaces();
        return found.empty() ? nullptr : found.front();
    }

    // Waits for `count` frames drawn and none left in flight.
    ::testing::AssertionResult framesDrawn(int count)
    {
        if (QTest::qWaitFor([&] { return gl.frames() >= count && gl.liveFences == 0; }, 5000)) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure() << gl.frames() << " frames, " << gl.liveFences << " in flight";
    }

    // The GPU view over the whole view and under the scroller; the caret hidden.
    void expectGpuViewShown()
    {
        RecordingSurface* shown = surface();
        ASSERT_TRUE(shown);
        EXPECT_EQ(shown->geometry(), view->rect());
        EXPECT_TRUE(shown->isVisible());
        const QObjectList& children = view->children();
        auto* scroller = view->findChild<QScrollBar*>();
        ASSERT_TRUE(scroller);
        EXPECT_LT(children.indexOf(shown), children.indexOf(scroller));
        EXPECT_FALSE(view->caret()->isVisible());
    }
};

} // namespace

TEST_F(GpuViewFixture, SwitchingShowsTheGpuViewAndBackTheCaret)
{
    EXPECT_TRUE(view->caret()->isVisible());
    ASSERT_EQ(view->setUseGpu(true), std::nullopt);
    EXPECT_TRUE(view->isUsingGpuRenderer());
    expectGpuViewShown();
    EXPECT_TRUE(framesDrawn(1));
    // The caret stays hidden when the cursor moves or is shown again.
    view->feed("\x1b[?25l\x1b[?25habc");
    view->displayImmediately();
    EXPECT_FALSE(view->caret()->isVisible());

    ASSERT_EQ(view->setUseGpu(false), std::nullopt);
    EXPECT_FALSE(view->isUsingGpuRenderer());
    EXPECT_EQ(surface(), nullptr);
    EXPECT_TRUE(view->caret()->isVisible());
    EXPECT_EQ(gl.liveObjects(), gl.live[GpuObjectKind::program]);
}

TEST_F(GpuViewFixture, AFrameWithoutADrawableIsDrawnLaterWithoutOutsideHelp)
{
    // A steady cursor: no blink ticks to ask for frames.
    view->feed("\x1b[2 q");
    ASSERT_EQ(view->setUseGpu(true), std::nullopt);
    ASSERT_TRUE(framesDrawn(1));
    const int before = gl.frames();
    // Nothing is in flight to pay the frame back: the view asks again by itself.
    surface()->drawablesMissing = 1;
    surface()->repaint();
    EXPECT_EQ(gl.frames(), before);
    EXPECT_TRUE(framesDrawn(before + 1));
}

TEST_F(GpuViewFixture, MovingToAnotherWindowRebindsAndLeavesNoObjectBehind)
{
    ASSERT_EQ(view->setUseGpu(true), std::nullopt);
    ASSERT_TRUE(framesDrawn(1));
    RecordingSurface* first = surface();
    const int live = gl.liveObjects();
    const int frames = gl.frames();

    QWidget other;
    other.resize(640, 400);
    other.show();
    view->setParent(&other);
    view->show();
    expectGpuViewShown();
    EXPECT_NE(surface(), first);
    EXPECT_EQ(surfaces().size(), 1u);
    EXPECT_TRUE(framesDrawn(frames + 1));
    EXPECT_EQ(gl.liveObjects(), live);

    // The view gone, only the device's programs are left.
    delete view;
    EXPECT_EQ(gl.liveObjects(), gl.live[GpuObjectKind::program]);
}

TEST_F(GpuViewFixture, AFailedRebindLogsAndDrawsOnTheCpu)
{
    ASSERT_EQ(view->setUseGpu(true), std::nullopt);
    ASSERT_TRUE(framesDrawn(1));
    gl.refuseTextures = true;
    CategoryLog log("corvix.TerminalView");
    QWidget other;
    other.show();
    view->setParent(&other);
    view->show();

    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0].first, QtCriticalMsg);
    EXPECT_EQ(log.lines[0].second, "Corvix: GPU renderer rebind failed; falling back to CPU drawing: "
                                   "Failed to create the glyph atlas.");
    EXPECT_FALSE(view->isUsingGpuRenderer());
    EXPECT_EQ(surface(), nullptr);
    EXPECT_TRUE(view->caret()->isVisible());
    EXPECT_EQ(gl.liveObjects(), gl.live[GpuObjectKind::program]);
    view->setNativeBackgroundColor(QColor(10, 20, 30));
    EXPECT_EQ(view->grab().toImage().pixelColor(200, 200), QColor(10, 20, 30));
}
