// Glyph and custom-glyph entries in the atlases, through the recording GL seam: which atlas a
// glyph lands in, what a failure leaves, what an atlas growth or reset empties, and the
// custom glyphs' bitmaps, also against the CPU path's drawing of the same cell.
#include "terminal/view/BoxDrawingRenderer.hpp"
#include "terminal/view/RecordingGpu.hpp"
#include "terminal/view/TerminalView.hpp"
#include "terminal/view/gpu/GlyphEntries.hpp"

#include <QPainter>

#include <gtest/gtest.h>

using namespace corvix;
using corvix::testing::RecordingDevice;

namespace {

struct EntriesFixture : ::testing::Test {
    std::shared_ptr<RecordingDevice> device = std::make_shared<RecordingDevice>();
    GlyphRasterizer rasterizer;
    std::unique_ptr<GlyphAtlas> gray;
    std::unique_ptr<GlyphAtlas> color;
    std::unique_ptr<GlyphEntries> entries;
    int rowCacheEmptied = 0;

    void make(int graySize = 256, int grayMax = 1024)
    {
        gray = GlyphAtlas::make(*device, graySize, grayMax, GlyphAtlasFormat::grayscale);
        color = GlyphAtlas::make(*device, 256, 1024, GlyphAtlasFormat::bgra);
        entries = std::make_unique<GlyphEntries>(rasterizer, *gray, *color);
        rowCacheEmptied = 0;
        entries->emptyRowCache = [this] { ++rowCacheEmptied; };
    }
    void SetUp() override { make(); }

