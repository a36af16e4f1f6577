// Building the GPU renderer through the recording GL seam: its errors, that a failure leaves
// no GL object behind, programs compiled once per device, and the pool's reuse across frames.
#include "terminal/view/RecordingGpu.hpp"
#include "terminal/view/TerminalView.hpp"
#include "terminal/view/gpu/GlTerminalRenderer.hpp"
#include "terminal/view/gpu/GpuShaderLibrary.hpp"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

using namespace corvix;
using corvix::testing::RecordingDevice;

namespace {

struct SetupFixture : ::testing::Test {
    std::shared_ptr<RecordingDevice> device = std::make_shared<RecordingDevice>();
    TerminalView terminalView{QRect(0, 0, 320, 200)};
    QWidget gpuView;
    QTemporaryDir folder;

    // The shipped sources copied into a folder of our own, so one can be broken or left out.
    QString copyShaders()
    {
        for (const char* name : gpuShaderFunctions) {
            const QString file = QLatin1String(name) + QLatin1String(".glsl");
            QFile::remove(folder.filePath(file));
            EXPECT_TRUE(QFile::copy(defaultGpuShaderFolder + "/" + file, folder.filePath(file))) << name;
            QFile::setPermissions(folder.filePath(file), QFile::ReadOwner | QFile::WriteOwner);
        }
        return folder.path();
    }

    GpuRendererResult make(const QString& shaders = defaultGpuShaderFolder)
    {
        return makeGpuTerminalRenderer(*device, gpuView, terminalView, shaders);
    }
};

} // namespace

TEST_F(SetupFixture, ARendererHoldsTwoAtlasesSixProgramsAndASampler)
{
    auto made = make();
    ASSERT_TRUE(made.renderer) << describe(*made.error);
    auto& renderer = static_cast<GlTerminalRenderer&>(*made.renderer);
    EXPECT_EQ(renderer.grayscaleAtlas().size(), 1024);
    EXPECT_EQ(renderer.grayscaleAtlas().format(), GlyphAtlasFormat::grayscale);
    EXPECT_EQ(renderer.colorAtlas().format(), GlyphAtlasFormat::bgra);
    auto& live = device->recorder.live;
    EXPECT_EQ(live[GpuObjectKind::texture], 2);
    EXPECT_EQ(live[GpuObjectKind::sampler], 1);
    EXPECT_EQ(live[GpuObjectKind::program], 6);
    EXPECT_EQ(live[GpuObjectKind::shader], 0);

    // A second renderer on the device compiles nothing again.
    auto second = make();
    ASSERT_TRUE(second.renderer);
    EXPECT_EQ(live[GpuObjectKind::program], 6);
    EXPECT_EQ(live[GpuObjectKind::texture], 4);

    made.renderer.reset();
    second.renderer.reset();
    EXPECT_EQ(live[GpuObjectKind::texture], 0);
    EXPECT_EQ(live[GpuObjectKind::sampler], 0);
}

TEST_F(SetupFixture, EveryFailureNamesItsCauseAndLeavesNoGlObject)
{
    const QString shaders = copyShaders();
    const std::string names = "terminal_text_vertex, terminal_cell_text_vertex, terminal_text_fragment, "
                              "terminal_text_fragment_gray, terminal_color_vertex, terminal_cell_color_vertex, "
                              "terminal_color_fragment";
    struct Case {
        const char* label;
        std::function<QString()> arrange;
        GpuError expected;
        std::string description;
    } cases[] = {
        {"no current context", [&] { device->canBeCurrent = false; return shaders; },
         GpuError::commandQueueUnavailable, "Failed to create OpenGL command queue."},
        {"no texture", [&] { device->recorder.refuseTextures = true; return shaders; }, GpuError::atlasUnavailable,
         "Failed to create the glyph atlas."},
        {"no sampler", [&] { device->recorder.refuseSampler = true; return shaders; }, GpuError::samplerUnavailable,
         "Failed to create OpenGL sampler state."},
        {"no folder", [&] { return shaders + "/absent"; },
         GpuError(GpuError::shaderSourceMissing, (shaders + "/absent").toStdString()),
         "Failed to load OpenGL shader source: " + (shaders + "/absent").toStdString()},
        {"a missing source",
         [&] {
             QFile::remove(shaders + "/terminal_cell_color_vertex.glsl");
             return shaders;
         },
         GpuError(GpuError::shaderFunctionMissing, names), "OpenGL library missing required function: " + names},
        {"a broken source",
         [&] {
             copyShaders();
             QFile file(shaders + "/terminal_text_fragment_gray.glsl");
             EXPECT_TRUE(file.open(QIODevice::Append));
             file.write("#error broken on purpose\n");
             return shaders;
         },
         GpuError(GpuError::shaderCompilationFailed, "0:14(1): preprocessor error: broken on purpose"),
         "Failed to compile OpenGL shader source: 0:14(1): preprocessor error: broken on purpose"},
        {"a link failure", [&] { device->recorder.linkFailsAt = 4; return defaultGpuShaderFolder; },
         GpuError(GpuError::pipelineCreationFailed, "text/color/cell"), "Failed to create OpenGL pipeline: text/color/cell"},
    };
    for (Case& c : cases) {
        device = std::make_shared<RecordingDevice>();
        const QString shaderFolder = c.arrange();
        auto made = make(shaderFolder);
        EXPECT_EQ(made.renderer, nullptr) << c.label;
        ASSERT_TRUE(made.error) << c.label;
        EXPECT_EQ(*made.error, c.expected) << c.label << ": " << describe(*made.error);
        EXPECT_EQ(describe(*made.error), c.description) << c.label;
        // Only the device's programs may stay: they are compiled once for all its renderers.
        const bool programsBuilt = c.expected.kind == GpuError::samplerUnavailable;
        EXPECT_EQ(device->recorder.liveObjects(), programsBuilt ? 6 : 0) << c.label;
        EXPECT_EQ(device->recorder.live[GpuObjectKind::program], programsBuilt ? 6 : 0) << c.label;
    }
}

