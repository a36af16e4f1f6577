#include "terminal/screen/Color.hpp"

#include <gtest/gtest.h>

using namespace corvix;

namespace {

struct ParseCase {
    const char* text;
    std::optional<Color> expected;
};

} // namespace

TEST(Color, ParsesX11ColourTexts)
{
    const ParseCase cases[] = {
        {"#fff", Color(0xFFFF, 0xFFFF, 0xFFFF)},
        {"#800000", Color(0x8080, 0, 0)},
        {"#abcabcabc", Color(0xABCA, 0xABCA, 0xABCA)},
        {"#123456789abc", Color(0x1234, 0x5678, 0x9ABC)},
        {"#ABCDEF", Color(0xABAB, 0xCDCD, 0xEFEF)},
        {"#1x2", Color(0x1111, 0, 0x2222)},          // a bad digit ends its group
        {"#12345678901234", std::nullopt},           // 14 characters
        {"#", std::nullopt},
        {"rgb:ffff/0000/0000", Color(0xFFFF, 0, 0)},
        {"rgb:ff/00/00", Color(0xFFFF, 0, 0)},
        {"rgb:ff/00/00trailing", Color(0xFFFF, 0, 0)},
        // Each field scales by its own digit count, as X11 does.
        {"rgb:f/80/123", Color(0xFFFF, 0x8080, 0x1231)},
        {"rgb:fffff/0/0", Color(0xFFFF, 0xFFFF, 0)},  // a fifth digit spills into green
        {"rgb:", std::nullopt},
        {"RGB:ff/00/00", std::nullopt},
        {"red", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Color::parseColor(std::string_view(c.text)), c.expected);
    }
}

TEST(Color, FormatsAsXcolor)
{
    EXPECT_EQ(Color(0xFFFF, 0, 0x8080).formatAsXcolor(), "rgb:ffff/0000/8080");
    EXPECT_EQ(Color::defaultForeground().formatAsXcolor(), "rgb:8a3d/8a3d/8a3d");
    auto roundTrip = Color::parseColor(Color(0x1234, 0xabcd, 0x0001).formatAsXcolor());
    EXPECT_EQ(roundTrip, Color(0x1234, 0xabcd, 0x0001));
}

TEST(Color, XtermPaletteHasCubeAndGreys)
{
    auto palette = Color::generateXtermPalette(Color::terminalAppColors());
    ASSERT_EQ(palette.size(), 256u);
    EXPECT_EQ(palette[1], Color(0xC2C2, 0x3636, 0x2121));
    EXPECT_EQ(palette[16], Color(0, 0, 0));
    EXPECT_EQ(palette[231], Color(0xFFFF, 0xFFFF, 0xFFFF));
    EXPECT_EQ(palette[232], Color(0x0808, 0x0808, 0x0808));
    EXPECT_EQ(palette[255], Color(0xEEEE, 0xEEEE, 0xEEEE));
    EXPECT_EQ(palette[16 + 36 * 5 + 6 * 1 + 2], Color(255 * 257, 95 * 257, 135 * 257));
}

TEST(Color, LabPaletteInterpolatesBetweenBackgroundAndForeground)
{
    const auto& base = Color::terminalAppColors();
    const Color black(0, 0, 0), white(0xFFFF, 0xFFFF, 0xFFFF);

    auto dark = Color::generateBase16LabPalette(base, black, white, false);
    ASSERT_EQ(dark.size(), 256u);
    EXPECT_EQ(dark[16], black);
    EXPECT_EQ(dark[231], white);
    // The grey ramp climbs from the background towards the foreground.
    for (int i = 233; i < 256; i++) EXPECT_GT(dark[size_t(i)].red, dark[size_t(i - 1)].red);

    // Light background: the non-harmonious ramp keeps dark at the cube's dark corner; the
    // harmonious one puts the background there.
    auto light = Color::generateBase16LabPalette(base, white, black, false);
    EXPECT_EQ(light[16], black);
    auto harmonious = Color::generateBase16LabPalette(base, white, black, true);
    EXPECT_EQ(harmonious[16], white);

    // Fewer than 8 base colours fall back to the xterm derivation.
    std::vector<Color> seven(base.begin(), base.begin() + 7);
    EXPECT_EQ(Color::generateBase16LabPalette(seven, black, white, false), Color::generateXtermPalette(seven));
}