    static GpuFont font(const QString& family, int pixelSize)
    {
        QFont f(family);
        f.setPixelSize(pixelSize);
        return gpuFont(QRawFont::fromFont(f));
    }
    static quint32 glyphOf(const GpuFont& font, const QString& text)
    {
        return font.raw.glyphIndexesForString(text).value(0);
    }
};

TEST_F(EntriesFixture, ColourGlyphsGoToTheColourAtlasAndLettersToTheGrayscaleOne)
{
    const GpuFont emoji = font(QStringLiteral("Noto Color Emoji"), 32);
    const auto picture = entries->glyphEntry(emoji, glyphOf(emoji, QStringLiteral("\U0001F600")));
    ASSERT_TRUE(picture);
    EXPECT_TRUE(picture->isColor);
    EXPECT_EQ(picture->atlasKind, GlyphAtlasKind::color);
    const GpuFloat4 red{1, 0, 0, 1};
    EXPECT_EQ(glyphColor(*picture, red), (GpuFloat4{1, 1, 1, 1}));

    const GpuFont mono = font(QStringLiteral("DejaVu Sans Mono"), 26);
    const auto letter = entries->glyphEntry(mono, glyphOf(mono, QStringLiteral("g")));
    ASSERT_TRUE(letter);
    EXPECT_FALSE(letter->isColor);
    EXPECT_EQ(letter->atlasKind, GlyphAtlasKind::grayscale);
    EXPECT_EQ(glyphColor(*letter, red), red);
    // The descender reaches below the baseline; the region holds exactly the bitmap.
    EXPECT_LT(letter->bearing.y(), 0);
    EXPECT_EQ(QSize(letter->region.width, letter->region.height), letter->size);

    // Found again without drawing or uploading anything.
    const std::size_t uploads = device->recorder.uploads.size();
    EXPECT_EQ(entries->glyphEntry(mono, glyphOf(mono, QStringLiteral("g")))->region, letter->region);
    EXPECT_EQ(device->recorder.uploads.size(), uploads);
    EXPECT_EQ(entries->glyphCount(), 2u);
}

TEST_F(EntriesFixture, ScaledFontsAreMadeOncePerFaceAndSize)
{
    const GpuFont mono = font(QStringLiteral("DejaVu Sans Mono"), 13);
    const GpuFont twice = entries->scaledFontFor(mono, 2);
    EXPECT_DOUBLE_EQ(twice.raw.pixelSize(), 26);
    EXPECT_EQ(twice.postScriptName, mono.postScriptName);
    EXPECT_EQ(entries->scaledFontFor(mono, 2).raw, twice.raw); // the same engine, not a new copy
    EXPECT_DOUBLE_EQ(mono.raw.pixelSize(), 13);
}

TEST_F(EntriesFixture, AFailedLookupIsNotCachedAndIsTriedAgain)
{
    make(256, 256);
    const GpuFont mono = font(QStringLiteral("DejaVu Sans Mono"), 26);
    // No ink: nothing.
    EXPECT_FALSE(entries->glyphEntry(mono, glyphOf(mono, QStringLiteral(" "))));
    // A frozen, full atlas has no room this frame.
    ASSERT_TRUE(gray->reserve(256, 256));
    gray->frozen = true;
    const quint32 a = glyphOf(mono, QStringLiteral("a"));
    EXPECT_FALSE(entries->glyphEntry(mono, a));
    EXPECT_FALSE(entries->customGlyphEntry(0x2588, 8, 16, 1, 1, false));
    EXPECT_EQ(entries->glyphCount(), 0u);
    EXPECT_EQ(entries->customGlyphCount(), 0u);
    // Next frame: the atlas makes room (by a reset) and both lookups succeed.
    gray->frozen = false;
    EXPECT_TRUE(entries->glyphEntry(mono, a));
    EXPECT_TRUE(entries->customGlyphEntry(0x2588, 8, 16, 1, 1, false));
    EXPECT_EQ(entries->glyphCount(), 1u);
    EXPECT_EQ(entries->customGlyphCount(), 1u);
}

TEST_F(EntriesFixture, AnAtlasGrowthEmptiesTheRowCacheAndAResetAlsoTheGlyphCaches)
{
    // 100-pixel cells take two per shelf of a 256 atlas: the fifth needs more room.
    auto fill = [&](int count) {
        for (int i = 0; i < count; ++i) ASSERT_TRUE(entries->customGlyphEntry(0x2580 + uint32_t(i), 100, 100, 1, 1, false));
    };
    fill(4);
    EXPECT_EQ(rowCacheEmptied, 0);
    EXPECT_FALSE(entries->atlasInvalidatedDuringBuild);
    fill(5);
    EXPECT_EQ(gray->size(), 512);
    EXPECT_EQ(rowCacheEmptied, 1);
    EXPECT_TRUE(entries->atlasInvalidatedDuringBuild);
    EXPECT_EQ(entries->customGlyphCount(), 5u); // growth keeps every region

    make(256, 256);
    const GpuFont mono = font(QStringLiteral("DejaVu Sans Mono"), 13);
    ASSERT_TRUE(entries->glyphEntry(mono, glyphOf(mono, QStringLiteral("a"))));
    fill(4); // with the letter, two shelves full
    EXPECT_EQ(rowCacheEmptied, 0);
    ASSERT_TRUE(entries->customGlyphEntry(0x2590, 100, 100, 1, 1, false)); // no room: reset
    EXPECT_TRUE(gray->didReset());
    EXPECT_EQ(rowCacheEmptied, 1);
    EXPECT_TRUE(entries->atlasInvalidatedDuringBuild);
    EXPECT_EQ(entries->glyphCount(), 0u);
    EXPECT_EQ(entries->customGlyphCount(), 1u); // only the glyph placed after the reset
}

// ---- Custom glyph bitmaps ---------------------------------------------------------------------

int alphaAt(const QImage& image, int x, int y)
{
    return qAlpha(image.pixel(x, y));
}

// Every pixel white (premultiplied: each channel equals alpha).
bool allWhite(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = reinterpret_cast<const QRgb*>(image.constScanLine(y))[x];
            if (qRed(p) != qAlpha(p) || qGreen(p) != qAlpha(p) || qBlue(p) != qAlpha(p)) return false;
        }
    }
    return true;
}

TEST(CustomGlyphBitmap, ShadesAndHalfBlocksCoverTheirEighths)
{
    const auto shade = drawCustomGlyph(0x2591, 9, 19, 1, 1, true);
    ASSERT_TRUE(shade);
    ASSERT_EQ(shade->size(), QSize(9, 19));
    EXPECT_EQ(shade->format(), QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < 19; ++y) {
        for (int x = 0; x < 9; ++x) ASSERT_EQ(alphaAt(*shade, x, y), 64) << x << "," << y;
    }
    EXPECT_TRUE(allWhite(*shade));

    const auto upper = drawCustomGlyph(0x2580, 8, 16, 1, 1, true);
    ASSERT_TRUE(upper);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 8; ++x) ASSERT_EQ(alphaAt(*upper, x, y), y < 8 ? 255 : 0) << x << "," << y;
    }
}

