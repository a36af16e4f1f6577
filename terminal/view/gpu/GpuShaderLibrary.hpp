#pragma once

#include "terminal/view/gpu/GpuTerminalRenderer.hpp"

#include <QString>

#include <array>
#include <variant>

namespace corvix {

// The seven shader functions, in the order their names are listed when one is missing. Each is
// the file `<name>.glsl` of the shader folder.
inline constexpr std::array<const char*, 7> gpuShaderFunctions = {
    "terminal_text_vertex",  "terminal_cell_text_vertex",  "terminal_text_fragment", "terminal_text_fragment_gray",
    "terminal_color_vertex", "terminal_cell_color_vertex", "terminal_color_fragment"};

// Compiles the seven sources of `folder` and links the six programs. On failure everything made
// so far is deleted again.
std::variant<GpuPipelines, GpuError> buildGpuPipelines(GpuGl& gl, const QString& folder);

// Deletes the six programs.
void deleteGpuPipelines(GpuGl& gl, const GpuPipelines& pipelines);

} // namespace corvix
