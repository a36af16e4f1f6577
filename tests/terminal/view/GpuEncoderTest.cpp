// Frame encoding and the buffer pool through the recording GL seam: which layers set state,
// in which order, with which bindings, and which buffers are made or reused.
#include "terminal/view/RecordingGpu.hpp"
#include "terminal/view/gpu/FrameEncoder.hpp"

#include <QColor>

#include <gtest/gtest.h>

using namespace corvix;
using corvix::testing::RecordingDevice;
using corvix::testing::RecordingGl;

namespace {

using Calls = std::vector<std::string>;

struct EncoderFixture : ::testing::Test {
    std::shared_ptr<RecordingDevice> device = std::make_shared<RecordingDevice>();
    RecordingGl& gl = device->recorder;
    BufferPool pool{*device};
    FrameEncoder encoder{*device, pool};
    GpuPipelines pipelines;
    GpuFrameResources resources;

    EncoderFixture()
    {
        GlName name = 1001;
        for (auto [pipeline, label] : {std::pair{&GpuPipelines::text, "text"}, {&GpuPipelines::textGray, "textGray"},
                                       {&GpuPipelines::color, "color"}, {&GpuPipelines::cellText, "cellText"},
                                       {&GpuPipelines::cellTextGray, "cellTextGray"},
                                       {&GpuPipelines::cellColor, "cellColor"}}) {
            (pipelines.*pipeline).program = name;
            gl.labels[name++] = label;
        }
        resources = {&pipelines, 2001, 2002, 2003};
        gl.labels[2001] = "grayAtlas";
        gl.labels[2002] = "colorAtlas";
        gl.labels[2003] = "sampler";
    }

    template <typename Record> GpuObjectRef rowBuffer(std::size_t count, const std::string& label)
    {
        GpuObjectRef buffer = encoder.makeRowBuffer(std::span<const Record>(std::vector<Record>(count)));
        gl.labels[buffer->name()] = label;
        return buffer;
    }

    GpuObjectRef texture(const std::string& label)
    {
        GpuObjectRef made = adoptGpuObject(*device, GpuObjectKind::texture, gl.makeTexture(GpuTextureFormat::bgra8, 4, 4, nullptr));
        gl.labels[made->name()] = label;
        return made;
    }

    Calls encode(const DrawData& data)
    {
        gl.calls.clear();
        pool.frameBuffers.clear();
        encoder.encode(data, resources, 7, 800, 600, {800, 600}, {0, 0, 0, 1});
        return gl.calls;
    }

    // The same six vertices everywhere.
    static std::vector<GlyphVertex> quad() { return std::vector<GlyphVertex>(6); }
};

} // namespace

TEST_F(EncoderFixture, PerRowLayersComeInOrderWithTheirBindings)
{
    DrawData data;
    data.rows.resize(2);
    RowDrawBuffers& a = data.rows[0];
    RowDrawBuffers& b = data.rows[1];
    a.backgroundBuffer = rowBuffer<ColorCell>(2, "a.bg"), a.backgroundCount = 2;
    b.backgroundBuffer = rowBuffer<ColorCell>(1, "b.bg"), b.backgroundCount = 1;
    b.powerlineJoinBuffer = rowBuffer<ColorCell>(1, "b.join"), b.powerlineJoinCount = 1;
    a.glyphGrayBuffer = rowBuffer<TextCell>(3, "a.gray"), a.glyphGrayCount = 3;
    b.glyphGrayBuffer = rowBuffer<TextCell>(4, "b.gray"), b.glyphGrayCount = 4;
    a.glyphColorBuffer = rowBuffer<TextCell>(1, "a.color"), a.glyphColorCount = 1;
    b.decorationBuffer = rowBuffer<ColorCell>(2, "b.deco"), b.decorationCount = 2;
    auto image = [&](const std::string& label) {
        auto made = encoder.makeImageDrawBuffers({{texture(label), quad()}});
        gl.labels[made[0].buffer->name()] = label + ".vertices";
        return made;
    };
    a.underImageBuffers = image("under");
    b.placeholderImageBuffers = image("placeholder");
    b.overImageBuffers = image("over");
    a.otherImageBuffers = image("other");
    data.cursorColorVertices.resize(6);
    data.cursorGlyphVerticesGray.resize(6);
    data.cursorGlyphVerticesColor.resize(6);

    EXPECT_EQ(encode(data), (Calls{
                                "clear fb7 800x600",
                                "layer cellColor tex=- sampler=- 800x600",
                                "draw colorCell a.bg 2",
                                "draw colorCell b.bg 1",
                                "layer text tex=- sampler=sampler 800x600",
                                "texture under",
                                "draw glyphVertex under.vertices 6",
                                "layer cellColor tex=- sampler=- 800x600",
                                "draw colorCell b.join 1",
                                "layer cellTextGray tex=grayAtlas sampler=sampler 800x600",
                                "draw textCell a.gray 3",
                                "draw textCell b.gray 4",
                                "layer cellText tex=colorAtlas sampler=sampler 800x600",
                                "draw textCell a.color 1",
                                "layer cellColor tex=- sampler=- 800x600",
                                "draw colorCell b.deco 2",
                                "layer text tex=- sampler=sampler 800x600",
                                "texture placeholder",
                                "draw glyphVertex placeholder.vertices 6",
                                "layer text tex=- sampler=sampler 800x600",
                                "texture over",
                                "draw glyphVertex over.vertices 6",
                                "layer text tex=- sampler=sampler 800x600",
                                "texture other",
                                "draw glyphVertex other.vertices 6",
                                "layer color tex=- sampler=- 800x600",
                                "draw colorVertex pool4096 6",
                                "layer textGray tex=grayAtlas sampler=sampler 800x600",
                                "draw glyphVertex pool4096 6",
                                "layer text tex=colorAtlas sampler=sampler 800x600",
                                "draw glyphVertex pool4096 6",
                            }));
}

