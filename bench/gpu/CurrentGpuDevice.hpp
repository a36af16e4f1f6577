#pragma once

// The system's OpenGL device with its context current, for benchmarks that need textures.

#include "terminal/view/gpu/GpuTerminalRenderer.hpp"

#include <benchmark/benchmark.h>

#include <memory>

namespace corvix::bench {

// Nothing, with the run skipped, when there is no device or its context cannot be made current.
inline std::shared_ptr<GpuDevice> currentGpuDevice(benchmark::State& state)
{
    std::shared_ptr<GpuDevice> gpu = systemDefaultGpuDevice();
    if (!gpu || !gpu->makeCurrent()) {
        state.SkipWithError("no OpenGL device");
        return nullptr;
    }
    return gpu;
}

} // namespace corvix::bench
