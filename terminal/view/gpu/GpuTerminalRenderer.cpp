#include "terminal/view/gpu/GpuTerminalRenderer.hpp"

namespace corvix {

std::string describe(GpuError error)
{
    switch (error) {
    case GpuError::deviceUnavailable: return "no GPU device is available";
    case GpuError::commandQueueUnavailable: return "the GPU command queue could not be made";
    case GpuError::shaderLibraryUnavailable: return "the GPU shaders could not be built";
    case GpuError::pipelineUnavailable: return "the GPU pipelines could not be made";
    case GpuError::atlasUnavailable: return "the glyph atlas could not be made";
    case GpuError::samplerUnavailable: return "the texture sampler could not be made";
    }
    return "unknown GPU error";
}

// The OpenGL renderer is not built yet: no device, so every view draws on the CPU.
std::shared_ptr<GpuDevice> systemDefaultGpuDevice()
{
    return nullptr;
}

GpuRendererResult makeGpuTerminalRenderer(GpuDevice&, QWidget&, TerminalView&)
{
    return {nullptr, GpuError::deviceUnavailable};
}

} // namespace corvix
