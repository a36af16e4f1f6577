// The GPU renderer's pixels through real OpenGL: hand-made draw data drawn into the renderer's
// widget, read back at sampled pixels (texel centres, ±2). Every scene is drawn in both buffering
// modes and the two frames must agree.
#include "terminal/view/TerminalView.hpp"
#include "terminal/view/gpu/CursorDrawData.hpp"
#include "terminal/view/gpu/GlTerminalRenderer.hpp"
#include "terminal/view/gpu/GpuImageTextures.hpp"
#include "terminal/view/gpu/GpuShaderLibrary.hpp"
#include "terminal/view/gpu/OpenGlDevice.hpp"
#include "terminal/view/gpu/RowDrawData.hpp"
#include "terminal/view/TestImages.hpp"
#include "terminal/gl/GlDevice.hpp"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>
#include <QRawFont>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace corvix;
using corvix::testing::sharedDevice;

namespace {

constexpr int kWidth = 200;
constexpr int kHeight = 150;

class GlFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (sharedDevice()) return;
        const GpuDeviceProbe probe = probeSystemGpuDevice();
        sharedDevice() = probe.device;
        if (!probe.device) refusal = probe.refusal;
    }

    void SetUp() override
    {
        if (!sharedDevice()) FAIL_OR_SKIP_WITHOUT_GL("no OpenGL device: " + refusal);
        window.resize(kWidth, kHeight);
        surface = sharedDevice()->makeView(&window);
        surface->setGeometry(0, 0, kWidth, kHeight);
        auto made = makeGpuTerminalRenderer(*sharedDevice(), *surface, terminalView);
        ASSERT_TRUE(made.renderer) << describe(*made.error);
        renderer.reset(static_cast<GlTerminalRenderer*>(made.renderer.release()));
        // A never-shown GL widget grabs from a context outside the share group.
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        background = terminalView.nativeBackgroundColor();
    }

    void TearDown() override
    {
        renderer.reset();
        surface.reset();
    }

    QImage grab(DrawData data)
    {
        renderer->setDrawData(std::move(data));
        QImage image = static_cast<QOpenGLWidget&>(*surface).grabFramebuffer();
        renderer->setDrawData({});
        return image;
    }

    // The frame of `frame` and the cursor in aggregated mode; the same records as cached rows
    // must give the same image.
    QImage draw(const FrameDrawData& frame, const DrawData& cursor = {})
    {
        DrawData aggregated = cursor;
        aggregated.frame = frame;
        const QImage pooled = grab(aggregated);

        DrawData perRow = cursor;
        perRow.rows = {renderer->encoder().makeRowDrawBuffers(frame)};
        const QImage cached = grab(perRow);

        EXPECT_EQ(pooled.size(), QSize(kWidth, kHeight));
        EXPECT_TRUE(pooled == cached) << "per-row and aggregated frames differ";
        if (const QByteArray dir = qgetenv("BRISVANE_SCREENSHOT_DIR"); !dir.isEmpty()) {
            QDir().mkpath(QString::fromLocal8Bit(dir));
            pooled.save(QString::fromLocal8Bit(dir) + "/gpu-" +
                        ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".png");
        }
        return pooled;
    }

    // The colour at (x, y) with y = 0 at the bottom, as the records count.
    static QColor at(const QImage& image, int x, int y) { return image.pixelColor(x, image.height() - 1 - y); }

    static ::testing::AssertionResult near(const QColor& actual, const QColor& expected, int tolerance = 2)
    {
        if (std::abs(actual.red() - expected.red()) <= tolerance &&
            std::abs(actual.green() - expected.green()) <= tolerance &&
            std::abs(actual.blue() - expected.blue()) <= tolerance) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure() << "got " << actual.name().toStdString() << ", expected "
                                             << expected.name().toStdString();
    }

    static GpuFloat4 rgba(float r, float g, float b, float a = 1) { return {r, g, b, a}; }

    // A quad of six glyph vertices over (x, y, w, h), texture coordinates (u0, v0)..(u1, v1).
    static std::vector<GlyphVertex> quad(float x, float y, float w, float h, float u0, float v0, float u1, float v1,
                                         GpuFloat4 color)
    {
        const GlyphVertex bl{{x, y}, {u0, v0}, color}, br{{x + w, y}, {u1, v0}, color},
            tl{{x, y + h}, {u0, v1}, color}, tr{{x + w, y + h}, {u1, v1}, color};
        return {bl, br, tl, br, tr, tl};
    }

    // The TextCell that shows `region` of `atlas` scaled to w × h at (x, y).
    static TextCell cellFor(const GlyphAtlas& atlas, const AtlasRegion& region, float x, float y, float w, float h,
                            GpuFloat4 color)
    {
        const float side = float(atlas.size());
        return {{x, y}, {w, h}, {region.x / side, region.y / side}, {region.width / side, region.height / side}, color};
    }

    static inline std::string refusal;
    QWidget window;
    TerminalView terminalView{QRect(0, 0, kWidth, kHeight)};
    std::unique_ptr<QWidget> surface;
    std::unique_ptr<GlTerminalRenderer> renderer;
    QColor background;
};

} // namespace

