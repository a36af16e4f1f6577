// A whole frame of a shown terminal view through real OpenGL (llvmpipe under xvfb-run), next to
// the CPU path's frame of the same view: the 200x60 mixed screen and 80x24 of the same text, each
// static (a repaint with nothing changed), after one changed row, and after a scroll of one line.
//
// Per frame, after the change is applied and announced (not counted):
//   gui_thread_cpu_ms    the GUI thread's CPU time in repaint(): on the GPU path paintGL (the
//                        draw-data pass, encoding, llvmpipe's vertex work) and Qt's composition
//                        of the window; on the CPU path the paint event and the flush;
//   gui_paint_gl_cpu_ms  (GPU path) the part of it until the composition starts (aboutToCompose),
//                        which is paintGL;
//   wall_ms              wall time from repaint() until glFinish() returns (the GPU path) or
//                        until repaint() returns (the CPU path), the benchmark's time;
//   process_cpu_ms       the process's CPU time over the same span, llvmpipe's raster threads
//                        included.
// The CPU path repaints what it would for the change: the whole view when static or scrolled, the
// row's rectangle when one row changed. Qt turns a GL window's repaint() within one refresh
// interval of its last composition into a later update, so the GPU path waits that long (untimed)
// before each frame, and every frame must reach the window (frameSwapped).
#include "gpu/ChangingScreen.hpp"

#include "terminal/view/gpu/OpenGlDevice.hpp"

#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QScreen>
#include <QTest>

#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>

using namespace corvix;
using namespace corvix::bench;

