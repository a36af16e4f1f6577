#pragma once

#include "terminal/view/gpu/GpuGl.hpp"

#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>

class QWidget;

namespace corvix {

class TerminalView;

// Why the GPU renderer could not be set up. The view itself raises only `deviceUnavailable`,
// with the reason the machine offers no device as its payload.
struct GpuError {
    enum Kind {
        deviceUnavailable,
        commandQueueUnavailable,
        atlasUnavailable,
        samplerUnavailable,
        pipelineCreationFailed,
        shaderCompilationFailed,
        shaderFunctionMissing,
        shaderSourceMissing,
    };
    Kind kind;
    std::string payload;

    GpuError(Kind kind, std::string payload = {}) : kind(kind), payload(std::move(payload)) {}
    bool operator==(const GpuError&) const = default;
};

std::string describe(const GpuError& error);

// How the renderer keeps its per-row vertex data between frames.
enum class GpuBufferingMode { perRowPersistent, perFrameAggregated };

// The device the GPU view draws on: a GL share group with a context of its own for building
// textures, buffers and programs outside any widget's paint.
class GpuDevice : public std::enable_shared_from_this<GpuDevice> {
public:
    virtual ~GpuDevice() = default;
    // A surface widget for this device, sized and placed by the terminal view.
    virtual std::unique_ptr<QWidget> makeView(QWidget* parent) = 0;
    virtual GpuGl& gl() = 0;
    // Makes a context of the share group current (keeps one that already is); false when none can be.
    virtual bool makeCurrent() = 0;

    // The six programs built from the shader sources in `folder`, compiled once per device.
    // A failure keeps nothing: the next call tries again.
    std::variant<std::shared_ptr<const GpuPipelines>, GpuError> pipelines(const QString& folder);

protected:
    // Frees the compiled programs; a device calls it while its context can still be made current.
    void dropPipelines() { pipelineCache.clear(); }

private:
    std::map<QString, std::shared_ptr<const GpuPipelines>> pipelineCache;
};

// Whether the machine offers a device, and why not when it does not.
struct GpuDeviceProbe {
    std::shared_ptr<GpuDevice> device;
    std::string refusal;
};

// One device per process while anything holds it; probing again after the last holder let go
// makes a new one.
GpuDeviceProbe probeSystemGpuDevice();

// The system's default device; nothing when the machine offers none.
std::shared_ptr<GpuDevice> systemDefaultGpuDevice();

// Call before the QApplication of any program that may draw with GL: contexts share one group
// (programs and atlases are built once) and ask for OpenGL 3.3 core.
void prepareGpuApplication();

// A widget that shows a renderer's frames (the GL widget; tests have a stand-in). It hands its
// paints to the renderer, and lets the renderer reach its context between paints.
class GpuViewSurface {
public:
    virtual ~GpuViewSurface() = default;

    // A paint with the surface's framebuffer and its size in device pixels.
    std::function<void(GlName framebuffer, int width, int height)> paintFrame;
    // A paint the surface cannot offer a drawable for: no valid context, not initialised, zero
    // size, or a context outside the device's share group.
    std::function<void()> missedFrame;
    // The surface's context is about to go; it is current while this runs.
    std::function<void()> contextLost;

    // Makes the surface's own context current for work between paints; false when it has none.
    virtual bool makeSurfaceCurrent() = 0;
    virtual void doneSurfaceCurrent() = 0;
    // Asks for a paint from the event loop.
    virtual void markForDisplay() = 0;
};

// Draws a terminal view's screen into its GPU view whenever that view is marked for display.
class GpuTerminalRenderer {
public:
    virtual ~GpuTerminalRenderer() = default;
    // Draws one frame now.
    virtual void drawNow() = 0;
};

struct GpuRendererResult {
    std::unique_ptr<GpuTerminalRenderer> renderer;
    std::optional<GpuError> error;
};

// Where the renderer's GLSL sources live: one file per shader function.
inline const QString defaultGpuShaderFolder = QStringLiteral(":/corvix/gpu/shaders");

// Builds the renderer for a GPU view of `device` and the terminal view it shows. Textures,
// buffers, programs and the sampler are made now, so any failure comes back here, with nothing
// of it left behind.
GpuRendererResult makeGpuTerminalRenderer(GpuDevice& device, QWidget& gpuView, TerminalView& terminalView,
                                          const QString& shaderFolder = defaultGpuShaderFolder);

// The renderer's profiling switch: on exactly when CORVIX_PROFILE is "1". Read once.
bool gpuProfileEnabled();
bool gpuProfileSwitch(const char* value);

} // namespace corvix
