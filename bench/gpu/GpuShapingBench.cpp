// Shaping and glyph lookup for the rows of the 200x60 mixed screen of the view's full-redraw
// benchmark, as the GPU renderer's row builder does them: every attribute run shaped (HarfBuzz,
// cached), every glyph and line-art cell looked up in the atlases (rasterised and uploaded on a
// miss). Cold: fresh caches and atlases each pass; warm: every run and glyph a hit. Next to them
// the CPU path's text layout of the same runs (`cachedCTLine`, whose process-wide cache keeps
// short texts only). Needs a display for the atlases' textures (`make bench` uses xvfb-run).
#include "gpu/CurrentGpuDevice.hpp"
#include "view/MixedScreen.hpp"

#include "terminal/view/BoxDrawingRenderer.hpp"
#include "terminal/view/TerminalView.hpp"
#include "terminal/view/gpu/GlyphEntries.hpp"
#include "terminal/view/gpu/GpuTerminalRenderer.hpp"
#include "terminal/view/gpu/TextShaper.hpp"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

using namespace corvix;

namespace {

struct Rows {
    TerminalView view{QRect(0, 0, 1800, 1100), QFont(QStringLiteral("DejaVu Sans Mono"), 10)};
    std::vector<ViewLineInfo> rows;
    Rows()
    {
        view.resizeGrid(200, 60);
        view.feed(bench::mixedScreen());
        view.updateDisplay(false);
        Terminal& terminal = view.getTerminal();
        for (int row = 0; row < terminal.rows; ++row)
            rows.push_back(view.buildAttributedString(row, terminal.buffer().lines()[row], terminal.cols));
    }
};


// The caches of one renderer, over atlases of its starting size.
struct Caches {
    GlyphRasterizer rasterizer;
    std::unique_ptr<GlyphAtlas> gray, color;
    std::unique_ptr<GlyphEntries> entries;
    std::unique_ptr<ShaperCache> shaper = std::make_unique<ShaperCache>();

    explicit Caches(GpuDevice& device)
    {
        gray = GlyphAtlas::makeForDevice(device, GlyphAtlasFormat::grayscale);
        color = GlyphAtlas::makeForDevice(device, GlyphAtlasFormat::bgra);
        entries = std::make_unique<GlyphEntries>(rasterizer, *gray, *color);
    }
};

struct PassCounts {
    // Glyphs without an entry (spaces: no ink) are looked up, and rasterised, again every pass.
    long runs = 0, glyphs = 0, glyphsWithoutEntry = 0, customGlyphs = 0;
};

// One pass over the screen's rows at `scale` device pixels per point.
PassCounts pass(Rows& screen, Caches& caches, double scale)
{
    PassCounts counts;
    const QSizeF cell = screen.view.cellSize();
    const int cellWidthPx = int(std::lround(cell.width() * scale));
    const int cellHeightPx = int(std::lround(cell.height() * scale));
    const int thickness =
        BoxDrawingRenderer::baseThicknessPx(scale, screen.view.faceMetrics(FontFace::normal).lineWidth());
    for (const ViewLineInfo& info : screen.rows) {
        for (const ShapedSegment& segment : buildShapedSegments(info.segments, screen.view.fonts(), *caches.shaper)) {
            for (const ShapedRun& run : segment.runs) {
                ++counts.runs;
                for (const ShaperGlyphRun& glyphRun : run.shaperRun->glyphRuns) {
                    const GpuFont device = caches.entries->scaledFontFor(glyphRun.font, scale);
                    for (quint32 glyph : glyphRun.glyphs) {
                        if (caches.entries->glyphEntry(device, glyph)) {
                            ++counts.glyphs;
                        } else {
                            ++counts.glyphsWithoutEntry;
                        }
                    }
                }
            }
        }
        for (const BoxDrawingRenderItem& item : info.boxDrawings) {
            counts.customGlyphs += caches.entries
                                       ->customGlyphEntry(item.codePoint, cellWidthPx * item.columnWidth, cellHeightPx,
                                                          scale, thickness, true)
                                       .has_value();
        }
    }
    return counts;
}

void label(benchmark::State& state, const PassCounts& counts, const Caches& caches, const char* what)
{
    state.counters["runs"] = double(counts.runs);
    state.counters["distinct_runs"] = double(caches.shaper->size());
    state.counters["distinct_glyphs"] = double(caches.entries->glyphCount());
    state.counters["no_entry"] = double(counts.glyphsWithoutEntry);
    state.counters["glyphs"] = double(counts.glyphs);
    state.counters["custom_glyphs"] = double(counts.customGlyphs);
    state.SetLabel(std::string(what) + ", 200x60 at scale " + std::to_string(state.range(0)));
}

void BM_GpuShapeAndLookupCold(benchmark::State& state)
{
    // Made per run, as nothing may outlive the application.
    const std::shared_ptr<GpuDevice> gpu = bench::currentGpuDevice(state);
    if (!gpu) return;
    Rows screen;
    const double scale = double(state.range(0));
    std::unique_ptr<Caches> caches;
    PassCounts counts;
    for (auto _ : state) {
        state.PauseTiming();
        caches.reset();
        caches = std::make_unique<Caches>(*gpu);
        state.ResumeTiming();
        counts = pass(screen, *caches, scale);
    }
    label(state, counts, *caches, "cold caches");
    caches.reset();
}
BENCHMARK(BM_GpuShapeAndLookupCold)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_GpuShapeAndLookupWarm(benchmark::State& state)
{
    // Made per run, as nothing may outlive the application.
    const std::shared_ptr<GpuDevice> gpu = bench::currentGpuDevice(state);
    if (!gpu) return;
    Rows screen;
    const double scale = double(state.range(0));
    auto caches = std::make_unique<Caches>(*gpu);
    pass(screen, *caches, scale);
    PassCounts counts;
    for (auto _ : state) counts = pass(screen, *caches, scale);
    label(state, counts, *caches, "every run and glyph a hit");
}
BENCHMARK(BM_GpuShapeAndLookupWarm)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// The CPU path's layout of the same runs in the same faces.
void BM_CpuLineLayoutOfTheSameRuns(benchmark::State& state)
{
    Rows screen;
    const FontSet& fonts = screen.view.fonts();
    long glyphs = 0;
    for (auto _ : state) {
        glyphs = 0;
        for (const ViewLineInfo& info : screen.rows) {
            for (const ViewLineSegment& segment : info.segments) {
                for (const TextRun& run : segment.runs) {
                    if (run.length <= 0) continue;
                    for (const QGlyphRun& glyphRun : TerminalFonts::cachedCTLine(segment.text.mid(run.start, run.length),
                                                                                 fonts.face(run.attributes.face)))
                        glyphs += glyphRun.glyphIndexes().size();
                }
            }
        }
    }
    state.counters["glyphs"] = double(glyphs);
    state.SetLabel("cachedCTLine per run, 200x60");
}
BENCHMARK(BM_CpuLineLayoutOfTheSameRuns)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
