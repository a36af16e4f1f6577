#include "terminal/view/gpu/GlTerminalRenderer.hpp"

#include "terminal/view/CaretView.hpp"
#include "terminal/view/TerminalView.hpp"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QScreen>

#include <algorithm>

namespace corvix {

Q_LOGGING_CATEGORY(lcGpuProfile, "corvix.gpu.profile")

namespace {

constexpr int kFramePollMs = 1;
constexpr int kCursorBlinkMs = 700;

// A named stretch of the frame, logged with its length when profiling is on.
class ProfileInterval {
public:
    explicit ProfileInterval(const char* name) : name(gpuProfileEnabled() ? name : nullptr)
    {
        if (this->name) clock.start();
    }
    ~ProfileInterval()
    {
        if (name) qCDebug(lcGpuProfile, "%s %.3f ms", name, double(clock.nsecsElapsed()) / 1e6);
    }
    ProfileInterval(const ProfileInterval&) = delete;
    ProfileInterval& operator=(const ProfileInterval&) = delete;

private:
    const char* name;
    QElapsedTimer clock;
};

} // namespace

GlTerminalRenderer::GlTerminalRenderer(std::shared_ptr<GpuDevice> device, QWidget& gpuView, TerminalView& terminalView)
    : device_(std::move(device)), view(&gpuView), terminalView(&terminalView), bufferPool_(*device_),
      encoder_(*device_, bufferPool_)
{
    framePollTimer_.setSingleShot(true);
    framePollTimer_.setInterval(kFramePollMs);
    QObject::connect(&framePollTimer_, &QTimer::timeout, &framePollTimer_, [this] { pollFrameFence(); });
    cursorBlinkTimer_.setInterval(kCursorBlinkMs);
    QObject::connect(&cursorBlinkTimer_, &QTimer::timeout, &cursorBlinkTimer_, [this] { blinkCursor(); });
}
GpuRendererResult GlTerminalRenderer::make(GpuDevice& device, QWidget& gpuView, TerminalView& terminalView,
                                           const QString& shaderFolder)
{
    // Everything below is owned as it is made, so an early return releases it again with the
    // device's context current.
    std::unique_ptr<GlTerminalRenderer> renderer(
        new GlTerminalRenderer(device.shared_from_this(), gpuView, terminalView));
    if (!device.makeCurrent()) return {nullptr, GpuError::commandQueueUnavailable};

    renderer->grayscaleAtlas_ = GlyphAtlas::makeForDevice(device, GlyphAtlasFormat::grayscale);
    if (!renderer->grayscaleAtlas_) return {nullptr, GpuError::atlasUnavailable};
    renderer->colorAtlas_ = GlyphAtlas::makeForDevice(device, GlyphAtlasFormat::bgra);
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

    if (auto* surface = dynamic_cast<GpuViewSurface*>(&gpuView)) {
        GlTerminalRenderer* self = renderer.get();
        renderer->surface = surface;
        surface->paintFrame = [self](GlName framebuffer, int width, int height) { self->paint(framebuffer, width, height); };
        surface->missedFrame = [self] { self->missedFrame(); };
        // The fence belongs to the context; the GPU is done with a context that goes.
        surface->contextLost = [self] {
            if (self->frameFence) self->finishFrame();
        };
    }
    return {std::move(renderer), std::nullopt};
}

GlTerminalRenderer::~GlTerminalRenderer()
{
    if (view && surface) {
        surface->paintFrame = nullptr;
        surface->missedFrame = nullptr;
        surface->contextLost = nullptr;
    }
    if (!frameFence) return;
    if (view && surface && surface->makeSurfaceCurrent()) {
        finishFrame();
        surface->doneSurfaceCurrent();
    } else if (device_->makeCurrent()) {
        finishFrame();
    }
}

GpuFrameResources GlTerminalRenderer::resources() const
{
    return {pipelines.get(), grayscaleAtlas_->texture(), colorAtlas_->texture(), nameOf(sampler)};
}

void GlTerminalRenderer::drawNow()
{
    if (view) view->repaint();
}

double GlTerminalRenderer::frameScale() const
{
    double scale = 1;
    if (const std::optional<double> override = terminalView->gpuScaleFactorOverride()) {
        scale = *override;
    } else if (view) {
        scale = view->devicePixelRatioF();
    } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        scale = screen->devicePixelRatio();
    }
    return scale > 1 ? scale : 1;
}

