// The glyph atlases' packing, growth, reset, freezing and writes, and the rasterizer, through
// the recording GL seam.
#include "terminal/view/CategoryLog.hpp"
#include "terminal/view/RecordingGpu.hpp"
#include "terminal/view/gpu/GlyphAtlas.hpp"

#include <QFont>
#include <QRawFont>

#include <gtest/gtest.h>

using namespace corvix;
using corvix::testing::RecordingDevice;
using corvix::testing::RecordingGl;

namespace {

// Qt messages of the atlas category while alive, as (type, text).
struct AtlasLog : corvix::testing::CategoryLog {
    AtlasLog() : CategoryLog("corvix.gpu.atlas") {}
};

struct AtlasFixture : ::testing::Test {
    std::shared_ptr<RecordingDevice> device = std::make_shared<RecordingDevice>();
    RecordingGl& gl = device->recorder;

    std::unique_ptr<GlyphAtlas> make(int size, int maxSize, GlyphAtlasFormat format = GlyphAtlasFormat::grayscale)
    {
        auto atlas = GlyphAtlas::make(*device, size, maxSize, format);
        gl.uploads.clear();
        return atlas;
    }

    int wholeUploads(const GlyphAtlas& atlas) const
    {
        int count = 0;
        for (const auto& upload : gl.uploads) {
            if (upload.x == 0 && upload.y == 0 && upload.width == atlas.size() && upload.height == atlas.size()) ++count;
        }
        return count;
    }
};

// A bitmap of `width` x `height` whose every pixel is (b, g, r, a).
std::vector<std::uint8_t> solid(int width, int height, std::uint8_t b, std::uint8_t g, std::uint8_t r, std::uint8_t a)
{
    std::vector<std::uint8_t> pixels;
    for (int i = 0; i < width * height; ++i) pixels.insert(pixels.end(), {b, g, r, a});
    return pixels;
}

} // namespace

TEST_F(AtlasFixture, GlyphsGoOnAShelfWithAOnePixelBorder)
{
    auto atlas = make(256, 256);
    EXPECT_EQ(atlas->ensureRegion(10, 12), (AtlasRegion{1, 1, 10, 12}));
    EXPECT_EQ(atlas->ensureRegion(7, 12), (AtlasRegion{13, 1, 7, 12}));
    EXPECT_EQ(atlas->ensureRegion(0, 5), std::nullopt);
}

TEST_F(AtlasFixture, AFullAtlasDoublesKeepingItsGlyphs)
{
    auto atlas = make(1024, 4096);
    const GlName before = atlas->texture();
    const auto first = atlas->ensureRegion(1000, 1000);
    ASSERT_EQ(first, (AtlasRegion{1, 1, 1000, 1000}));
    atlas->write(*first, solid(1000, 1000, 0, 0, 0, 200), 1000, 1000);
    gl.uploads.clear();

    AtlasLog log;
    const auto second = atlas->ensureRegion(100, 100);
    EXPECT_EQ(second, (AtlasRegion{1, 1003, 100, 100}));
    EXPECT_EQ(atlas->size(), 2048);
    EXPECT_FALSE(atlas->didReset());
    EXPECT_NE(atlas->texture(), before);
    // The first glyph is still where it was handed out.
    EXPECT_EQ(atlas->data()[1 * 2048 + 1], 200);
    EXPECT_EQ(atlas->data()[1000 * 2048 + 1000], 200);
    EXPECT_EQ(atlas->data()[1001 * 2048 + 1001], 200);
    EXPECT_EQ(atlas->data()[1002 * 2048 + 1002], 0);
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0], std::make_pair(QtInfoMsg, std::string("glyph atlas (grayscale) grow: 1024 -> 2048")));
    ASSERT_EQ(gl.uploads.size(), 1u);
    EXPECT_EQ(wholeUploads(*atlas), 1);
    EXPECT_EQ(gl.live[GpuObjectKind::texture], 1); // the old texture went
}

