#pragma once

// The OpenGL device the GL tests share, and what a test does when the display offers none.

#include "terminal/view/gpu/GpuTerminalRenderer.hpp"

#include <QtGlobal>

#include <gtest/gtest.h>

#include <memory>

// Under ctest (BRISVANE_GPU_REQUIRED=1) a missing 3.3 core context is a failure, not a skip. A
// macro because FAIL and GTEST_SKIP return from the function they are written in.
#define FAIL_OR_SKIP_WITHOUT_GL(why)                                                                                   \
    do {                                                                                                               \
        if (qEnvironmentVariableIntValue("BRISVANE_GPU_REQUIRED") == 1) FAIL() << (why);                              \
        GTEST_SKIP() << (why);                                                                                         \
    } while (false)

namespace corvix::testing {

// One device for the whole binary: the first context and compile are the expensive part.
inline std::shared_ptr<GpuDevice>& sharedDevice()
{
    static std::shared_ptr<GpuDevice> device;
    return device;
}

// The device goes before the QApplication does.
struct ReleaseSharedDevice : ::testing::Environment {
    void TearDown() override { sharedDevice().reset(); }
};
[[maybe_unused]] inline ::testing::Environment* const releaseSharedDevice =
    ::testing::AddGlobalTestEnvironment(new ReleaseSharedDevice);

} // namespace corvix::testing