TEST_F(GlFixture, AnEmptyFrameIsTheNativeBackground)
{
    const QImage image = draw({});
    for (QPoint p : {QPoint(0, 0), QPoint(kWidth - 1, kHeight - 1), QPoint(100, 75)}) {
        EXPECT_TRUE(near(at(image, p.x(), p.y()), background));
    }
}

TEST_F(GlFixture, AColorCellSitsOnItsPixelsCountedFromTheBottom)
{
    FrameDrawData frame;
    frame.backgroundCells = {{{10, 20}, {30, 15}, rgba(1, 0, 0)}};
    const QImage image = draw(frame);
    const QColor red(255, 0, 0);
    for (QPoint p : {QPoint(10, 20), QPoint(39, 20), QPoint(10, 34), QPoint(39, 34)}) {
        EXPECT_TRUE(near(at(image, p.x(), p.y()), red)) << p.x() << "," << p.y();
    }
    for (QPoint p : {QPoint(9, 20), QPoint(40, 20), QPoint(10, 19), QPoint(10, 35)}) {
        EXPECT_TRUE(near(at(image, p.x(), p.y()), background)) << p.x() << "," << p.y();
    }
}

TEST_F(GlFixture, HalfTransparentBlueOverRed)
{
    FrameDrawData frame;
    frame.backgroundCells = {{{0, 0}, {50, 50}, rgba(1, 0, 0)}, {{0, 0}, {50, 50}, rgba(0, 0, 1, 0.5f)}};
    const QColor mixed = at(draw(frame), 25, 25);
    EXPECT_GE(mixed.red(), 127);
    EXPECT_LE(mixed.red(), 128);
    EXPECT_EQ(mixed.green(), 0);
    EXPECT_TRUE(near(mixed, QColor(128, 0, 128), 1));
}

TEST_F(GlFixture, ACoverageBitmapIsTintedAndStandsOnItsLastScanLine)
{
    GlyphAtlas& atlas = renderer->grayscaleAtlas();
    // Four scan lines, top first: two empty, two full.
    std::vector<std::uint8_t> bitmap(4 * 4 * 4, 0);
    for (int i = 8; i < 16; ++i) bitmap[std::size_t(i * 4 + 3)] = 255;
    const AtlasRegion region = *atlas.ensureRegion(4, 4);
    atlas.write(region, bitmap, 4, 4);

    FrameDrawData frame;
    frame.glyphCellsGray = {cellFor(atlas, region, 20, 20, 44, 44, rgba(0, 1, 0))};
    const QImage image = draw(frame);
    // Texels are 11 px: pixel centres at 5.5, 16.5 (ink) and 27.5, 38.5 (none) hit texel centres.
    EXPECT_TRUE(near(at(image, 25, 25), QColor(0, 255, 0)));
    EXPECT_TRUE(near(at(image, 58, 36), QColor(0, 255, 0)));
    EXPECT_TRUE(near(at(image, 25, 47), background));
    EXPECT_TRUE(near(at(image, 58, 58), background));
}