void GlTerminalRenderer::paint(GlName framebuffer, int width, int height)
{
    ProfileInterval drawInterval("Gpu.Draw");
    GpuGl& gl = device_->gl();
    // A frame the GPU finished since the last poll gives up its place at once.
    if (frameFence && gl.fenceSignaled(frameFence)) finishFrame();
    if (frameFence) {
        pendingRedraw = true;
        return;
    }
    if (width <= 0 || height <= 0) {
        missedFrame();
        return;
    }
    // This frame draws whatever was owed.
    pendingRedraw = false;
    rasterizer_.fontSmoothing = terminalView->fontSmoothing();
    const double scale = frameScale();
    const Terminal& terminal = terminalView->getTerminal();
    updateCursorBlinkTimer(CaretView::isBlinking(terminal.options.cursorStyle) && !terminal.cursorHidden);

    // Draw data a test or benchmark set is drawn as it stands, not copied each frame.
    DrawData built;
    if (!drawData) {
        ProfileInterval buildInterval("Gpu.BuildDrawData");
        built = pass_->buildDrawData(scale, cursorBlinkOn_);
    }
    const DrawData& data = drawData ? *drawData : built;
    {
        ProfileInterval encodeInterval("Gpu.Encode");
        // Records count drawable pixels of the widget at `scale`; the framebuffer holds the
        // widget at its own pixel ratio, so an override stretches the drawable over the widget.
        const GpuFloat2 viewport = view ? GpuFloat2{float(view->width() * scale), float(view->height() * scale)}
                                        : GpuFloat2{float(width), float(height)};
        bufferPool_.frameBuffers.clear();
        encoder_.encode(data, resources(), framebuffer, width, height, viewport,
                        colorToSIMD(terminalView->nativeBackgroundColor()));
    }
    ProfileInterval commitInterval("Gpu.Commit");
    buffersInFlight = std::move(bufferPool_.frameBuffers);
    bufferPool_.frameBuffers.clear();
    frameFence = gl.insertFence();
    if (frameFence) {
        framePollTimer_.start();
    } else {
        // Without a fence there is nothing to wait for; GL keeps the buffers until it is done.
        bufferPool_.recycle(std::move(buffersInFlight));
        buffersInFlight.clear();
    }
}

void GlTerminalRenderer::missedFrame()
{
    // The frame in flight pays an owed frame back when it is done; without one nothing would,
    // so the view asks again after its coalescing delay. A hidden view paints nothing, which
    // ends the retries.
    if (frameFence) {
        pendingRedraw = true;
        return;
    }
    terminalView->queueGpuDisplay();
}

void GlTerminalRenderer::pollFrameFence()
{
    if (!frameFence) return;
    GpuGl& gl = device_->gl();
    const bool onSurface = view && surface && surface->makeSurfaceCurrent();
    if (!onSurface && !device_->makeCurrent()) {
        // No context to ask: the frame is taken as done.
        frameFence = nullptr;
        buffersInFlight.clear();
    } else {
        if (gl.fenceSignaled(frameFence)) finishFrame();
        if (onSurface) surface->doneSurfaceCurrent();
    }
    if (frameFence) {
        framePollTimer_.start();
        return;
    }
    if (pendingRedraw && view) {
        pendingRedraw = false;
        requestFrame();
    }
}

void GlTerminalRenderer::finishFrame()
{
    device_->gl().deleteFence(frameFence);
    frameFence = nullptr;
    framePollTimer_.stop();
    bufferPool_.recycle(std::move(buffersInFlight));
    buffersInFlight.clear();
}

void GlTerminalRenderer::requestFrame()
{
    if (!view) return;
    if (surface) {
        surface->markForDisplay();
    } else {
        view->update();
    }
}

void GlTerminalRenderer::updateCursorBlinkTimer(bool shouldBlink)
{
    if (!shouldBlink) {
        if (cursorBlinkTimer_.isActive()) {
            cursorBlinkTimer_.stop();
            cursorBlinkOn_ = true;
        }
        return;
    }
    if (cursorBlinkTimer_.isActive()) return;
    cursorBlinkOn_ = true;
    cursorBlinkTimer_.start();
}

void GlTerminalRenderer::blinkCursor()
{
    if (!view) return;
    cursorBlinkOn_ = !cursorBlinkOn_;
    requestFrame();
}

} // namespace corvix
