#pragma once

#include <memory>
#include <optional>
#include <string>

class QWidget;

namespace corvix {

class TerminalView;

// Why the GPU renderer could not be set up. The view itself raises only `deviceUnavailable`.
enum class GpuError { deviceUnavailable, commandQueueUnavailable, shaderLibraryUnavailable, pipelineUnavailable,
                      atlasUnavailable, samplerUnavailable };

std::string describe(GpuError error);

// How the renderer keeps its per-row vertex data between frames.
enum class GpuBufferingMode { perRowPersistent, perFrameAggregated };

// The device the GPU view draws on.
class GpuDevice {
public:
    virtual ~GpuDevice() = default;
    // A surface widget for this device, sized and placed by the terminal view.
    virtual std::unique_ptr<QWidget> makeView(QWidget* parent) = 0;
};

// Draws a terminal view's screen into its GPU view whenever that view is marked for display.
class GpuTerminalRenderer {
public:
    virtual ~GpuTerminalRenderer() = default;
    // Draws one frame now.
    virtual void drawNow() = 0;
};

// The system's default device; nothing when the machine offers none.
std::shared_ptr<GpuDevice> systemDefaultGpuDevice();

struct GpuRendererResult {
    std::unique_ptr<GpuTerminalRenderer> renderer;
    std::optional<GpuError> error;
};

// Builds the renderer for a GPU view of `device` and the terminal view it shows.
GpuRendererResult makeGpuTerminalRenderer(GpuDevice& device, QWidget& gpuView, TerminalView& terminalView);

} // namespace corvix