TEST_F(GlFixture, AColourBitmapKeepsItsColoursUnderWhite)
{
    GlyphAtlas& atlas = renderer->colorAtlas();
    // Two scan lines, top first: blue over red, premultiplied B, G, R, A.
    const std::vector<std::uint8_t> bitmap = {255, 0, 0, 255, 255, 0, 0, 255, 0, 0, 255, 255, 0, 0, 255, 255};
    const AtlasRegion region = *atlas.ensureRegion(2, 2);
    atlas.write(region, bitmap, 2, 2);

    FrameDrawData frame;
    frame.glyphCellsColor = {cellFor(atlas, region, 100, 50, 22, 22, rgba(1, 1, 1))};
    const QImage image = draw(frame);
    EXPECT_TRUE(near(at(image, 105, 55), QColor(255, 0, 0)));
    EXPECT_TRUE(near(at(image, 116, 66), QColor(0, 0, 255)));
}

TEST_F(GlFixture, ACursorQuadAndAnImageDraw)
{
    // A 2x2 image, first stored row (the bottom) yellow, the other cyan; premultiplied BGRA.
    const std::uint8_t pixels[] = {0, 255, 255, 255, 0, 255, 255, 255, 255, 255, 0, 255, 255, 255, 0, 255};
    GpuDevice& device = *sharedDevice();
    ASSERT_TRUE(device.makeCurrent());
    GpuObjectRef texture = adoptGpuObject(device, GpuObjectKind::texture,
                                          device.gl().makeTexture(GpuTextureFormat::bgra8, 2, 2, pixels));
    ASSERT_TRUE(texture);

    FrameDrawData frame;
    frame.backgroundCells = {{{0, 0}, {kWidth, kHeight}, rgba(0, 0, 0)}};
    // Texels of 21 px, sampled at their centres.
    frame.otherImageDraws = {{texture, quad(140, 20, 42, 42, 0, 0, 1, 1, rgba(1, 1, 1))}};
    DrawData cursor;
    for (const GlyphVertex& v : quad(10, 100, 8, 16, 0, 0, 0, 0, rgba(1, 1, 1))) {
        cursor.cursorColorVertices.push_back({v.position, {}, rgba(1, 0.5f, 0)});
    }
    const QImage image = draw(frame, cursor);
    EXPECT_TRUE(near(at(image, 150, 30), QColor(255, 255, 0)));
    EXPECT_TRUE(near(at(image, 171, 51), QColor(0, 255, 255)));
    EXPECT_TRUE(near(at(image, 14, 108), QColor(255, 128, 0)));
    EXPECT_TRUE(near(at(image, 14, 116), QColor(0, 0, 0)));
    EXPECT_TRUE(near(at(image, 9, 108), QColor(0, 0, 0)));
}

TEST_F(GlFixture, ABrokenShaderSourceGivesTheCompilersLine)
{
    QTemporaryDir folder;
    for (const char* name : gpuShaderFunctions) {
        const QString file = QLatin1String(name) + QLatin1String(".glsl");
        ASSERT_TRUE(QFile::copy(defaultGpuShaderFolder + "/" + file, folder.filePath(file)));
        QFile::setPermissions(folder.filePath(file), QFile::ReadOwner | QFile::WriteOwner);
    }
    QFile broken(folder.filePath("terminal_color_fragment.glsl"));
    ASSERT_TRUE(broken.open(QIODevice::Append));
    broken.write("void f() { undefinedThing = 1; }\n");
    broken.close();

    QWidget view;
    auto made = makeGpuTerminalRenderer(*sharedDevice(), view, terminalView, folder.path());
    ASSERT_FALSE(made.renderer);
    ASSERT_TRUE(made.error);
    EXPECT_EQ(made.error->kind, GpuError::shaderCompilationFailed);
    const std::string text = describe(*made.error);
    EXPECT_EQ(text.rfind("Failed to compile OpenGL shader source: ", 0), 0u) << text;
    EXPECT_NE(text.find("undefinedThing"), std::string::npos) << text;
    EXPECT_NE(text.find("error"), std::string::npos) << text;
}

