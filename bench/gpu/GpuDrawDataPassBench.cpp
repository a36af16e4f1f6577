// The draw-data pass's own work per frame, through the recording GL seam (no driver), on the
// 200x60 mixed screen of the view benchmarks and on 80x24 of the same text: a static frame (every
// row from the cache), a frame after one row changed, and a frame after a scroll of one line.
// Next to each, the CPU path's paint of the same frame: the whole view, the changed row's
// rectangle, the whole view after the scroll. Both include applying the change to the terminal.
#include "gpu/ChangingScreen.hpp"

#include "terminal/view/RecordingGpu.hpp"
#include "terminal/view/gpu/GlTerminalRenderer.hpp"

#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <memory>

using namespace corvix;
using namespace corvix::bench;

namespace {

constexpr int kWarmUpFrames = 60;

void BM_GpuDrawDataPass(benchmark::State& state)
{
    ChangingScreen screen(kGridSizes[state.range(0)], Change(state.range(1)));
    auto device = std::make_shared<testing::RecordingDevice>();
    QWidget gpuView;
    auto made = makeGpuTerminalRenderer(*device, gpuView, screen.view);
    if (!made.renderer) {
        state.SkipWithError(describe(*made.error).c_str());
        return;
    }
    DrawDataPass& pass = static_cast<GlTerminalRenderer&>(*made.renderer).drawDataPass();
    long rowsBuilt = 0;
    pass.buildRow = [&rowsBuilt, build = pass.buildRow](int row, int yDisp, double scale) {
        ++rowsBuilt;
        return build(row, yDisp, scale);
    };
    for (int i = 0; i < kWarmUpFrames; ++i) {
        screen.next();
        pass.buildDrawData(1, true);
    }
    rowsBuilt = 0;
    for (auto _ : state) {
        screen.next();
        const DrawData data = pass.buildDrawData(1, true);
        benchmark::DoNotOptimize(data.rows.data());
    }
    state.counters["rows_built_per_frame"] = double(rowsBuilt) / double(state.iterations());
    state.SetLabel(screen.label("GPU pass"));
}
BENCHMARK(BM_GpuDrawDataPass)
    ->ArgsProduct({{0, 1}, {int(Change::none), int(Change::oneRow), int(Change::scroll)}})
    ->Unit(benchmark::kMicrosecond);

void BM_CpuPaintOfTheSameFrame(benchmark::State& state)
{
    ChangingScreen screen(kGridSizes[state.range(0)], Change(state.range(1)));
    QImage image(screen.view.size(), QImage::Format_ARGB32_Premultiplied);
    const auto paint = [&](const QRect& dirty) {
        QPainter painter(&image);
        painter.setClipRect(dirty);
        screen.view.drawTerminalContents(dirty, painter, screen.yDisp());
    };
    for (int i = 0; i < kWarmUpFrames; ++i) paint(screen.next());
    for (auto _ : state) paint(screen.next());
    state.SetLabel(screen.label("CPU paint"));
}
BENCHMARK(BM_CpuPaintOfTheSameFrame)
    ->ArgsProduct({{0, 1}, {int(Change::none), int(Change::oneRow), int(Change::scroll)}})
    ->Unit(benchmark::kMicrosecond);

} // namespace