TEST(CustomGlyphBitmap, APowerlineTriangleIsWhiteAndAntiAliased)
{
    const auto triangle = drawCustomGlyph(0xE0B0, 10, 21, 1, 1, false);
    ASSERT_TRUE(triangle);
    EXPECT_TRUE(allWhite(*triangle));
    int partial = 0;
    for (int y = 0; y < 21; ++y) {
        if (y > 0 && y < 20) EXPECT_EQ(alphaAt(*triangle, 0, y), 255) << y; // the base, on the left
        for (int x = 0; x < 10; ++x) partial += alphaAt(*triangle, x, y) % 255 != 0;
    }
    EXPECT_GT(alphaAt(*triangle, 9, 10), 128); // the tip, on the right at mid-height
    EXPECT_EQ(alphaAt(*triangle, 9, 0), 0);
    EXPECT_EQ(alphaAt(*triangle, 9, 20), 0);
    EXPECT_GT(partial, 10); // edges are anti-aliased whatever the switch says
}

TEST(CustomGlyphBitmap, WhatGivesNoBitmap)
{
    // The thin separators come from the font.
    for (uint32_t codePoint : {0xE0B1u, 0xE0B3u, 0xE0B5u, 0xE0B7u, uint32_t('a'), 0x25A0u})
        EXPECT_FALSE(drawCustomGlyph(codePoint, 8, 16, 1, 1, true)) << std::hex << codePoint;
    EXPECT_FALSE(drawCustomGlyph(0x2588, 0, 16, 1, 1, true));
    EXPECT_FALSE(drawCustomGlyph(0x2588, 8, 0, 1, 1, true));
    // A scale of 0 still gives the transparent cell.
    const auto empty = drawCustomGlyph(0xE0B0, 8, 16, 0, 1, true);
    ASSERT_TRUE(empty);
    EXPECT_EQ(alphaAt(*empty, 0, 8), 0);
}

TEST(CustomGlyphBitmap, WithoutAntiAliasingBlockEdgesFallOnWholePixels)
{
    // At scale 1.5 an eighth of a 15-pixel cell is 1.875 pixels: unsnapped edges would blend.
    bool blendedWithAntiAliasing = false;
    for (uint32_t codePoint = 0x2580; codePoint <= 0x2590; ++codePoint) {
        const auto crisp = drawCustomGlyph(codePoint, 15, 31, 1.5, 1, false);
        ASSERT_TRUE(crisp);
        for (int y = 0; y < 31; ++y) {
            for (int x = 0; x < 15; ++x) {
                const int a = alphaAt(*crisp, x, y);
                ASSERT_TRUE(a == 0 || a == 255) << std::hex << codePoint << std::dec << " " << x << "," << y << " " << a;
            }
        }
        const auto smooth = drawCustomGlyph(codePoint, 15, 31, 1.5, 1, true);
        for (int y = 0; y < 31; ++y) {
            for (int x = 0; x < 15; ++x) blendedWithAntiAliasing |= alphaAt(*smooth, x, y) % 255 != 0;
        }
    }
    EXPECT_TRUE(blendedWithAntiAliasing);
}

TEST_F(EntriesFixture, CustomGlyphKeysRoundTheScale)
{
    const auto atTwo = entries->customGlyphEntry(0x2500, 16, 34, 2.0, 2, true);
    ASSERT_TRUE(atTwo);
    const std::size_t uploads = device->recorder.uploads.size();
    const auto atTwoPointFour = entries->customGlyphEntry(0x2500, 16, 34, 2.4, 2, true);
    ASSERT_TRUE(atTwoPointFour);
    EXPECT_EQ(atTwoPointFour->region, atTwo->region);
    EXPECT_EQ(device->recorder.uploads.size(), uploads);
    // The cell size is part of the key; so are the thickness and the anti-alias switch.
    EXPECT_NE(entries->customGlyphEntry(0x2500, 19, 41, 2.4, 2, true)->region, atTwo->region);
    EXPECT_NE(entries->customGlyphEntry(0x2500, 16, 34, 2.0, 3, true)->region, atTwo->region);
    EXPECT_NE(entries->customGlyphEntry(0x2500, 16, 34, 2.0, 2, false)->region, atTwo->region);
    EXPECT_EQ(entries->customGlyphCount(), 4u);
    EXPECT_FALSE(entries->customGlyphEntry(0xE0B1, 16, 34, 2.0, 0, true));
    EXPECT_EQ(QSize(atTwo->region.width, atTwo->region.height), QSize(16, 34));
    EXPECT_EQ(atTwo->size, QSize(16, 34));
}

