// The application benchmarks run inside a QApplication (tiles are widgets); without a display
// they draw offscreen.
#include <benchmark/benchmark.h>

#include "terminal/view/gpu/GpuTerminalRenderer.hpp"

#include <QApplication>

#include <cstdlib>

int main(int argc, char** argv)
{
    if (!std::getenv("DISPLAY") && !std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // The GL runs of the tile benchmarks need the contexts of one share group, as the application.
    corvix::prepareGpuApplication();
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
