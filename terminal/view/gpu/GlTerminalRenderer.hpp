#pragma once

#include "terminal/view/gpu/DrawDataPass.hpp"
#include "terminal/view/gpu/FrameEncoder.hpp"
#include "terminal/view/gpu/GlyphAtlas.hpp"
#include "terminal/view/gpu/GlyphEntries.hpp"
#include "terminal/view/gpu/GpuImageTextures.hpp"
#include "terminal/view/gpu/GpuTerminalRenderer.hpp"
#include "terminal/view/gpu/TextShaper.hpp"

#include <QPointer>
#include <QTimer>

namespace corvix {

// The OpenGL renderer of a terminal view: two glyph atlases, the device's programs, a sampler,
// the buffer pool, the encoder and the draw-data pass. Frames of the terminal's screen are drawn on
// demand, one at a time on the GPU: a paint that comes while the last frame is still in flight is
// owed and drawn once that frame is done.
class GlTerminalRenderer final : public GpuTerminalRenderer {
public:
    static GpuRendererResult make(GpuDevice& device, QWidget& gpuView, TerminalView& terminalView,
                                  const QString& shaderFolder);
    ~GlTerminalRenderer() override;

    void drawNow() override;
    // The frame: one frame into `framebuffer` of width × height device pixels, with a context of
    // the device's share group current. Returns at once, leaving the last image, while the last
    // frame is still in flight.
    void paint(GlName framebuffer, int width, int height);
    // A frame was asked for but the view had no drawable.
    void missedFrame();
    // Whether the GPU has finished the frame in flight; the poll timer runs it, about every
    // millisecond until it has.
    void pollFrameFence();
    // A tick of the cursor blink timer.
    void blinkCursor();

    bool frameInFlight() const { return frameFence != nullptr; }
    bool redrawOwed() const { return pendingRedraw; }
    bool cursorBlinkOn() const { return cursorBlinkOn_; }
    const QTimer& cursorBlinkTimer() const { return cursorBlinkTimer_; }
    const QTimer& framePollTimer() const { return framePollTimer_; }
    // The scale records are built at: the view's override, else the GPU view's pixel ratio, else
    // the primary screen's; never below 1.
    double frameScale() const;

    // Every frame draws `data` instead of the screen (tests and benchmarks of the encoder).
    void setDrawData(DrawData data) { drawData = std::move(data); }

    GpuDevice& device() { return *device_; }
    GlyphAtlas& grayscaleAtlas() { return *grayscaleAtlas_; }
    GlyphAtlas& colorAtlas() { return *colorAtlas_; }
    GlyphRasterizer& rasterizer() { return rasterizer_; }
    GlyphEntries& glyphEntries() { return *glyphEntries_; }
    ShaperCache& shaperCache() { return shaperCache_; }
    BufferPool& bufferPool() { return bufferPool_; }
    FrameEncoder& encoder() { return encoder_; }
    GpuImageTextures& imageTextures() { return imageTextures_; }
    DrawDataPass& drawDataPass() { return *pass_; }
    GpuFrameResources resources() const;

private:
    GlTerminalRenderer(std::shared_ptr<GpuDevice> device, QWidget& gpuView, TerminalView& terminalView);

    void updateCursorBlinkTimer(bool shouldBlink);
    // The frame in flight is done: its buffers go back to the pool and its fence goes.
    void finishFrame();
    void requestFrame();

    std::shared_ptr<GpuDevice> device_;
    QPointer<QWidget> view;
    // The view as a surface that paints through this renderer; null for any other widget.
    GpuViewSurface* surface = nullptr;
    TerminalView* terminalView;
    BufferPool bufferPool_;
    FrameEncoder encoder_;
    GlyphRasterizer rasterizer_;
    std::unique_ptr<GlyphAtlas> grayscaleAtlas_;
    std::unique_ptr<GlyphAtlas> colorAtlas_;
    std::unique_ptr<GlyphEntries> glyphEntries_;
    ShaperCache shaperCache_;
    std::shared_ptr<const GpuPipelines> pipelines;
    GpuObjectRef sampler;
    std::optional<DrawData> drawData;
    GpuImageTextures imageTextures_{*device_};
    std::unique_ptr<DrawDataPass> pass_;
    // The frame in flight: its fence (null when none is) and the pooled buffers it reads.
    GpuFence frameFence = nullptr;
    std::vector<GpuObjectRef> buffersInFlight;
    // A frame was asked for while one was in flight.
    bool pendingRedraw = false;
    QTimer framePollTimer_;
    QTimer cursorBlinkTimer_;
    bool cursorBlinkOn_ = true;
};

} // namespace corvix
