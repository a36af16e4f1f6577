#include "terminal/view/gpu/GpuShaderLibrary.hpp"

#include <QDir>
#include <QFile>

#include <vector>

namespace corvix {

namespace {

struct ProgramPairing {
    GpuPipeline GpuPipelines::*pipeline;
    int vertex; // index into gpuShaderFunctions
    int fragment;
    GpuBlend blend;
};

// text, textGray, cellText, cellTextGray blend premultiplied colour; the colour programs blend
// straight colour.
constexpr ProgramPairing programPairings[6] = {
    {&GpuPipelines::text, 0, 2, GpuBlend::premultiplied},
    {&GpuPipelines::textGray, 0, 3, GpuBlend::premultiplied},
    {&GpuPipelines::color, 4, 6, GpuBlend::straight},
    {&GpuPipelines::cellText, 1, 2, GpuBlend::premultiplied},
    {&GpuPipelines::cellTextGray, 1, 3, GpuBlend::premultiplied},
    {&GpuPipelines::cellColor, 5, 6, GpuBlend::straight},
};

std::string joinedFunctionNames()
{
    std::string names;
    for (const char* name : gpuShaderFunctions) {
        if (!names.empty()) names += ", ";
        names += name;
    }
    return names;
}

} // namespace

std::variant<GpuPipelines, GpuError> buildGpuPipelines(GpuGl& gl, const QString& folder)
{
    if (!QDir(folder).exists()) return GpuError(GpuError::shaderSourceMissing, folder.toStdString());

    std::array<QByteArray, gpuShaderFunctions.size()> sources;
    for (std::size_t i = 0; i < gpuShaderFunctions.size(); ++i) {
        QFile file(folder + QLatin1Char('/') + QLatin1String(gpuShaderFunctions[i]) + QLatin1String(".glsl"));
        if (!file.open(QIODevice::ReadOnly)) return GpuError(GpuError::shaderFunctionMissing, joinedFunctionNames());
        sources[i] = file.readAll();
    }

    std::array<GlName, gpuShaderFunctions.size()> shaders{};
    std::vector<GlName> programs;
    auto release = [&] {
        for (GlName program : programs) gl.deleteObject(GpuObjectKind::program, program);
        for (GlName shader : shaders) {
            if (shader) gl.deleteObject(GpuObjectKind::shader, shader);
        }
    };

    for (std::size_t i = 0; i < shaders.size(); ++i) {
        const bool vertex = QByteArray(gpuShaderFunctions[i]).endsWith("_vertex");
        GpuBuildResult compiled = gl.compileShader(vertex ? GpuShaderStage::vertex : GpuShaderStage::fragment, sources[i]);
        if (!compiled.name) {
            release();
            return GpuError(GpuError::shaderCompilationFailed, compiled.log);
        }
        shaders[i] = compiled.name;
    }

    GpuPipelines pipelines;
    for (const ProgramPairing& pairing : programPairings) {
        GpuBuildResult linked =
            gl.linkProgram(shaders[std::size_t(pairing.vertex)], shaders[std::size_t(pairing.fragment)]);
        if (!linked.name) {
            release();
            return GpuError(GpuError::pipelineCreationFailed, "text/color/cell");
        }
        programs.push_back(linked.name);
        pipelines.*pairing.pipeline = {linked.name, gl.uniformLocation(linked.name, "viewport"), pairing.blend};
    }
    // The programs keep what they need of their shaders.
    programs.clear();
    release();
    return pipelines;
}

void deleteGpuPipelines(GpuGl& gl, const GpuPipelines& pipelines)
{
    for (const ProgramPairing& pairing : programPairings)
        gl.deleteObject(GpuObjectKind::program, (pipelines.*pairing.pipeline).program);
}

} // namespace corvix