TEST_F(AtlasFixture, AGrowthGlRefusesFallsThroughToAReset)
{
    auto atlas = make(256, 1024);
    ASSERT_TRUE(atlas->ensureRegion(200, 200));
    const GlName texture = atlas->texture();
    gl.refuseTextures = true;
    AtlasLog log;
    EXPECT_EQ(atlas->ensureRegion(100, 100), (AtlasRegion{1, 1, 100, 100}));
    EXPECT_EQ(atlas->size(), 256);
    EXPECT_EQ(atlas->texture(), texture);
    EXPECT_TRUE(atlas->didReset());
    ASSERT_EQ(log.lines.size(), 2u);
    EXPECT_EQ(log.lines[0], std::make_pair(QtWarningMsg, std::string("glyph atlas (grayscale) grow to 512 failed: texture allocation")));
    EXPECT_EQ(log.lines[1].first, QtWarningMsg);
}

TEST_F(AtlasFixture, AFullAtlasAtItsLargestResetsAndSaysSoOnce)
{
    auto atlas = make(256, 256);
    AtlasLog log;
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(atlas->ensureRegion(200, 200));
        EXPECT_FALSE(atlas->didReset());
        gl.uploads.clear();
        EXPECT_EQ(atlas->ensureRegion(100, 100), (AtlasRegion{1, 1, 100, 100}));
        EXPECT_TRUE(atlas->didReset());
        EXPECT_EQ(atlas->size(), 256);
        EXPECT_EQ(wholeUploads(*atlas), 1);
        atlas->reset();
    }
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0], std::make_pair(QtWarningMsg, std::string("glyph atlas (grayscale) reset at size 256: glyph "
                                                                      "working set exceeds capacity")));
}

TEST_F(AtlasFixture, AFrozenFullAtlasSkipsGlyphsAndSaysSoOncePerGrowth)
{
    auto atlas = make(256, 512, GlyphAtlasFormat::bgra);
    ASSERT_TRUE(atlas->ensureRegion(200, 200));
    AtlasLog log;
    const std::string fault = "glyph atlas (bgra) frozen and full; glyphs will be skipped this frame";

    atlas->frozen = true;
    EXPECT_EQ(atlas->ensureRegion(100, 100), std::nullopt);
    EXPECT_EQ(atlas->ensureRegion(100, 100), std::nullopt);
    EXPECT_EQ(atlas->size(), 256);
    EXPECT_FALSE(atlas->didReset());
    EXPECT_TRUE(gl.uploads.empty());
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0], std::make_pair(QtCriticalMsg, fault));

    atlas->frozen = false;
    ASSERT_TRUE(atlas->ensureRegion(100, 100));
    EXPECT_EQ(atlas->size(), 512);
    atlas->frozen = true;
    EXPECT_EQ(atlas->ensureRegion(400, 400), std::nullopt);
    ASSERT_EQ(log.lines.size(), 3u);
    EXPECT_EQ(log.lines[2], std::make_pair(QtCriticalMsg, fault));
}

TEST_F(AtlasFixture, AGlyphLargerThanTheLargestSideIsLeftOut)
{
    auto atlas = make(256, 512);
    AtlasLog log;
    EXPECT_EQ(atlas->ensureRegion(511, 10), std::nullopt); // 513 with its border
    EXPECT_EQ(atlas->size(), 256);
    EXPECT_FALSE(atlas->didReset());
    EXPECT_TRUE(gl.uploads.empty());
    EXPECT_TRUE(log.lines.empty());
    EXPECT_EQ(atlas->ensureRegion(10, 10), (AtlasRegion{1, 1, 10, 10}));
}

TEST_F(AtlasFixture, CreationClampsTheSides)
{
    struct Case {
        int size, maxSize, side, largest;
    } cases[] = {{1024, 512, 512, 512}, {1024, 100, 256, 256}, {1024, 4096, 1024, 4096}, {100, 4096, 256, 4096}};
    for (const Case& c : cases) {
        auto atlas = make(c.size, c.maxSize);
        EXPECT_EQ(atlas->size(), c.side) << c.size << " " << c.maxSize;
        EXPECT_EQ(atlas->maxSize(), c.largest) << c.size << " " << c.maxSize;
        EXPECT_EQ(atlas->data().size(), std::size_t(c.side * c.side));
    }
    gl.refuseTextures = true;
    EXPECT_EQ(GlyphAtlas::make(*device, 1024, 4096, GlyphAtlasFormat::bgra), nullptr);
}

