#pragma once

#include "terminal/view/gpu/DrawDataPass.hpp"
#include "terminal/view/gpu/FrameEncoder.hpp"
#include "terminal/view/gpu/GlyphAtlas.hpp"
#include "terminal/view/gpu/GlyphEntries.hpp"
#include "terminal/view/gpu/GpuImageTextures.hpp"
#include "terminal/view/gpu/GpuTerminalRenderer.hpp"
#include "terminal/view/gpu/TextShaper.hpp"

#include <QPointer>

namespace corvix {

// The OpenGL renderer of a terminal view: two glyph atlases, the device's programs, a sampler,
// the buffer pool, the encoder and the draw-data pass. Every frame draws the terminal's screen.
class GlTerminalRenderer final : public GpuTerminalRenderer {
public:
    static GpuRendererResult make(GpuDevice& device, QWidget& gpuView, TerminalView& terminalView,
                                  const QString& shaderFolder);
    ~GlTerminalRenderer() override;

    void drawNow() override;
    // One frame into `framebuffer` of width × height pixels; a share-group context is current.
    void paint(GlName framebuffer, int width, int height);

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
    // The draw data of the frame being painted.
    DrawData frameDrawData(double scale);

    std::shared_ptr<GpuDevice> device_;
    QPointer<QWidget> view;
    // The view's frames come here (a GL surface view only).
    bool paintsView = false;
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
    // The blink phase: a blinking cursor shows only while this is on.
    bool cursorBlinkOn_ = true;
    // The last frame's fence and the pooled buffers it used.
    GpuFence frameFence = nullptr;
    std::vector<GpuObjectRef> buffersInFlight;
};

} // namespace corvix
