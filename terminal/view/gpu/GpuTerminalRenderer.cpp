#include "terminal/view/gpu/GpuTerminalRenderer.hpp"

#include "terminal/view/gpu/GlTerminalRenderer.hpp"
#include "terminal/view/gpu/GpuShaderLibrary.hpp"

#include <cstdlib>
#include <cstring>

namespace corvix {

std::string describe(const GpuError& error)
{
    switch (error.kind) {
    case GpuError::deviceUnavailable:
        return error.payload.empty() ? "No OpenGL device is available." : "No OpenGL device is available: " + error.payload;
    case GpuError::commandQueueUnavailable: return "Failed to create OpenGL command queue.";
    case GpuError::atlasUnavailable: return "Failed to create the glyph atlas.";
    case GpuError::samplerUnavailable: return "Failed to create OpenGL sampler state.";
    case GpuError::pipelineCreationFailed: return "Failed to create OpenGL pipeline: " + error.payload;
    case GpuError::shaderCompilationFailed: return "Failed to compile OpenGL shader source: " + error.payload;
    case GpuError::shaderFunctionMissing: return "OpenGL library missing required function: " + error.payload;
    case GpuError::shaderSourceMissing: return "Failed to load OpenGL shader source: " + error.payload;
    }
    return "unknown GPU error";
}

GpuObject::~GpuObject()
{
    if (device_->makeCurrent()) device_->gl().deleteObject(kind_, name_);
}

GpuObjectRef adoptGpuObject(GpuDevice& device, GpuObjectKind kind, GlName name, std::size_t length)
{
    if (!name) return nullptr;
    return std::make_shared<GpuObject>(device.shared_from_this(), kind, name, length);
}

std::variant<std::shared_ptr<const GpuPipelines>, GpuError> GpuDevice::pipelines(const QString& folder)
{
    if (auto it = pipelineCache.find(folder); it != pipelineCache.end()) return it->second;
    auto built = buildGpuPipelines(gl(), folder);
    if (auto* error = std::get_if<GpuError>(&built)) return *error;
    // The programs go with the device; it deletes them while its context can be made current.
    std::shared_ptr<const GpuPipelines> pipelines(new GpuPipelines(std::get<GpuPipelines>(built)),
                                                  [this](const GpuPipelines* p) {
                                                      deleteGpuPipelines(gl(), *p);
                                                      delete p;
                                                  });
    pipelineCache.emplace(folder, pipelines);
    return pipelines;
}

GpuRendererResult makeGpuTerminalRenderer(GpuDevice& device, QWidget& gpuView, TerminalView& terminalView,
                                          const QString& shaderFolder)
{
    return GlTerminalRenderer::make(device, gpuView, terminalView, shaderFolder);
}

bool gpuProfileSwitch(const char* value)
{
    return value && std::strcmp(value, "1") == 0;
}

bool gpuProfileEnabled()
{
    static const bool enabled = gpuProfileSwitch(std::getenv("CORVIX_PROFILE"));
    return enabled;
}

} // namespace corvix
