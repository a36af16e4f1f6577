// Building the GPU row records for all 60 rows of the 200x60 mixed screen of the view's
// full-redraw benchmark, next to the CPU path's drawing of the same rows into an image. Both
// include building the frame from the row model. Warm: every run, glyph and texture is a cache
// hit; cold: fresh caches and atlases each pass. Needs a display for the atlases' textures.
#include "gpu/CurrentGpuDevice.hpp"
#include "view/MixedScreen.hpp"

#include "terminal/view/TerminalView.hpp"
#include "terminal/view/gpu/RowDrawData.hpp"

#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

using namespace corvix;

namespace {

struct Screen {
    TerminalView view{QRect(0, 0, 1800, 1100), QFont(QStringLiteral("DejaVu Sans Mono"), 10)};
    Screen()
    {
        view.resizeGrid(200, 60);
        view.feed(bench::mixedScreen());
        view.updateDisplay(false);
    }
};

// The caches of one renderer, over atlases of its starting size.
struct Renderer {
    GlyphRasterizer rasterizer;
    std::unique_ptr<GlyphAtlas> gray, color;
    std::unique_ptr<GlyphEntries> entries;
    ShaperCache shaper;
    GpuImageTextures images;
    std::unique_ptr<RowDrawBuilder> builder;

    Renderer(GpuDevice& device, TerminalView& view) : images(device)
    {
        gray = GlyphAtlas::makeForDevice(device, GlyphAtlasFormat::grayscale);
        color = GlyphAtlas::makeForDevice(device, GlyphAtlasFormat::bgra);
        entries = std::make_unique<GlyphEntries>(rasterizer, *gray, *color);
        builder = std::make_unique<RowDrawBuilder>(view, *entries, *gray, *color, shaper, images);
    }
};

struct Counts {
    long records = 0;
};

Counts buildAll(Screen& screen, Renderer& renderer, double scale)
{
    Counts counts;
    const RenderFrame frame = screen.view.renderFrame(screen.view.rect(), 0);
    for (const RenderRow& row : frame.rows) {
        const RowDrawData data = renderer.builder->build(row, frame, scale);
        counts.records += long(data.backgroundCells.size() + data.glyphCellsGray.size() + data.glyphCellsColor.size() +
                               data.decorationCells.size() + data.powerlineJoinCells.size());
    }
    return counts;
}

void BM_GpuRowDrawDataWarm(benchmark::State& state)
{
    const std::shared_ptr<GpuDevice> gpu = bench::currentGpuDevice(state);
    if (!gpu) return;
    Screen screen;
    const double scale = double(state.range(0));
    Renderer renderer(*gpu, screen.view);
    buildAll(screen, renderer, scale);
    Counts counts;
    for (auto _ : state) counts = buildAll(screen, renderer, scale);
    state.counters["records"] = double(counts.records);
    state.SetLabel("warm caches, 60 rows of 200x60 at scale " + std::to_string(state.range(0)));
}
BENCHMARK(BM_GpuRowDrawDataWarm)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_GpuRowDrawDataCold(benchmark::State& state)
{
    const std::shared_ptr<GpuDevice> gpu = bench::currentGpuDevice(state);
    if (!gpu) return;
    Screen screen;
    const double scale = double(state.range(0));
    std::unique_ptr<Renderer> renderer;
    for (auto _ : state) {
        state.PauseTiming();
        renderer.reset();
        renderer = std::make_unique<Renderer>(*gpu, screen.view);
        state.ResumeTiming();
        buildAll(screen, *renderer, scale);
    }
    state.SetLabel("cold first pass, 60 rows of 200x60 at scale " + std::to_string(state.range(0)));
    renderer.reset();
}
BENCHMARK(BM_GpuRowDrawDataCold)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// The CPU path's drawing of the same rows (frame and row drawing), into an image of the scale.
void BM_CpuDrawRowsOfTheSameScreen(benchmark::State& state)
{
    Screen screen;
    const double scale = double(state.range(0));
    QImage image(int(screen.view.width() * scale), int(screen.view.height() * scale),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    for (auto _ : state) {
        QPainter painter(&image);
        screen.view.drawTerminalContents(screen.view.rect(), painter, 0);
    }
    state.SetLabel("CPU rows, 60 rows of 200x60 at scale " + std::to_string(state.range(0)));
}
BENCHMARK(BM_CpuDrawRowsOfTheSameScreen)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

} // namespace