TEST_F(AtlasFixture, AWriteThatDoesNotFitChangesNothing)
{
    auto atlas = make(256, 256, GlyphAtlasFormat::bgra);
    const auto region = *atlas->ensureRegion(4, 4);
    const auto full = solid(4, 4, 9, 9, 9, 9);
    const std::vector<std::uint8_t> before = atlas->data();
    atlas->write(region, full, 4, 3);                                      // wrong size
    atlas->write(region, std::span(full).first(4 * 3 * 4), 4, 4);          // short bitmap
    atlas->write(AtlasRegion{254, 1, 4, 4}, full, 4, 4);                   // past the right edge
    atlas->write(AtlasRegion{1, 1000, 4, 4}, full, 4, 4);                  // another atlas's region
    atlas->write(AtlasRegion{-1, 1, 4, 4}, full, 4, 4);
    EXPECT_EQ(atlas->data(), before);
    EXPECT_TRUE(gl.uploads.empty());
}

TEST_F(AtlasFixture, AGlyphIsStoredBottomUpWithItsEdgesReplicated)
{
    auto atlas = make(256, 256);
    // Top scan line first: alphas 10, 20 above 30, 40.
    const std::vector<std::uint8_t> bitmap = {0, 0, 0, 10, 0, 0, 0, 20, 0, 0, 0, 30, 0, 0, 0, 40};
    auto block = [&](int x0, int y0, int w, int h) {
        std::vector<int> values;
        for (int y = y0; y < y0 + h; ++y) {
            for (int x = x0; x < x0 + w; ++x) values.push_back(atlas->data()[std::size_t(y * 256 + x)]);
        }
        return values;
    };

    atlas->write(*atlas->ensureRegion(2, 2), bitmap, 2, 2);
    EXPECT_EQ(block(0, 0, 4, 4), (std::vector<int>{30, 30, 40, 40, 30, 30, 40, 40, 10, 10, 20, 20, 10, 10, 20, 20}));
    ASSERT_EQ(gl.uploads.size(), 1u);
    EXPECT_EQ(gl.uploads[0], (RecordingGl::Upload{atlas->texture(), 0, 0, 4, 4, 256}));

    // At the atlas's edges the border is cut off.
    gl.uploads.clear();
    atlas->write(AtlasRegion{0, 100, 2, 2}, bitmap, 2, 2);
    EXPECT_EQ(block(0, 99, 3, 4), (std::vector<int>{30, 40, 40, 30, 40, 40, 10, 20, 20, 10, 20, 20}));
    atlas->write(AtlasRegion{254, 254, 2, 2}, bitmap, 2, 2);
    EXPECT_EQ(block(253, 253, 3, 3), (std::vector<int>{30, 30, 40, 30, 30, 40, 10, 10, 20}));
    ASSERT_EQ(gl.uploads.size(), 2u);
    EXPECT_EQ(gl.uploads[0], (RecordingGl::Upload{atlas->texture(), 0, 99, 3, 4, 256}));
    EXPECT_EQ(gl.uploads[1], (RecordingGl::Upload{atlas->texture(), 253, 253, 3, 3, 256}));
}

TEST_F(AtlasFixture, GrayscaleKeepsCoverageAndColourKeepsTheBytes)
{
    const std::vector<std::uint8_t> pixel = {11, 22, 33, 44};
    auto gray = make(256, 256);
    const auto g = *gray->ensureRegion(1, 1);
    gray->write(g, pixel, 1, 1);
    EXPECT_EQ(gray->data()[std::size_t(g.y * 256 + g.x)], 44);

    auto color = make(256, 256, GlyphAtlasFormat::bgra);
    const auto c = *color->ensureRegion(1, 1);
    color->write(c, pixel, 1, 1);
    const std::size_t at = std::size_t(c.y * 256 + c.x) * 4;
    EXPECT_EQ(std::vector<std::uint8_t>(color->data().begin() + long(at), color->data().begin() + long(at) + 4), pixel);
}

