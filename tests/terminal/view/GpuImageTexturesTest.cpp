// Image textures over the recording GL: what is uploaded (rows, size), when a texture is made
// again, and who keeps it alive.
#include "terminal/view/gpu/GpuImageTextures.hpp"

#include "terminal/graphics/Base64.hpp"
#include "terminal/view/RecordingGpu.hpp"
#include "terminal/view/TerminalView.hpp"
#include "terminal/view/TestImages.hpp"

#include <QApplication>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace corvix;
using corvix::testing::pngBytes;
using corvix::testing::RecordingDevice;

namespace {

std::string base64(const std::vector<uint8_t>& bytes)
{
    return Base64::encode(bytes);
}

// Two rows: red on top, blue below.
QImage redOverBlue(int width = 1)
{
    QImage image(width, 2, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::blue);
    for (int x = 0; x < width; ++x) image.setPixelColor(x, 0, Qt::red);
    return image;
}

// B, G, R, A bytes of one premultiplied pixel.
std::vector<uint8_t> bgra(QColor color)
{
    return {uint8_t(color.blue()), uint8_t(color.green()), uint8_t(color.red()), uint8_t(color.alpha())};
}

class ImageTextureFixture : public ::testing::Test {
protected:
    void SetUp() override { gl.keepTexturePixels = true; }

    int liveTextures() { return gl.live[GpuObjectKind::texture]; }
    const corvix::testing::RecordingGl::Texture& made(const GpuImageTexture& texture)
    {
        return gl.textures.at(nameOf(texture.texture));
    }
    KittyGraphicsState& store() { return view.getTerminal().kittyGraphicsState(); }

    std::shared_ptr<RecordingDevice> device = std::make_shared<RecordingDevice>();
    corvix::testing::RecordingGl& gl = device->recorder;
    GpuImageTextures textures{*device};
    TerminalView view{QRect(0, 0, 400, 240), QFont(QStringLiteral("DejaVu Sans Mono"), 11)};
};

} // namespace

TEST(KittySignature, HashBytesIsFnv1aOfTheHead)
{
    auto bytes = [](std::string_view text) { return std::vector<uint8_t>(text.begin(), text.end()); };
    EXPECT_EQ(hashBytes({}, 64), 0u);
    EXPECT_EQ(hashBytes(bytes("a"), 64), 0xE40C292Cu);
    EXPECT_EQ(hashBytes(bytes("foobar"), 64), 0xBF9CF968u);
    EXPECT_EQ(hashBytes(bytes("foobar"), 1), hashBytes(bytes("f"), 64));
    EXPECT_EQ(hashBytes(bytes("foobar"), 0), 0u);
    // Past 64 bytes nothing counts.
    std::vector<uint8_t> longer(100, 7), head(longer.begin(), longer.begin() + 64);
    const uint32_t hash = hashBytes(longer, 64);
    EXPECT_EQ(hash, hashBytes(head, 64));
    longer[64] = 8;
    EXPECT_EQ(hashBytes(longer, 64), hash);
    longer[63] = 8;
    EXPECT_NE(hashBytes(longer, 64), hash);
}

TEST(KittySignature, FieldsOfPngAndRgbaPayloads)
{
    const std::vector<uint8_t> bytes(8, 1);
    const KittyGraphicsImage png{KittyGraphicsPayload::png(bytes), 8, 1, 5};
    EXPECT_EQ(kittySignature(png), (KittyImageSignature{1, 0, 0, 8, hashBytes(bytes, 64), 5}));
    const KittyGraphicsImage rgba{KittyGraphicsPayload::rgba(RgbaBitmap{bytes, 2, 1}), 8, 1, 5};
    EXPECT_EQ(kittySignature(rgba), (KittyImageSignature{2, 2, 1, 8, hashBytes(bytes, 64), 5}));
    // The same bytes as another width, or under another serial, are another image.
    const KittyGraphicsImage narrow{KittyGraphicsPayload::rgba(RgbaBitmap{bytes, 1, 2}), 8, 1, 5};
    EXPECT_NE(kittySignature(narrow), kittySignature(rgba));
    KittyGraphicsImage resent = rgba;
    resent.serial = 6;
    EXPECT_NE(kittySignature(resent), kittySignature(rgba));
}