TEST_F(SetupFixture, PooledBuffersComeBackOnceTheFrameIsDone)
{
    auto made = make();
    ASSERT_TRUE(made.renderer);
    auto& renderer = static_cast<GlTerminalRenderer&>(*made.renderer);
    auto& gl = device->recorder;

    DrawData three;
    FrameDrawData& frame = three.frame.emplace();
    frame.backgroundCells.resize(10);
    frame.glyphCellsGray.resize(10);
    frame.decorationCells.resize(10);
    renderer.setDrawData(three);
    renderer.paint(0, 320, 200);
    EXPECT_EQ(gl.buffersMade, 3);
    renderer.paint(0, 320, 200);
    EXPECT_EQ(gl.buffersMade, 3);

    DrawData six = three;
    six.frame->powerlineJoinCells.resize(1);
    six.frame->glyphCellsColor.resize(1);
    six.cursorColorVertices.resize(6);
    renderer.setDrawData(six);
    renderer.paint(0, 320, 200);
    EXPECT_EQ(gl.buffersMade, 6);
    renderer.paint(0, 320, 200);
    // Only four of the six went back to the pool.
    EXPECT_EQ(gl.buffersMade, 8);
}

TEST_F(SetupFixture, TheFrameClearsToTheNativeBackground)
{
    auto made = make();
    ASSERT_TRUE(made.renderer);
    device->recorder.calls.clear();
    // A frame with nothing to draw.
    auto& renderer = static_cast<GlTerminalRenderer&>(*made.renderer);
    renderer.setDrawData({});
    renderer.paint(3, 320, 200);
    EXPECT_EQ(device->recorder.calls, (std::vector<std::string>{"clear fb3 320x200"}));
    EXPECT_EQ(device->recorder.lastClear, colorToSIMD(terminalView.nativeBackgroundColor()));
    EXPECT_NE(device->recorder.lastClear, (GpuFloat4{}));
}

TEST_F(SetupFixture, AFrameDrawsTheTerminalsScreenAndTheNextOneReusesItsRows)
{
    auto made = make();
    ASSERT_TRUE(made.renderer);
    auto& renderer = static_cast<GlTerminalRenderer&>(*made.renderer);
    auto& gl = device->recorder;
    terminalView.feed("hello");
    renderer.paint(0, 320, 200);
    EXPECT_EQ(renderer.drawDataPass().rowCache().size(), std::size_t(terminalView.getTerminal().rows));
    const auto glyphDraw = std::find_if(gl.calls.begin(), gl.calls.end(),
                                        [](const std::string& call) { return call.starts_with("draw textCell"); });
    EXPECT_NE(glyphDraw, gl.calls.end());
    const int firstFrameBuffers = gl.buffersMade;
    renderer.paint(0, 320, 200);
    EXPECT_EQ(gl.buffersMade, firstFrameBuffers);
}

TEST(GpuProfile, OnlyExactlyOneSwitchesItOn)
{
    EXPECT_TRUE(gpuProfileSwitch("1"));
    for (const char* off : {"true", "01", "", "1 ", "0"}) EXPECT_FALSE(gpuProfileSwitch(off)) << off;
    EXPECT_FALSE(gpuProfileSwitch(nullptr));
}

TEST(GpuDevice, OffscreenIsRefusedWithItsReason)
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("offscreen"));
    const GpuDeviceProbe probe = probeSystemGpuDevice();
    EXPECT_EQ(probe.device, nullptr);
    EXPECT_EQ(probe.refusal, "the platform \"offscreen\" cannot host an OpenGL widget");
}