TEST_F(EntriesFixture, ACustomGlyphEntryHoldsItsCoverageInTheAtlas)
{
    const auto upper = entries->customGlyphEntry(0x2580, 8, 16, 1, 1, false);
    ASSERT_TRUE(upper);
    // The atlas keeps alpha, bottom scan line first.
    const auto& data = gray->data();
    auto at = [&](int x, int y) { return int(data[size_t(upper->region.y + y) * size_t(gray->size()) + size_t(upper->region.x + x)]); };
    EXPECT_EQ(at(0, 0), 0);
    EXPECT_EQ(at(7, 7), 0);
    EXPECT_EQ(at(0, 8), 255);
    EXPECT_EQ(at(7, 15), 255);
}

// The thin separators have no shape of their own: the row model leaves them in the text, for the
// font to draw on both paths, and makes custom items of the solid ones only.
TEST(CustomGlyphBitmap, ThinSeparatorsAreLeftToTheFont)
{
    TerminalView view(QRect(0, 0, 200, 100), QFont(QStringLiteral("DejaVu Sans Mono"), 13));
    view.resizeGrid(10, 3);
    view.feed("\xee\x82\xb0\xee\x82\xb1\xee\x82\xb3\xee\x82\xb5\xee\x82\xb2");
    Terminal& terminal = view.getTerminal();
    const ViewLineInfo info = view.buildAttributedString(0, terminal.buffer().lines()[0], terminal.cols);
    std::vector<uint32_t> items;
    for (const PowerlineRenderItem& item : info.powerlineGlyphs) items.push_back(item.codePoint);
    EXPECT_EQ(items, (std::vector<uint32_t>{0xE0B0, 0xE0B2}));
    QString text;
    for (const ViewLineSegment& segment : info.segments) text += segment.text;
    for (char16_t thin : {u'\uE0B1', u'\uE0B3', u'\uE0B5'}) EXPECT_TRUE(text.contains(QChar(thin))) << int(thin);
}

// The CPU path draws the same outline for the same cell: the screen drawn by a view, white on
// black, against the bitmap's coverage.
TEST(CustomGlyphBitmap, MatchesTheCpuPathsDrawingOfTheCell)
{
    TerminalView view(QRect(0, 0, 200, 100), QFont(QStringLiteral("DejaVu Sans Mono"), 13));
    view.resizeGrid(10, 3);
    // Separators and line art at column 0 of their rows: the join strip falls outside the view.
    view.feed("\x1b[38;2;255;255;255;48;2;0;0;0m\xee\x82\xb0\r\n\xee\x82\xb4\r\n\xe2\x95\xad");
    view.updateDisplay(false);
    QImage screen(view.width(), view.height(), QImage::Format_ARGB32_Premultiplied);
    screen.fill(Qt::black);
    {
        QPainter painter(&screen);
        view.drawTerminalContents(view.rect(), painter, 0);
    }
    const QSizeF cell = view.cellSize();
    const int w = int(std::lround(cell.width()));
    const int h = int(std::lround(cell.height()));
    const int thickness = BoxDrawingRenderer::baseThicknessPx(1, view.faceMetrics(FontFace::normal).lineWidth());
    const uint32_t codePoints[] = {0xE0B0, 0xE0B4, 0x256D};
    for (int row = 0; row < 3; ++row) {
        const auto bitmap = drawCustomGlyph(codePoints[row], w, h, 1, thickness, true);
        ASSERT_TRUE(bitmap);
        int differing = 0, ink = 0;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const int cpu = qRed(screen.pixel(x, row * h + y));
                const int gpu = alphaAt(*bitmap, x, y);
                ink += gpu > 128;
                differing += std::abs(cpu - gpu) > 64;
            }
        }
        EXPECT_GT(ink, w) << row;
        EXPECT_LE(differing, 3) << std::hex << codePoints[row];
    }
}

} // namespace
