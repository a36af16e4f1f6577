// The draw-data pass's own work per frame, through the recording GL seam (no driver), on the
// 200x60 mixed screen of the view benchmarks and on 80x24 of the same text: a static frame (every
// row from the cache), a frame after one row changed, and a frame after a scroll of one line.
// Next to each, the CPU path's paint of the same frame: the whole view, the changed row's
// rectangle, the whole view after the scroll. Both include applying the change to the terminal.
#include "view/MixedScreen.hpp"

#include "terminal/view/RecordingGpu.hpp"
#include "terminal/view/TerminalView.hpp"
#include "terminal/view/gpu/GlTerminalRenderer.hpp"

#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

using namespace corvix;

namespace {

constexpr int kWarmUpFrames = 60;
constexpr int kChangedRow = 10;

enum class Change { none, oneRow, scroll };

struct Size {
    int cols, rows;
};
constexpr Size kSizes[] = {{200, 60}, {80, 24}};

// A view showing the mixed screen, and what changes between two frames.
struct Screen {
    Size size;
    Change change;
    TerminalView view;
    int frames = 0;

    Screen(Size size, Change change)
        : size(size), change(change),
          view(QRect(0, 0, size.cols * 9, size.rows * 18), QFont(QStringLiteral("DejaVu Sans Mono"), 10))
    {
        view.resizeGrid(size.cols, size.rows);
        view.feed(bench::mixedScreen(size.rows, size.cols - 10));
        view.updateDisplay(false);
    }

    // Applies the change of one frame; the view rectangle the CPU path paints for it.
    QRect next()
    {
        ++frames;
        switch (change) {
        case Change::none: break;
        case Change::oneRow:
            view.feed("\x1b[" + std::to_string(kChangedRow + 1) + ";1H" + (frames % 2 ? "x" : "y"));
            return QRect(0, int(kChangedRow * view.cellSize().height()), view.width(),
                         int(std::ceil(view.cellSize().height())));
        case Change::scroll:
            view.feed("\x1b[" + std::to_string(size.rows) + ";1H\r\n" + bench::mixedScreen(1, size.cols - 10, frames));
            break;
        }
        return view.rect();
    }
    int yDisp() { return view.getTerminal().buffer().yDisp(); }
};

const char* changeName(Change change)
{
    switch (change) {
    case Change::none: return "static";
    case Change::oneRow: return "one row changed";
    case Change::scroll: return "scroll of one line";
    }
    return "";
}

std::string label(const Screen& screen, const char* path)
{
    return std::string(path) + ", " + changeName(screen.change) + ", " + std::to_string(screen.size.cols) + "x" +
           std::to_string(screen.size.rows);
}

void BM_GpuDrawDataPass(benchmark::State& state)
{
    Screen screen(kSizes[state.range(0)], Change(state.range(1)));
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
    state.SetLabel(label(screen, "GPU pass"));
}
BENCHMARK(BM_GpuDrawDataPass)
    ->ArgsProduct({{0, 1}, {int(Change::none), int(Change::oneRow), int(Change::scroll)}})
    ->Unit(benchmark::kMicrosecond);

void BM_CpuPaintOfTheSameFrame(benchmark::State& state)
{
    Screen screen(kSizes[state.range(0)], Change(state.range(1)));
    QImage image(screen.view.size(), QImage::Format_ARGB32_Premultiplied);
    const auto paint = [&](const QRect& dirty) {
        QPainter painter(&image);
        painter.setClipRect(dirty);
        screen.view.drawTerminalContents(dirty, painter, screen.yDisp());
    };
    for (int i = 0; i < kWarmUpFrames; ++i) paint(screen.next());
    for (auto _ : state) paint(screen.next());
    state.SetLabel(label(screen, "CPU paint"));
}
BENCHMARK(BM_CpuPaintOfTheSameFrame)
    ->ArgsProduct({{0, 1}, {int(Change::none), int(Change::oneRow), int(Change::scroll)}})
    ->Unit(benchmark::kMicrosecond);

} // namespace
