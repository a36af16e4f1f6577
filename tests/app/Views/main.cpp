// Widget tests need a QApplication; without a display they draw offscreen. Home and the XDG
// folders point into a temporary folder, so nothing reaches the real home.
#include "app/Views/TerminalGpuSwitch.hpp"
#include "terminal/view/gpu/GpuTerminalRenderer.hpp"

#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    if (!home.isValid()) return 1;
    qputenv("HOME", home.path().toLocal8Bit());
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"}) {
        qputenv(name, (home.path() + "/" + name).toLocal8Bit());
    }
    // Terminals that draw through GL need contexts of one share group, as in the application.
    // Only a run that asks for GL drawing loads the GL driver, whose allocations LeakSanitizer
    // cannot name.
    if (brisvane::TerminalGpuSwitch::fromEnvironment().requested()) corvix::prepareGpuApplication();
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