TEST_F(GlFixture, TheViewSwitchesToTheGpuAndBack)
{
    TerminalView view(QRect(0, 0, 160, 100));
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    EXPECT_EQ(view.setUseGpu(true), std::nullopt);
    EXPECT_TRUE(view.isUsingGpuRenderer());
    auto* gpuSurface = view.findChild<GpuSurface*>();
    ASSERT_NE(gpuSurface, nullptr);
    EXPECT_EQ(gpuSurface->size(), view.size());
    // Until the draw-data pass exists the frame is the background.
    EXPECT_TRUE(near(at(gpuSurface->grabFramebuffer(), 80, 50), view.nativeBackgroundColor()));
    EXPECT_EQ(view.setUseGpu(false), std::nullopt);
    EXPECT_EQ(view.findChild<GpuSurface*>(), nullptr);
}

TEST_F(GlFixture, ARasterizedLetterStandsUpright)
{
    const QRawFont font = QRawFont::fromFont(QFont(QStringLiteral("DejaVu Sans Mono"), 40));
    const auto glyphs = font.glyphIndexesForString(QStringLiteral("L"));
    ASSERT_EQ(glyphs.size(), 1);
    const auto bitmap = renderer->rasterizer().rasterize(font, glyphs[0]);
    ASSERT_TRUE(bitmap);
    GlyphAtlas& atlas = renderer->grayscaleAtlas();
    const AtlasRegion region = *atlas.ensureRegion(bitmap->width, bitmap->height);
    atlas.write(region, bitmap->pixels, bitmap->width, bitmap->height);

    // One texel per pixel, the glyph origin at (40, 40).
    const float x = 40.0f + float(bitmap->bearingX), y = 40.0f + float(bitmap->bearingY);
    FrameDrawData frame;
    frame.glyphCellsGray = {cellFor(atlas, region, x, y, float(bitmap->width), float(bitmap->height), rgba(1, 1, 1))};
    const QImage image = draw(frame);
    auto ink = [&](int dx, int dy) { return at(image, int(x) + dx, int(y) + dy).green() > 200; };
    // The foot runs along the bottom to the right; the stem stands on the left; the top right is empty.
    EXPECT_TRUE(ink(1, 1));
    EXPECT_TRUE(ink(bitmap->width - 2, 1));
    EXPECT_TRUE(ink(1, bitmap->height - 2));
    EXPECT_FALSE(ink(bitmap->width - 2, bitmap->height - 2));
}

namespace {

// Rows of `top` over rows of `bottom`, half each.
QImage halves(int width, int height, QColor top, QColor bottom)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(bottom);
    for (int y = 0; y < height / 2; ++y)
        for (int x = 0; x < width; ++x) image.setPixelColor(x, y, top);
    return image;
}

KittyGraphicsImage pngImage(const QImage& image)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    std::vector<uint8_t> bytes(png.begin(), png.end());
    const auto size = int64_t(bytes.size());
    return {KittyGraphicsPayload::png(std::move(bytes)), size, 1, 1};
}

// Premultiplied R, G, B, A bytes, as the Kitty loader keeps raw payloads.
KittyGraphicsImage rgbaImage(const QImage& image)
{
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    std::vector<uint8_t> bytes(rgba.constBits(), rgba.constBits() + rgba.sizeInBytes());
    const auto size = int64_t(bytes.size());
    return {KittyGraphicsPayload::rgba(RgbaBitmap{std::move(bytes), image.width(), image.height()}), size, 1, 1};
}

ImageDraw quadOf(const GpuImageTexture& texture, QRectF rect, QRectF uv = QRectF(0, 0, 1, 1))
{
    return *imageDraw(texture.texture, rect, uv, BufferLine::RenderLineMode::single, std::nullopt, 0, 1);
}

} // namespace

TEST_F(GlFixture, KittyPngAndRgbaImagesShowTheirTopRowAtTheTop)
{
    KittyGraphicsState store;
    const QImage picture = halves(2, 4, Qt::red, Qt::blue);
    store.imagesById[1] = pngImage(picture);
    store.imagesById[2] = rgbaImage(picture);
    GpuImageTextures& textures = renderer->imageTextures();
    const GpuImageTexture png = textures.kittyTexture(store, 1), rgba = textures.kittyTexture(store, 2);
    ASSERT_TRUE(png.texture);
    ASSERT_TRUE(rgba.texture);

    // Texels of 10 px; each half is two texels tall.
    FrameDrawData frame;
    frame.placeholderImageDraws = {quadOf(png, QRectF(20, 20, 20, 40)), quadOf(rgba, QRectF(100, 20, 20, 40))};
    const QImage image = draw(frame);
    for (int x : {30, 110}) {
        EXPECT_TRUE(near(at(image, x, 55), QColor(255, 0, 0))) << x;
        EXPECT_TRUE(near(at(image, x, 25), QColor(0, 0, 255))) << x;
    }
}