TEST_F(EncoderFixture, AggregatedLayersComeInTheSameOrderFromPooledBuffers)
{
    DrawData data;
    FrameDrawData& frame = data.frame.emplace();
    frame.backgroundCells.resize(3);
    frame.powerlineJoinCells.resize(1);
    frame.glyphCellsGray.resize(100); // 4800 bytes
    frame.glyphCellsColor.resize(1);
    frame.decorationCells.resize(2);
    frame.underImageDraws = {{texture("under"), quad()}};
    frame.placeholderImageDraws = {{texture("placeholder"), quad()}};
    frame.overImageDraws = {{texture("over"), quad()}, {texture("over2"), quad()}};
    frame.otherImageDraws = {{texture("other"), quad()}};
    data.cursorColorVertices.resize(6);
    data.cursorGlyphVerticesGray.resize(6);
    data.cursorGlyphVerticesColor.resize(6);

    EXPECT_EQ(encode(data), (Calls{
                                "clear fb7 800x600",
                                "layer cellColor tex=- sampler=- 800x600",
                                "draw colorCell pool4096 3",
                                "layer text tex=- sampler=sampler 800x600",
                                "texture under",
                                "draw glyphVertex pool4096 6",
                                "layer cellColor tex=- sampler=- 800x600",
                                "draw colorCell pool4096 1",
                                "layer cellTextGray tex=grayAtlas sampler=sampler 800x600",
                                "draw textCell pool8192 100",
                                "layer cellText tex=colorAtlas sampler=sampler 800x600",
                                "draw textCell pool4096 1",
                                "layer cellColor tex=- sampler=- 800x600",
                                "draw colorCell pool4096 2",
                                "layer text tex=- sampler=sampler 800x600",
                                "texture placeholder",
                                "draw glyphVertex pool4096 6",
                                "layer text tex=- sampler=sampler 800x600",
                                "texture over",
                                "draw glyphVertex pool4096 6",
                                "texture over2",
                                "draw glyphVertex pool4096 6",
                                "layer text tex=- sampler=sampler 800x600",
                                "texture other",
                                "draw glyphVertex pool4096 6",
                                "layer color tex=- sampler=- 800x600",
                                "draw colorVertex pool4096 6",
                                "layer textGray tex=grayAtlas sampler=sampler 800x600",
                                "draw glyphVertex pool4096 6",
                                "layer text tex=colorAtlas sampler=sampler 800x600",
                                "draw glyphVertex pool4096 6",
                            }));
    EXPECT_EQ(pool.frameBuffers.size(), 13u);
}