namespace {

// llvmpipe compiles its shader variants over the first 20-40 frames.
constexpr int kWarmUpFrames = 60;
constexpr int kFrames = 100;

struct FrameCost {
    double guiThreadCpuMs = 0, wallMs = 0, processCpuMs = 0;
};

// Times `paint` then `finish` for one frame; its wall time in seconds.
double measure(FrameCost& cost, const std::function<void()>& paint, const std::function<void()>& finish)
{
    using Clock = std::chrono::steady_clock;
    const double process0 = cpuMs(CLOCK_PROCESS_CPUTIME_ID);
    const double thread0 = cpuMs(CLOCK_THREAD_CPUTIME_ID);
    const auto t0 = Clock::now();
    paint();
    cost.guiThreadCpuMs += cpuMs(CLOCK_THREAD_CPUTIME_ID) - thread0;
    finish();
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    cost.wallMs += wall * 1e3;
    cost.processCpuMs += cpuMs(CLOCK_PROCESS_CPUTIME_ID) - process0;
    return wall;
}

void report(benchmark::State& state, const FrameCost& cost, const std::string& label)
{
    const double frames = double(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.counters["gui_thread_cpu_ms"] = cost.guiThreadCpuMs / frames;
    state.counters["wall_ms"] = cost.wallMs / frames;
    state.counters["process_cpu_ms"] = cost.processCpuMs / frames;
    state.SetLabel(label);
}

// The view shown as a window of its own, drawing through GL if `gl`, on the benchmark's grid; the
// reason when it cannot be.
std::optional<std::string> showScreen(ChangingScreen& screen, bool gl)
{
    if (gl) {
        if (const GpuDeviceProbe probe = probeSystemGpuDevice(); !probe.device)
            return "no OpenGL 3.3 core context: " + probe.refusal;
    }
    screen.view.show();
    if (!QTest::qWaitForWindowExposed(&screen.view)) return "the view's window was never exposed";
    if (gl) {
        if (const std::optional<GpuError> error = screen.view.setUseGpu(true))
            return "the view cannot draw through OpenGL: " + describe(*error);
        // The GL widget makes Qt recreate the shown window's native window.
        if (!QTest::qWaitForWindowExposed(&screen.view)) return "the window was not shown again after the switch";
    }
    if (!screen.refit()) return "the terminal did not take the benchmark's grid";
    return std::nullopt;
}

// The frames ran on the benchmark's grid, and each scroll moved the screen by a line.
void checkScreen(benchmark::State& state, ChangingScreen& screen, int yDispBefore)
{
    if (!screen.onGrid()) {
        state.SkipWithError("the view was resized during the run");
    } else if (screen.change == Change::scroll && screen.yDisp() < yDispBefore + int(state.iterations())) {
        state.SkipWithError("the scroll frames did not scroll");
    }
}

void BM_GlViewFrame(benchmark::State& state)
{
    ChangingScreen screen(kGridSizes[state.range(0)], Change(state.range(1)));
    if (const std::optional<std::string> refusal = showScreen(screen, true)) {
        state.SkipWithError(refusal->c_str());
        return;
    }
    GpuSurface* surface = screen.view.findChild<GpuSurface*>();
    double paintStart = 0, paintGlCpuMs = 0;
    const auto paint = [&] {
        paintStart = cpuMs(CLOCK_THREAD_CPUTIME_ID);
        surface->repaint();
    };
    QObject::connect(surface, &QOpenGLWidget::aboutToCompose,
                     [&] { paintGlCpuMs += cpuMs(CLOCK_THREAD_CPUTIME_ID) - paintStart; });
    const auto finish = [&] {
        surface->makeCurrent();
        QOpenGLContext::currentContext()->functions()->glFinish();
        surface->doneCurrent();
    };
    const auto refreshInterval =
        std::chrono::microseconds(int(1e6 / std::max(1.0, screen.view.screen()->refreshRate())) + 1000);
    int swapped = 0;
    QObject::connect(surface, &QOpenGLWidget::frameSwapped, [&swapped] { ++swapped; });
    const auto frame = [&](FrameCost& cost) {
        screen.next();
        // What the display timer does after output: the rows to rebuild, an update of the surface.
        screen.view.updateDisplay(false);
        std::this_thread::sleep_for(refreshInterval);
        return measure(cost, paint, finish);
    };
    FrameCost warmUp;
    for (int i = 0; i < kWarmUpFrames; ++i) frame(warmUp);
    swapped = 0;
    paintGlCpuMs = 0;
    const int yDispBefore = screen.yDisp();
    FrameCost cost;
    for (auto _ : state) state.SetIterationTime(frame(cost));
    report(state, cost, screen.label("GL frame"));
    checkScreen(state, screen, yDispBefore);
    state.counters["gui_paint_gl_cpu_ms"] =
        paintGlCpuMs / double(std::max<benchmark::IterationCount>(state.iterations(), 1));
    if (swapped < state.iterations()) {
        state.SkipWithError(("only " + std::to_string(swapped) + " of " + std::to_string(state.iterations()) +
                             " frames reached the window")
                                .c_str());
    }
    screen.view.setUseGpu(false);
}
BENCHMARK(BM_GlViewFrame)
    ->ArgsProduct({{0, 1}, {int(Change::none), int(Change::oneRow), int(Change::scroll)}})
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(kFrames);

void BM_CpuViewFrame(benchmark::State& state)
{
    ChangingScreen screen(kGridSizes[state.range(0)], Change(state.range(1)));
    if (const std::optional<std::string> refusal = showScreen(screen, false)) {
        state.SkipWithError(refusal->c_str());
        return;
    }
    const auto frame = [&](FrameCost& cost) {
        const QRect dirty = screen.next();
        screen.view.updateDisplay(false);
        return measure(
            cost, [&] { screen.view.repaint(dirty); }, [] {});
    };
    FrameCost warmUp;
    for (int i = 0; i < kWarmUpFrames; ++i) frame(warmUp);
    const int yDispBefore = screen.yDisp();
    FrameCost cost;
    for (auto _ : state) state.SetIterationTime(frame(cost));
    report(state, cost, screen.label("CPU frame"));
    checkScreen(state, screen, yDispBefore);
}
BENCHMARK(BM_CpuViewFrame)
    ->ArgsProduct({{0, 1}, {int(Change::none), int(Change::oneRow), int(Change::scroll)}})
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(kFrames);

} // namespace