TEST_F(GlFixture, HalfTransparentImagePixelsBlendAsPremultiplied)
{
    // Red at half alpha: straight in the PNG file, premultiplied in the raw payload. Over black
    // both must give half red: straight colours would show full red (a bright fringe), alpha
    // applied twice a quarter.
    KittyGraphicsState store;
    QImage straight(4, 4, QImage::Format_ARGB32);
    straight.fill(QColor(255, 0, 0, 128));
    store.imagesById[1] = pngImage(straight);
    store.imagesById[2] = rgbaImage(straight);
    GpuImageTextures& textures = renderer->imageTextures();
    FrameDrawData frame;
    frame.backgroundCells = {{{0, 0}, {kWidth, kHeight}, rgba(0, 0, 0)}};
    frame.overImageDraws = {quadOf(textures.kittyTexture(store, 1), QRectF(20, 20, 40, 40)),
                            quadOf(textures.kittyTexture(store, 2), QRectF(100, 20, 40, 40))};
    const QImage image = draw(frame);
    EXPECT_TRUE(near(at(image, 40, 40), QColor(128, 0, 0)));
    EXPECT_TRUE(near(at(image, 120, 40), QColor(128, 0, 0)));
}

TEST_F(GlFixture, OnePictureServesTwoStripsWithOneTexture)
{
    // A picture shown as two strips, each a half of it through its texture coordinates.
    auto picture = std::make_shared<const QImage>(halves(4, 4, Qt::red, Qt::blue));
    GpuImageTextures& textures = renderer->imageTextures();
    const GpuImageTexture top = textures.texture(picture), bottom = textures.texture(picture);
    ASSERT_TRUE(top.texture);
    EXPECT_EQ(bottom.texture, top.texture);
    EXPECT_EQ(textures.pictureTextureCount(), 1u);

    FrameDrawData frame;
    frame.otherImageDraws = {quadOf(top, QRectF(20, 80, 40, 20), QRectF(0, 0.5, 1, 0.5)),
                             quadOf(bottom, QRectF(20, 40, 40, 20), QRectF(0, 0, 1, 0.5))};
    const QImage image = draw(frame);
    EXPECT_TRUE(near(at(image, 40, 90), QColor(255, 0, 0)));
    EXPECT_TRUE(near(at(image, 40, 50), QColor(0, 0, 255)));
    EXPECT_TRUE(near(at(image, 40, 70), background));
}

TEST_F(GlFixture, APictureWiderThanTheDeviceLimitStillDraws)
{
    // 10,000 x 20, red left of blue, with the limit a smaller driver would have.
    QImage wide(10000, 20, QImage::Format_ARGB32_Premultiplied);
    wide.fill(Qt::blue);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 5000; ++x) wide.setPixelColor(x, y, Qt::red);
    GpuImageTextures& textures = renderer->imageTextures();
    textures.setMaxTextureSide(8192);
    const GpuImageTexture texture = textures.texture(std::make_shared<const QImage>(wide));
    ASSERT_TRUE(texture.texture);

    ASSERT_TRUE(sharedDevice()->makeCurrent());
    QOpenGLExtraFunctions* f = QOpenGLContext::currentContext()->extraFunctions();
    GLint width = 0, height = 0;
    f->glBindTexture(GL_TEXTURE_2D, texture.texture->name());
    f->glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    f->glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    f->glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_EQ(width, 8192);
    EXPECT_EQ(height, 16);

    FrameDrawData frame;
    frame.otherImageDraws = {quadOf(texture, QRectF(0, 60, kWidth, 30))};
    const QImage image = draw(frame);
    EXPECT_TRUE(near(at(image, 50, 75), QColor(255, 0, 0)));
    EXPECT_TRUE(near(at(image, 150, 75), QColor(0, 0, 255)));
}

