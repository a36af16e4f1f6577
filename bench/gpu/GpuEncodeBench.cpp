// Encoding a full 200x60 frame (a background and a glyph record per cell) into a 1600x1020
// target through real OpenGL, per-row and aggregated. Figures per frame: the GUI thread's time to
// encode and submit (wall and its own CPU), wall time until glFinish returns, and the process's
// CPU time (which includes the software rasteriser's threads). Runs on a display (`make bench`
// uses xvfb-run).
#include "gpu/ChangingScreen.hpp"

#include "terminal/view/TerminalView.hpp"
#include "terminal/view/gpu/GlTerminalRenderer.hpp"

#include <QApplication>
#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>
#include <QOpenGLFramebufferObject>
#include <QOpenGLVertexArrayObject>
#include <QRawFont>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>

using namespace corvix;
using corvix::bench::cpuMs;

namespace {

constexpr int kCols = 200, kRows = 60, kCellWidth = 8, kCellHeight = 17;
constexpr int kWidth = kCols * kCellWidth, kHeight = kRows * kCellHeight;
constexpr int kWarmUpFrames = 60;

struct Target {
    std::shared_ptr<GpuDevice> device;
    TerminalView terminalView{QRect(0, 0, 320, 200)};
    QWidget view;
    std::unique_ptr<GlTerminalRenderer> renderer;
    std::unique_ptr<QOpenGLFramebufferObject> framebuffer;
    std::unique_ptr<QOpenGLVertexArrayObject> vertexArray;
    DrawData perRow, aggregated;

    bool setUp()
    {
        const GpuDeviceProbe probe = probeSystemGpuDevice();
        if (!probe.device) {
            std::fprintf(stderr, "no OpenGL device (%s): GPU benchmarks skipped\n", probe.refusal.c_str());
            return false;
        }
        device = probe.device;
        auto made = makeGpuTerminalRenderer(*device, view, terminalView);
        if (!made.renderer) {
            std::fprintf(stderr, "no renderer: %s\n", describe(*made.error).c_str());
            return false;
        }
        renderer.reset(static_cast<GlTerminalRenderer*>(made.renderer.release()));
        device->makeCurrent();
        framebuffer = std::make_unique<QOpenGLFramebufferObject>(kWidth, kHeight);
        vertexArray = std::make_unique<QOpenGLVertexArrayObject>();
        vertexArray->create();

        // One glyph for every cell.
        const QRawFont font = QRawFont::fromFont(QFont(QStringLiteral("DejaVu Sans Mono"), 11));
        const auto bitmap = renderer->rasterizer().rasterize(font, font.glyphIndexesForString("W")[0]);
        GlyphAtlas& atlas = renderer->grayscaleAtlas();
        const AtlasRegion region = *atlas.ensureRegion(bitmap->width, bitmap->height);
        atlas.write(region, bitmap->pixels, bitmap->width, bitmap->height);
        const float side = float(atlas.size());

        FrameDrawData& frame = aggregated.frame.emplace();
        perRow.rows.resize(kRows);
        for (int row = 0; row < kRows; ++row) {
            std::vector<ColorCell> backgrounds;
            std::vector<TextCell> glyphs;
            const float y = float((kRows - 1 - row) * kCellHeight);
            for (int col = 0; col < kCols; ++col) {
                const float x = float(col * kCellWidth);
                backgrounds.push_back({{x, y}, {kCellWidth, kCellHeight}, {0.1f, 0.1f, float(col % 7) / 7, 1}});
                glyphs.push_back({{x + float(bitmap->bearingX), y + 4 + float(bitmap->bearingY)},
                                  {float(bitmap->width), float(bitmap->height)},
                                  {region.x / side, region.y / side},
                                  {region.width / side, region.height / side},
                                  {0.9f, 0.9f, 0.9f, 1}});
            }
            RowDrawBuffers& buffers = perRow.rows[std::size_t(row)];
            buffers.backgroundBuffer = renderer->encoder().makeRowBuffer(std::span<const ColorCell>(backgrounds));
            buffers.backgroundCount = kCols;
            buffers.glyphGrayBuffer = renderer->encoder().makeRowBuffer(std::span<const TextCell>(glyphs));
            buffers.glyphGrayCount = kCols;
            frame.backgroundCells.insert(frame.backgroundCells.end(), backgrounds.begin(), backgrounds.end());
            frame.glyphCellsGray.insert(frame.glyphCellsGray.end(), glyphs.begin(), glyphs.end());
        }
        return true;
    }

    void tearDown()
    {
        if (!device) return;
        device->makeCurrent();
        vertexArray.reset();
        framebuffer.reset();
        perRow = {};
        aggregated = {};
        renderer.reset();
        device.reset();
    }
};

Target* target = nullptr;

void BM_EncodeFullFrame(benchmark::State& state)
{
    if (!target) {
        state.SkipWithError("no OpenGL device");
        return;
    }
    const bool aggregated = state.range(0) == 1;
    target->renderer->setDrawData(aggregated ? target->aggregated : target->perRow);
    target->device->makeCurrent();
    QOpenGLExtraFunctions* gl = QOpenGLContext::currentContext()->extraFunctions();
    QOpenGLVertexArrayObject::Binder bound(target->vertexArray.get());
    const GlName framebuffer = target->framebuffer->handle();
    // llvmpipe's first frames compile its variants and are several times slower.
    for (int i = 0; i < kWarmUpFrames; ++i) {
        target->renderer->paint(framebuffer, kWidth, kHeight);
        gl->glFinish();
    }

    using Clock = std::chrono::steady_clock;
    double encodeMs = 0, encodeCpuMs = 0, wallMs = 0, processMs = 0;
    for (auto _ : state) {
        const double process0 = cpuMs(CLOCK_PROCESS_CPUTIME_ID);
        const double thread0 = cpuMs(CLOCK_THREAD_CPUTIME_ID);
        const auto t0 = Clock::now();
        target->renderer->paint(framebuffer, kWidth, kHeight);
        gl->glFlush();
        const auto t1 = Clock::now();
        encodeCpuMs += cpuMs(CLOCK_THREAD_CPUTIME_ID) - thread0;
        gl->glFinish();
        const auto t2 = Clock::now();
        processMs += cpuMs(CLOCK_PROCESS_CPUTIME_ID) - process0;
        encodeMs += std::chrono::duration<double, std::milli>(t1 - t0).count();
        wallMs += std::chrono::duration<double, std::milli>(t2 - t0).count();
    }
    const double frames = double(state.iterations());
    state.counters["gui_encode_submit_ms"] = encodeMs / frames;
    state.counters["gui_encode_submit_cpu_ms"] = encodeCpuMs / frames;
    state.counters["wall_to_finish_ms"] = wallMs / frames;
    state.counters["process_cpu_ms"] = processMs / frames;
    state.SetLabel(aggregated ? "aggregated, 24000 records" : "per row, 120 draws");
}
BENCHMARK(BM_EncodeFullFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");
    prepareGpuApplication();
    QApplication app(argc, argv);
    Target made;
    if (made.setUp()) target = &made;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    target = nullptr;
    made.tearDown();
    return 0;
}