TEST(GlyphAtlasMaxSize, FromTheEnvironmentOrTheDefaults)
{
    struct Case {
        const char* value;
        int maxTexture;
        int grayscale, color;
    } cases[] = {
        {"100", 16384, 256, 256},
        {"+512", 16384, 512, 512},
        {"-5", 16384, 256, 256},
        {"20000", 16384, 16384, 16384},
        {"20000", 8192, 8192, 8192},
        {"20000", 4096, 4096, 4096},
        {"abc", 16384, 8192, 4096},
        {"", 16384, 8192, 4096},
        {nullptr, 16384, 8192, 4096},
        {"99999999999999999999", 16384, 8192, 4096},
        {"12x", 16384, 8192, 4096},
        {"+-5", 16384, 8192, 4096},
        {"-", 16384, 8192, 4096},
        {nullptr, 2048, 2048, 2048},
    };
    for (const Case& c : cases) {
        const std::string label = std::string(c.value ? c.value : "(unset)") + " / " + std::to_string(c.maxTexture);
        EXPECT_EQ(GlyphAtlas::recommendedMaxSize(GlyphAtlasFormat::grayscale, c.maxTexture, c.value), c.grayscale)
            << label;
        EXPECT_EQ(GlyphAtlas::recommendedMaxSize(GlyphAtlasFormat::bgra, c.maxTexture, c.value), c.color) << label;
    }
}

// ---- Rasterizer ---------------------------------------------------------------------------------

TEST(GlyphRasterizer, QtsBoundsBecomeYUp)
{
    const GlyphInkBox box = yUpInkBox(QRectF(1.5, -10, 5, 12));
    EXPECT_EQ(box.minX, 1.5);
    EXPECT_EQ(box.minY, -2);
    EXPECT_EQ(box.width, 5);
    EXPECT_EQ(box.height, 12);
}

TEST(GlyphRasterizer, ALetterFillsItsBitmapInEqualChannels)
{
    const QRawFont font = QRawFont::fromFont(QFont(QStringLiteral("DejaVu Sans Mono"), 20));
    ASSERT_TRUE(font.isValid());
    GlyphRasterizer rasterizer;
    struct Case {
        char32_t character;
        bool descends;
    } cases[] = {{U'A', false}, {U'g', true}, {U'_', true}};
    for (const Case& c : cases) {
        const QString text = QString::fromUcs4(&c.character, 1);
        const auto glyphs = font.glyphIndexesForString(text);
        ASSERT_EQ(glyphs.size(), 1);
        const auto bitmap = rasterizer.rasterize(font, glyphs[0]);
        ASSERT_TRUE(bitmap) << text.toStdString();
        EXPECT_FALSE(bitmap->isColor);
        EXPECT_EQ(bitmap->bearingY < 0, c.descends) << text.toStdString() << " " << bitmap->bearingY;
        ASSERT_EQ(bitmap->pixels.size(), std::size_t(bitmap->width * bitmap->height * 4));
        // The ink box was fitted: ink reaches the first and the last scan line.
        auto rowHasInk = [&](int row) {
            for (int x = 0; x < bitmap->width; ++x) {
                if (bitmap->pixels[std::size_t((row * bitmap->width + x) * 4 + 3)] > 0) return true;
            }
            return false;
        };
        EXPECT_TRUE(rowHasInk(0)) << text.toStdString();
        EXPECT_TRUE(rowHasInk(bitmap->height - 1)) << text.toStdString();
    }
    const auto space = font.glyphIndexesForString(QStringLiteral(" "));
    EXPECT_EQ(rasterizer.rasterize(font, space[0]), std::nullopt);
}

TEST(GlyphRasterizer, AColourEmojiHasUnequalChannels)
{
    const QRawFont font = QRawFont::fromFont(QFont(QStringLiteral("Noto Color Emoji"), 20));
    ASSERT_TRUE(font.isValid());
    const auto glyphs = font.glyphIndexesForString(QString::fromUcs4(U"\U0001F600", 1));
    ASSERT_EQ(glyphs.size(), 1);
    ASSERT_NE(glyphs[0], 0u);
    const auto bitmap = GlyphRasterizer().rasterize(font, glyphs[0]);
    ASSERT_TRUE(bitmap);
    EXPECT_TRUE(bitmap->isColor);
}
