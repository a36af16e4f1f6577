#include "GraphicsTestSupport.hpp"
#include "tests/support/AllocationCounter.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace corvix;
using namespace corvix::test;

namespace {

struct Rgba {
    uint8_t r, g, b, a;
};
constexpr Rgba kRed{255, 0, 0, 255};
constexpr Rgba kBlue{0, 0, 255, 255};

// Columns x0 ..< x1 and rows y0 ..< y1 of one colour.
struct Fill {
    int x0, y0, x1, y1;
    Rgba color;
};

std::vector<uint8_t> expectedPixels(int width, int height, const std::vector<Fill>& fills)
{
    std::vector<uint8_t> pixels(size_t(width) * height * 4, 0);
    for (const Fill& f : fills) {
        for (int y = f.y0; y < f.y1; y++) {
            for (int x = f.x0; x < f.x1; x++) {
                uint8_t* p = &pixels[(size_t(y) * width + x) * 4];
                p[0] = f.color.r;
                p[1] = f.color.g;
                p[2] = f.color.b;
                p[3] = f.color.a;
            }
        }
    }
    return pixels;
}

struct Fixture {
    ImageDelegate delegate;
    Terminal terminal{&delegate};

    // Sends one Sixel string with the given data.
    void sixel(const std::string& data) { terminal.feed("\x1bPq" + data + "\x1b\\"); }
};

struct Case {
    const char* data;
    int width;
    int height;
    std::vector<Fill> fills;
};

} // namespace

TEST(SixelDcsHandler, DecodesToExactPixels)
{
    const std::vector<Case> cases = {
        {"#0;2;100;0;0~", 1, 6, {{0, 0, 1, 6, kRed}}},
        {"#1;1;120;50;100~", 1, 6, {{0, 0, 1, 6, kRed}}}, // HLS hue 120 is red
        {"#0;1;0;50;100~", 1, 6, {{0, 0, 1, 6, kBlue}}},
        {"#0;1;240;50;100~", 1, 6, {{0, 0, 1, 6, {0, 255, 0, 255}}}},
        {"#0;1;60;50;100~", 1, 6, {{0, 0, 1, 6, {255, 0, 255, 255}}}},
        {"#0;1;0;50;0~", 1, 6, {{0, 0, 1, 6, {127, 127, 127, 255}}}},
        {"#0;2;0;0;100!3~-~", 3, 12, {{0, 0, 3, 6, kBlue}, {0, 6, 1, 12, kBlue}}},
        {"#0;2;100;0;0@", 1, 1, {{0, 0, 1, 1, kRed}}},
        {"#0;2;100;0;0?", 1, 0, {}},
        {"\"1;1;10;10", 0, 0, {}},
        // Before the first '#' nothing counts; a '#' without a number ends the image.
        {"~~~#0;2;100;0;0~", 1, 6, {{0, 0, 1, 6, kRed}}},
        {"#0;2;100;0;0~#~~", 1, 6, {{0, 0, 1, 6, kRed}}},
        // Repeats: 0 draws nothing; a count survives '$' but not a colour command.
        {"#0;2;100;0;0!0~~", 1, 6, {{0, 0, 1, 6, kRed}}},
        {"#0;2;100;0;0!2$~", 2, 6, {{0, 0, 2, 6, kRed}}},
        {"#0;2;100;0;0!3#0~", 1, 6, {{0, 0, 1, 6, kRed}}},
        // Components clamp to 100 %, numbers past the fifth are ignored, 50 % is 127.
        {"#0;2;200;50;0;7~", 1, 6, {{0, 0, 1, 6, {255, 127, 0, 255}}}},
        // Later paint wins; the register is redefined in place.
        {"#0;2;100;0;0~$#1;2;0;0;100@$#0;2;0;0;100!2?A", 3, 6,
         {{0, 0, 1, 6, kRed}, {0, 0, 1, 1, kBlue}, {2, 1, 3, 2, kBlue}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.data);
        Fixture f;
        f.sixel(c.data);
        ASSERT_EQ(f.delegate.bitmaps.size(), 1u);
        const Bitmap& got = f.delegate.bitmaps[0];
        EXPECT_EQ(got.width, c.width);
        EXPECT_EQ(got.height, c.height);
        EXPECT_EQ(got.bytes, expectedPixels(c.width, c.height, c.fills));
    }
}

TEST(SixelDcsHandler, UndefinedRegistersUseTheGeneratedPalette)
{
    Fixture f;
    const Color original = f.terminal.defaultAnsiColors[5];
    f.terminal.feed("\x1b]4;5;rgb:12/34/56\x1b\\"); // the palette in use changes, the default does not
    f.sixel("#5~#300~");
    ASSERT_EQ(f.delegate.bitmaps.size(), 1u);
    const Rgba five{uint8_t(original.red >> 8), uint8_t(original.green >> 8), uint8_t(original.blue >> 8), 255};
    EXPECT_EQ(f.delegate.bitmaps[0].bytes, expectedPixels(2, 6, {{0, 0, 1, 6, five}, {1, 0, 2, 6, {0, 0, 0, 0}}}));
}

TEST(SixelDcsHandler, SameImageWhereverTheInputIsSplit)
{
    const std::string whole = "\x1bPq#0;2;0;0;100!3~-~\x1b\\";
    Fixture reference;
    reference.terminal.feed(whole);
    for (size_t cut = 1; cut < whole.size(); cut++) {
        Fixture f;
        f.terminal.feed(whole.substr(0, cut));
        f.terminal.feed(whole.substr(cut));
        ASSERT_EQ(f.delegate.bitmaps.size(), 1u) << cut;
        EXPECT_EQ(f.delegate.bitmaps[0].bytes, reference.delegate.bitmaps[0].bytes) << cut;
    }
}

TEST(SixelDcsHandler, OversizedImagesAreDroppedBeforeAllocating)
{
    std::string budgetBreaker = "#0;2;100;0;0";
    for (int i = 0; i < 20000; i++) budgetBreaker += "!10000~$"; // 1.2e9 pixel writes on one band
    const struct {
        std::string data;
        bool delivered;
    } cases[] = {
        {"#0!10000~", true},
        {"#0!10001~", false},
        {"#0!99999999999999999999999~", false},
        {"#0" + std::string(1666, '-') + "G", true}, // bottom row 10000
        {"#0" + std::string(1666, '-') + "O", false},
        {"#0!10000~" + std::string(1700, '-') + "!10000~", false}, // 10000 x 10206 pixels
        {budgetBreaker, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.data.substr(0, 40));
        Fixture f;
        AllocationCounter allocations;
        f.sixel(c.data);
        EXPECT_EQ(f.delegate.bitmaps.size(), c.delivered ? 1u : 0u);
        if (!c.delivered) {
            EXPECT_LT(allocations.largest(), size_t{1} << 20);
        }
        // The terminal carries on.
        f.terminal.feed("\x1b[Hok");
        EXPECT_EQ(f.terminal.getText(Position{0, 0}, Position{2, 0}), "ok");
    }
}