TEST_F(GlFixture, TheCursorShowsWhereAndAsTheCaretDoes)
{
    // Each scene's cursor drawn alone by the GPU against the CPU view with its caret, at the
    // cursor cell's centre and the inside of its left edge (screen pixels, y down). The cell at
    // column 2 of row 1 holds nothing but in the full-block scene.
    TerminalView& view = terminalView;
    view.setCaretColor(QColor(200, 0, 0));
    view.setCaretTextColor(QColor(0, 200, 0));
    const QSizeF cell = view.cellSize();
    const int centreX = int(cell.width() * 2.5), centreY = int(cell.height() * 1.5);
    const int edgeX = int(std::ceil(cell.width() * 2));
    struct Scene {
        const char* name;
        const char* feed;
        bool focused;
        QColor centre;
        QColor edge;
    };
    const QColor caret(200, 0, 0), text(0, 200, 0);
    const Scene scenes[] = {
        {"block", "\x1b[2 q", true, caret, caret},
        {"block-over-full-block", "\x1b[2 q\xe2\x96\x88", true, text, text},
        {"hollow", "\x1b[2 q", false, background, caret},
        {"bar", "\x1b[6 q", true, background, caret},
    };
    for (const Scene& scene : scenes) {
        SCOPED_TRACE(scene.name);
        view.feed("\x1b[2J\x1b[2;3H");
        view.feed(scene.feed);
        view.feed("\x1b[2;3H");
        view.setHasFocus(scene.focused);
        view.updateCursorPosition();
        const QImage cpu = view.grab().toImage();

        const QFontMetricsF& metrics = view.faceMetrics(FontFace::normal);
        const int yDisp = view.getTerminal().buffer().yDisp();
        const CursorFrame frame{1, cell.width(), cell.height(), metrics.descent(), metrics.leading(), yDisp, yDisp,
                                yDisp + view.getTerminal().rows - 1, true};
        const CursorDrawData records = buildCursorDrawData(view, renderer->glyphEntries(), renderer->shaperCache(),
                                                           renderer->grayscaleAtlas(), renderer->colorAtlas(), frame);
        DrawData cursor;
        cursor.cursorColorVertices = records.colorVertices;
        cursor.cursorGlyphVerticesGray = records.glyphVerticesGray;
        cursor.cursorGlyphVerticesColor = records.glyphVerticesColor;
        const QImage gpu = draw({}, cursor);
        if (const QByteArray dir = qgetenv("BRISVANE_SCREENSHOT_DIR"); !dir.isEmpty()) {
            const QString base = QString::fromLocal8Bit(dir) + "/cursor-" + scene.name;
            cpu.save(base + "-cpu.png");
            gpu.save(base + "-gpu.png");
        }
        EXPECT_TRUE(near(gpu.pixelColor(centreX, centreY), scene.centre, 8)) << "gpu centre";
        EXPECT_TRUE(near(cpu.pixelColor(centreX, centreY), scene.centre, 8)) << "cpu centre";
        EXPECT_TRUE(near(gpu.pixelColor(edgeX, centreY), scene.edge, 8)) << "gpu edge";
        EXPECT_TRUE(near(cpu.pixelColor(edgeX, centreY), scene.edge, 8)) << "cpu edge";
        // Nothing left of the cell.
        EXPECT_TRUE(near(gpu.pixelColor(edgeX - 2, centreY), background, 8)) << "gpu outside";
    }
}


