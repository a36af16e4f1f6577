#include "terminal/view/gpu/GlTerminalRenderer.hpp"

#include "terminal/view/TerminalView.hpp"
#include "terminal/view/gpu/OpenGlDevice.hpp"

#include <algorithm>

namespace corvix {

GlTerminalRenderer::GlTerminalRenderer(std::shared_ptr<GpuDevice> device, QWidget& gpuView, TerminalView& terminalView)
    : device_(std::move(device)), view(&gpuView), terminalView(&terminalView), bufferPool_(*device_),
      encoder_(*device_, bufferPool_)
{
}

GpuRendererResult GlTerminalRenderer::make(GpuDevice& device, QWidget& gpuView, TerminalView& terminalView,
                                           const QString& shaderFolder)
{
    // Everything below is owned as it is made, so an early return releases it again with the
    // device's context current.
    std::unique_ptr<GlTerminalRenderer> renderer(
        new GlTerminalRenderer(device.shared_from_this(), gpuView, terminalView));
    if (!device.makeCurrent()) return {nullptr, GpuError::commandQueueUnavailable};

    const int maxTexture = device.gl().maxTextureSize();
    renderer->grayscaleAtlas_ =
        GlyphAtlas::make(device, 1024, GlyphAtlas::recommendedMaxSize(GlyphAtlasFormat::grayscale, maxTexture),
                         GlyphAtlasFormat::grayscale);
    if (!renderer->grayscaleAtlas_) return {nullptr, GpuError::atlasUnavailable};
    renderer->colorAtlas_ = GlyphAtlas::make(
        device, 1024, GlyphAtlas::recommendedMaxSize(GlyphAtlasFormat::bgra, maxTexture), GlyphAtlasFormat::bgra);
    if (!renderer->colorAtlas_) return {nullptr, GpuError::atlasUnavailable};
    renderer->glyphEntries_ =
        std::make_unique<GlyphEntries>(renderer->rasterizer_, *renderer->grayscaleAtlas_, *renderer->colorAtlas_);
    renderer->pass_ = std::make_unique<DrawDataPass>(terminalView, *renderer->glyphEntries_, *renderer->grayscaleAtlas_,
                                                     *renderer->colorAtlas_, renderer->shaperCache_,
                                                     renderer->imageTextures_, renderer->encoder_);

    auto pipelines = device.pipelines(shaderFolder);
    if (auto* error = std::get_if<GpuError>(&pipelines)) return {nullptr, *error};
    renderer->pipelines = std::get<std::shared_ptr<const GpuPipelines>>(pipelines);

    renderer->sampler = adoptGpuObject(device, GpuObjectKind::sampler, device.gl().makeSampler());
    if (!renderer->sampler) return {nullptr, GpuError::samplerUnavailable};

    if (auto* surface = dynamic_cast<GpuSurface*>(&gpuView)) {
        GlTerminalRenderer* self = renderer.get();
        surface->paintFrame = [self](GlName framebuffer, int width, int height) { self->paint(framebuffer, width, height); };
        renderer->paintsView = true;
    }
    return {std::move(renderer), std::nullopt};
}

GlTerminalRenderer::~GlTerminalRenderer()
{
    if (auto* surface = dynamic_cast<GpuSurface*>(view.data()); surface && paintsView) surface->paintFrame = nullptr;
    if (frameFence && device_->makeCurrent()) device_->gl().deleteFence(frameFence);
}

GpuFrameResources GlTerminalRenderer::resources() const
{
    return {pipelines.get(), grayscaleAtlas_->texture(), colorAtlas_->texture(), nameOf(sampler)};
}

void GlTerminalRenderer::drawNow()
{
    if (view) view->repaint();
}

void GlTerminalRenderer::paint(GlName framebuffer, int width, int height)
{
    GpuGl& gl = device_->gl();
    // Buffers of a frame the GPU has finished go back to the pool; those of one still running
    // are let go (GL frees them once it is done).
    if (frameFence) {
        if (gl.fenceSignaled(frameFence)) bufferPool_.recycle(std::move(buffersInFlight));
        gl.deleteFence(frameFence);
        frameFence = nullptr;
    }
    buffersInFlight.clear();
    bufferPool_.frameBuffers.clear();
    rasterizer_.fontSmoothing = terminalView->fontSmoothing();
    const double scale =
        std::max(1.0, terminalView->gpuScaleFactorOverride().value_or(view ? view->devicePixelRatioF() : 1.0));
    encoder_.encode(frameDrawData(scale), resources(), framebuffer, width, height,
                    colorToSIMD(terminalView->nativeBackgroundColor()));
    frameFence = gl.insertFence();
    buffersInFlight = std::move(bufferPool_.frameBuffers);
    bufferPool_.frameBuffers.clear();
}

DrawData GlTerminalRenderer::frameDrawData(double scale)
{
    if (drawData) return *drawData;
    return pass_->buildDrawData(scale, cursorBlinkOn_);
}

} // namespace corvix