TEST_F(ImageTextureFixture, AReStoredPngThatDiffersOnlyPastItsHeadGetsANewTexture)
{
    // Uncompressed PNGs of one size: equal lengths; the top rows agree, so the first 64 bytes do.
    QImage first = redOverBlue(8).scaled(8, 8), second = first;
    for (int x = 0; x < 8; ++x) second.setPixelColor(x, 7, Qt::green);
    const std::vector<uint8_t> a = pngBytes(first, 100), b = pngBytes(second, 100);
    ASSERT_EQ(a.size(), b.size());
    ASSERT_TRUE(std::equal(a.begin(), a.begin() + 64, b.begin()));
    ASSERT_NE(a, b);

    view.feed("\x1b_Ga=t,f=100,i=7,q=2;" + base64(a) + "\x1b\\");
    const GpuImageTexture before = textures.kittyTexture(store(), 7);
    ASSERT_TRUE(before.texture);
    EXPECT_EQ(before.width, 8);
    // Asked again: the cached texture.
    EXPECT_EQ(textures.kittyTexture(store(), 7).texture, before.texture);
    EXPECT_EQ(gl.textures.size(), 1u);

    const KittyImageSignature old = kittySignature(store().imagesById.at(7));
    view.feed("\x1b_Ga=t,f=100,i=7,q=2;" + base64(b) + "\x1b\\");
    KittyImageSignature now = kittySignature(store().imagesById.at(7));
    // Only the store's serial tells the two apart.
    EXPECT_NE(now.serial, old.serial);
    now.serial = old.serial;
    ASSERT_EQ(now, old);
    const GpuImageTexture after = textures.kittyTexture(store(), 7);
    ASSERT_TRUE(after.texture);
    EXPECT_NE(after.texture, before.texture);
    // The new texture holds the new picture: its first stored row is the picture's bottom, green.
    const std::vector<uint8_t> bottom(made(after).pixels.begin(), made(after).pixels.begin() + 4);
    EXPECT_EQ(bottom, bgra(Qt::green));
    EXPECT_EQ(textures.kittyTextureCount(), 1u);
}

TEST_F(ImageTextureFixture, AnRgbaPayloadResentWithAnotherWidthGetsANewTexture)
{
    // Two red pixels over two blue, as R, G, B, A: first 2 x 2, then the same bytes as 4 x 1.
    const std::vector<uint8_t> pixels = {255, 0, 0, 255, 255, 0, 0, 255, 0, 0, 255, 255, 0, 0, 255, 255};
    view.feed("\x1b_Ga=t,f=32,s=2,v=2,i=3,q=2;" + base64(pixels) + "\x1b\\");
    const GpuImageTexture square = textures.kittyTexture(store(), 3);
    ASSERT_TRUE(square.texture);
    // Flipped once: the bottom (blue) row first.
    EXPECT_EQ(made(square).pixels, (std::vector<uint8_t>{255, 0, 0, 255, 255, 0, 0, 255, 0, 0, 255, 255, 0, 0, 255,
                                                         255}));

    view.feed("\x1b_Ga=t,f=32,s=4,v=1,i=3,q=2;" + base64(pixels) + "\x1b\\");
    const GpuImageTexture wide = textures.kittyTexture(store(), 3);
    ASSERT_TRUE(wide.texture);
    EXPECT_NE(wide.texture, square.texture);
    EXPECT_EQ(made(wide).width, 4);
    EXPECT_EQ(made(wide).height, 1);
}

TEST_F(ImageTextureFixture, APrunedIdKeepsItsTextureWhileARowHoldsIt)
{
    view.feed("\x1b_Ga=t,f=100,i=4,q=2;" + base64(pngBytes(redOverBlue())) + "\x1b\\");
    // Image 5 has a (virtual) placement, so that deleting image 4 leaves it stored.
    view.feed("\x1b_Ga=T,f=100,i=5,U=1,c=1,r=1,q=2;" + base64(pngBytes(redOverBlue())) + "\x1b\\");
    GpuObjectRef heldByRow = textures.kittyTexture(store(), 4).texture;
    ASSERT_TRUE(heldByRow);
    ASSERT_TRUE(textures.kittyTexture(store(), 5).texture);
    EXPECT_EQ(liveTextures(), 2);

    view.feed("\x1b_Ga=d,d=I,i=4,q=2\x1b\\");
    ASSERT_FALSE(store().imagesById.contains(4));
    ASSERT_TRUE(store().imagesById.contains(5));
    textures.prune(&store());
    EXPECT_EQ(textures.kittyTextureCount(), 1u);
    EXPECT_EQ(liveTextures(), 2) << "the row still draws it";
    heldByRow.reset();
    EXPECT_EQ(liveTextures(), 1);
    EXPECT_FALSE(textures.kittyTexture(store(), 4).texture);

    // Without a store every Kitty texture goes.
    textures.prune(nullptr);
    EXPECT_EQ(textures.kittyTextureCount(), 0u);
    EXPECT_EQ(liveTextures(), 0);
}

