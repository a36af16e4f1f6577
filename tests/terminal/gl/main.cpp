// The GL pixel tests: one QApplication in the global share group, on a real (virtual) display.
#include "terminal/view/gpu/GpuTerminalRenderer.hpp"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // Small atlases: a large zero-filled texture costs far more than the tests need.
    qputenv("CORVIX_ATLAS_MAX", "256");
    corvix::prepareGpuApplication();
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