TEST_F(EncoderFixture, ALayerWithoutDataSetsNoState)
{
    EXPECT_EQ(encode(DrawData{}), (Calls{"clear fb7 800x600"}));

    DrawData rows;
    rows.rows.resize(3);
    rows.rows[1].decorationBuffer = rowBuffer<ColorCell>(1, "deco"), rows.rows[1].decorationCount = 1;
    rows.rows[2].underImageBuffers = {}; // an empty list is no data either
    EXPECT_EQ(encode(rows), (Calls{"clear fb7 800x600", "layer cellColor tex=- sampler=- 800x600", "draw colorCell deco 1"}));

    DrawData frame;
    frame.frame.emplace().glyphCellsColor.resize(2);
    EXPECT_EQ(encode(frame), (Calls{"clear fb7 800x600", "layer cellText tex=colorAtlas sampler=sampler 800x600",
                                    "draw textCell pool4096 2"}));
}

TEST_F(EncoderFixture, ARowWithAnEmptyBufferDrawsNothingAndTheNextRowsStillDraw)
{
    DrawData data;
    data.rows.resize(3);
    data.rows[0].backgroundBuffer = rowBuffer<ColorCell>(1, "zero"), data.rows[0].backgroundCount = 0;
    data.rows[2].backgroundBuffer = rowBuffer<ColorCell>(2, "two"), data.rows[2].backgroundCount = 2;
    EXPECT_EQ(encode(data), (Calls{"clear fb7 800x600", "layer cellColor tex=- sampler=- 800x600", "draw colorCell two 2"}));
}

TEST_F(EncoderFixture, ImageDrawsWithoutVerticesDrawNothing)
{
    DrawData data;
    data.frame.emplace().otherImageDraws = {{texture("a"), {}}, {texture("b"), {}}};
    EXPECT_EQ(encode(data), (Calls{"clear fb7 800x600", "layer text tex=- sampler=sampler 800x600"}));
    EXPECT_TRUE(pool.frameBuffers.empty());

    // A cached row keeps no buffer for them.
    EXPECT_TRUE(encoder.makeImageDrawBuffers({{texture("c"), {}}}).empty());
}

TEST_F(EncoderFixture, RowBuffersHaveTheRecordsExactSize)
{
    const GpuObjectRef cells = rowBuffer<TextCell>(3, "cells");
    EXPECT_EQ(cells->length(), 144u);
    EXPECT_EQ(gl.bufferLengths[cells->name()], 144u);
    EXPECT_EQ(encoder.makeRowBuffer(std::span<const ColorCell>()), nullptr);
}

TEST(BufferPool, LengthsAreRoundedToFewSizes)
{
    struct Case {
        std::size_t bytes, length;
    } cases[] = {{85 * sizeof(ColorCell), 4096},
                 {129 * sizeof(ColorCell), 8192},
                 {100 * sizeof(TextCell), 8192},
                 {1, 4096},
                 {4096, 4096},
                 {4097, 8192},
                 {16385, 32768}};
    for (const Case& c : cases) EXPECT_EQ(BufferPool::pooledLength(c.bytes), c.length) << c.bytes;
}

TEST(BufferPool, RecycledBuffersAreReusedUpToFourPerLength)
{
    auto device = std::make_shared<RecordingDevice>();
    BufferPool pool(*device);
    auto take = [&](int n, std::size_t length) {
        std::vector<GpuObjectRef> taken;
        for (int i = 0; i < n; ++i) taken.push_back(pool.dequeue(length));
        return taken;
    };

    pool.recycle(take(3, 4096));
    EXPECT_EQ(device->recorder.buffersMade, 3);
    auto again = take(3, 4096);
    EXPECT_EQ(device->recorder.buffersMade, 3);
    pool.recycle(std::move(again));

    pool.recycle(take(6, 4096));
    EXPECT_EQ(device->recorder.buffersMade, 6);
    EXPECT_EQ(device->recorder.live[GpuObjectKind::buffer], 4);
    auto six = take(6, 4096);
    EXPECT_EQ(device->recorder.buffersMade, 8);
    // Another length is a list of its own.
    take(1, 8192);
    EXPECT_EQ(device->recorder.buffersMade, 9);
}

TEST(ColorToSIMD, StraightFloatsAndOpaqueBlackForNoColour)
{
    EXPECT_EQ(colorToSIMD(QColor()), (GpuFloat4{0, 0, 0, 1}));
    EXPECT_EQ(colorToSIMD(QColor(255, 0, 51)), (GpuFloat4{1, 0, 0.2f, 1}));
    EXPECT_EQ(colorToSIMD(QColor(0, 255, 0, 0)), (GpuFloat4{0, 1, 0, 0}));
    EXPECT_NEAR(colorToSIMD(QColor::fromHsvF(0, 1, 1, 0.5)).w, 0.5f, 1e-4);
}