TEST_F(ImageTextureFixture, FailuresAreNotCachedAndAreTriedAgain)
{
    KittyGraphicsState state;
    state.imagesById[1] = {KittyGraphicsPayload::png({1, 2, 3, 4}), 4, 1, 1};
    state.imagesById[2] = {KittyGraphicsPayload::png(pngBytes(redOverBlue())), 4, 1, 2};
    // A PNG the CPU path cannot decode is drawn by neither path; no image, no texture.
    EXPECT_FALSE(textures.kittyTexture(state, 1).texture);
    EXPECT_FALSE(textures.kittyTexture(state, 9).texture);
    EXPECT_EQ(textures.kittyTextureCount(), 0u);

    gl.refuseTextures = true;
    auto picture = std::make_shared<const QImage>(redOverBlue());
    EXPECT_FALSE(textures.kittyTexture(state, 2).texture);
    EXPECT_FALSE(textures.texture(picture).texture);
    EXPECT_EQ(textures.kittyTextureCount() + textures.pictureTextureCount(), 0u);
    gl.refuseTextures = false;
    EXPECT_TRUE(textures.kittyTexture(state, 2).texture);
    EXPECT_TRUE(textures.texture(picture).texture);

    device->canBeCurrent = false;
    EXPECT_FALSE(textures.texture(std::make_shared<const QImage>(redOverBlue())).texture);
}

TEST_F(ImageTextureFixture, TheStripsOfOnePictureShareOneTextureThatGoesWithIt)
{
    // A picture three cells tall: three strips on three lines, one decoded picture.
    const int h = int(view.cellSize().height() * 3);
    QImage picture = redOverBlue(4).scaled(4, h);
    view.feed("\x1b]1337;File=inline=1;width=4px;height=" + std::to_string(h) + "px:" + base64(pngBytes(picture)) +
              "\x07");
    std::vector<const TerminalView::AppleImage*> strips;
    for (int row = 0; row < 4; ++row) {
        if (const auto& images = view.getTerminal().buffer().lines()[row].images())
            for (const auto& image : *images)
                strips.push_back(dynamic_cast<const TerminalView::AppleImage*>(image.get()));
    }
    ASSERT_EQ(strips.size(), 3u);
    const GpuImageTexture first = textures.texture(strips[0]->picture());
    ASSERT_TRUE(first.texture);
    EXPECT_EQ(first.width, 4);
    EXPECT_EQ(first.height, h);
    for (const auto* strip : strips) EXPECT_EQ(textures.texture(strip->picture()).texture, first.texture);
    EXPECT_EQ(gl.textures.size(), 1u);
    // Uploaded bottom row first: blue, and the last stored row red.
    const auto& pixels = made(first).pixels;
    EXPECT_EQ(std::vector<uint8_t>(pixels.begin(), pixels.begin() + 4), bgra(Qt::blue));
    EXPECT_EQ(std::vector<uint8_t>(pixels.end() - 4, pixels.end()), bgra(Qt::red));

    // The picture goes with its lines; the next prune lets its texture go.
    view.feed("\x1b[2J\x1b[3J\x1b[H");
    strips.clear();
    textures.prune(&store());
    EXPECT_EQ(textures.pictureTextureCount(), 0u);
    EXPECT_EQ(liveTextures(), 1) << "the test still holds it";
}

TEST_F(ImageTextureFixture, APictureAboveTheDeviceLimitIsUploadedScaledDown)
{
    struct Case {
        int deviceLimit, hook;
        QSize picture, texture;
    };
    const Case cases[] = {
        {8192, 0, {10000, 20}, {8192, 16}},
        {8192, 0, {20, 10000}, {16, 8192}},
        {8192, 0, {8192, 3}, {8192, 3}},
        {16384, 100, {300, 30}, {100, 10}},
        {16384, 100, {1000, 1}, {100, 1}},
    };
    gl.keepTexturePixels = false;
    for (const Case& c : cases) {
        GpuImageTextures fresh{*device};
        gl.maxTexture = c.deviceLimit;
        if (c.hook) fresh.setMaxTextureSide(c.hook);
        QImage picture(c.picture, QImage::Format_ARGB32_Premultiplied);
        picture.fill(Qt::red);
        const GpuImageTexture made = fresh.texture(std::make_shared<const QImage>(picture));
        ASSERT_TRUE(made.texture);
        const auto& texture = gl.textures.at(nameOf(made.texture));
        EXPECT_EQ(QSize(texture.width, texture.height), c.texture) << c.picture.width() << "x" << c.picture.height();
        EXPECT_EQ(QSize(made.width, made.height), c.picture) << "the picture's own size is kept";
        EXPECT_EQ(texture.format, GpuTextureFormat::bgra8);
    }
}