// The row builder's records for a screen of one line of each kind, drawn through GL, against the
// CPU path's drawing of the same view at the same probes.
TEST_F(GlFixture, BuiltRowsMatchTheCpuPathAtCellCentresAndTheUnderline)
{
    terminalView.setCustomBlockGlyphs(true);
    // Red background; a green full block; blue underlined spaces; a magenta Powerline separator;
    // yellow text; a cyan Kitty picture over two cells.
    terminalView.feed("\x1b[?25l\x1b[41m  \x1b[0m\r\n\x1b[32m\xe2\x96\x88\x1b[0m\r\n\x1b[4;34m    \x1b[0m\r\n"
                      "\x1b[35m\xee\x82\xb0\x1b[0m\r\n\x1b[33mHHHHHHHH\x1b[0m\r\n");
    const QSize picture(int(terminalView.cellSize().width() * 2), int(terminalView.cellSize().height()));
    terminalView.feed("\x1b_Ga=T,f=100,i=7,C=1,q=2;" +
                      corvix::testing::pngBase64(corvix::testing::solid(picture.width(), picture.height(), Qt::cyan)) +
                      "\x1b\\");
    terminalView.updateDisplay(false);
    RowDrawBuilder builder(terminalView, renderer->glyphEntries(), renderer->grayscaleAtlas(), renderer->colorAtlas(),
                           renderer->shaperCache(), renderer->imageTextures());
    const RenderFrame payload = terminalView.renderFrame(terminalView.rect(), 0);
    FrameDrawData frame;
    for (const RenderRow& row : payload.rows) {
        frame.append(builder.build(row, payload, 1));
    }
    ASSERT_FALSE(frame.decorationCells.empty());
    ASSERT_FALSE(frame.overImageDraws.empty());
    const QImage gpu = draw(frame);
    const QImage cpu = terminalView.grab(QRect(0, 0, kWidth, kHeight)).toImage().convertToFormat(QImage::Format_RGB32);
    if (const QByteArray dir = qgetenv("BRISVANE_SCREENSHOT_DIR"); !dir.isEmpty())
        cpu.save(QString::fromLocal8Bit(dir) + "/cpu-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".png");
    ASSERT_EQ(cpu.size(), gpu.size());

    const QSizeF cell = terminalView.cellSize();
    // Probes in y-down view pixels, as both images store them.
    const auto probe = [&](double x, double y, const QColor& expected) {
        const QColor g = gpu.pixelColor(int(x), int(y));
        const QColor c = cpu.pixelColor(int(x), int(y));
        EXPECT_TRUE(near(g, c, 8)) << "at " << x << ", " << y;
        EXPECT_TRUE(near(g, expected, 40)) << "at " << x << ", " << y;
    };
    const auto centreY = [&](int row) { return (row + 0.5) * cell.height(); };
    probe(cell.width() * 0.5, centreY(0), terminalView.mapColor(Attribute::Color::ansi256(1), false, false, true));
    probe(cell.width() * 0.5, centreY(1), terminalView.mapColor(Attribute::Color::ansi256(2), true, false, true));
    probe(cell.width() * 0.2, centreY(3), terminalView.mapColor(Attribute::Color::ansi256(5), true, false, true));
    probe(cell.width() * 6.5, centreY(0), background);
    probe(cell.width() * 1.0, centreY(5), QColor(Qt::cyan));

    // The text: as much yellow ink in row 4 on both paths (glyph pixels differ, their coverage not).
    const QColor yellow = terminalView.mapColor(Attribute::Color::ansi256(3), true, false, true);
    const auto inkIn = [&](const QImage& image) {
        int ink = 0;
        for (int y = int(4 * cell.height()); y < int(5 * cell.height()); y++)
            for (int x = 0; x < int(8 * cell.width()); x++) ink += near(image.pixelColor(x, y), yellow, 60) ? 1 : 0;
        return ink;
    };
    const int gpuInk = inkIn(gpu);
    const int cpuInk = inkIn(cpu);
    EXPECT_GT(cpuInk, 0);
    EXPECT_NEAR(gpuInk, cpuInk, cpuInk / 4 + 1);

    // The underline: the rows of row 2 in the blue, in both images, within a pixel of each other.
    const QColor blue = terminalView.mapColor(Attribute::Color::ansi256(4), true, false, true);
    const auto underlineRows = [&](const QImage& image) {
        std::vector<int> rows;
        for (int y = int(2 * cell.height()); y < int(3 * cell.height()); y++)
            if (near(image.pixelColor(int(cell.width() * 1.5), y), blue, 40)) rows.push_back(y);
        return rows;
    };
    const std::vector<int> gpuRows = underlineRows(gpu);
    const std::vector<int> cpuRows = underlineRows(cpu);
    ASSERT_FALSE(gpuRows.empty());
    ASSERT_FALSE(cpuRows.empty());
    EXPECT_LE(std::abs(gpuRows.front() - cpuRows.front()), 1);
}
