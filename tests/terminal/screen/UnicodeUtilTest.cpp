#include "terminal/screen/UnicodeUtil.hpp"

#include <gtest/gtest.h>

#include <vector>

using namespace corvix;

namespace {

struct WidthCase {
    char32_t scalar;
    int width;
};

} // namespace

TEST(UnicodeUtil, WidthsOfCharacteristicScalars)
{
    const WidthCase cases[] = {
        {U'A', 1}, {0x0000, 0}, {0x0007, -1}, {0x007F, -1}, {0x009B, -1}, {0x00A0, 1},
        {0x00AD, 1},                          // soft hyphen: a format character that shows
        {0x200B, 0}, {0x200D, 0},             // other format characters join
        {0x0301, 0}, {0x0903, 0}, {0x20DD, 0}, // nonspacing, spacing and enclosing marks
        {0x2028, 0}, {0x2029, 0},             // line and paragraph separators
        {0x1100, 2}, {0x115F, 2}, {0x1160, 0}, {0x11FF, 0}, {0x1200, 1},
        {0x3000, 2}, {0x4E00, 2}, {0xAC00, 2}, {0xD7A3, 2}, {0xD7B0, 0}, {0xD7FF, 0},
        {0xFF01, 2}, {0xFF60, 2}, {0xFF61, 1},
        {0xFF3E, 2}, {0xFF40, 2}, {0xFFE3, 2}, // fullwidth modifier symbols
        {0x02C2, 1},                          // a narrow modifier symbol
        {0x1F600, 2}, {0x1F3FB, 0}, {0x1F3FF, 0}, {0x1F1E6, 2}, {0x1F1FF, 2},
        {0x2705, 2}, {0x2706, 1}, {0x231A, 2}, {0x2764, 1},
        {0x20000, 2}, {0x2FFFD, 2}, {0x2FFFE, 1}, {0x3FFFD, 2}, {0x3FFFE, 1},
        {0xE0001, 0}, {0xE0100, 0}, {0xFE0F, 0},
        {0xE000, 1}, {0xD800, 1}, {0x10FFFF, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "U+" << std::hex << uint32_t(c.scalar));
        EXPECT_EQ(UnicodeUtil::computeColumnWidth(c.scalar), c.width);
        EXPECT_EQ(UnicodeUtil::columnWidth(c.scalar), c.width);
    }
}

// The generated table derives widths on its own; it must agree with the rule everywhere, and
// the low-plane array with both.
TEST(UnicodeUtil, TableWidthEqualsRuleForEveryScalar)
{
    for (char32_t c = 0; c < 0x110000; ++c) {
        int rule = UnicodeUtil::computeColumnWidth(c);
        ASSERT_EQ(UnicodeUtil::columnWidth(c), rule) << "U+" << std::hex << uint32_t(c);
        if (c < UnicodeUtil::lowPlaneWidths.size()) {
            ASSERT_EQ(UnicodeUtil::lowPlaneWidths[c], rule) << "U+" << std::hex << uint32_t(c);
        }
    }
    // Past the last scalar the look-up stays in bounds.
    EXPECT_EQ(UnicodeUtil::columnWidth(0x110000), 1);
    EXPECT_EQ(UnicodeUtil::columnWidth(0xFFFFFFFF), 1);
}

TEST(UnicodeUtil, WideTableIsSortedAndDisjoint)
{
    const auto& t = UnicodeUtil::wideTable;
    EXPECT_EQ(t.front().lo, 0x1100u);
    EXPECT_EQ(t.back().hi, 0x3FFFDu);
    for (size_t i = 0; i < t.size(); ++i) {
        EXPECT_LE(t[i].lo, t[i].hi);
        if (i > 0) {
            EXPECT_LT(t[i - 1].hi, t[i].lo);
        }
    }
}

TEST(UnicodeUtil, BisearchBoundsAndLimits)
{
    const std::vector<UnicodeUtil::LH> table = {{10, 20}, {30, 30}, {40, 50}};
    const struct {
        char32_t rune;
        int max;
        int expected;
    } cases[] = {
        {9, 2, 0}, {10, 2, 1}, {20, 2, 1}, {21, 2, 0}, {30, 2, 1}, {31, 2, 0}, {50, 2, 1},
        {51, 2, 0},
        {45, 1, 0}, // beyond table[max]
        {45, 9, 1}, // max past the end is clamped instead of reading out of bounds
        {15, -1, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UnicodeUtil::bisearch(c.rune, table, c.max), c.expected)
            << uint32_t(c.rune) << " max " << c.max;
    EXPECT_EQ(UnicodeUtil::bisearch(15, std::span<const UnicodeUtil::LH>(), 0), 0);
}

TEST(UnicodeUtil, TextPresentationAdjusted)
{
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"\u2764", "\u2764\uFE0E"},                 // emoji, text by default
        {"\u2764\uFE0F", "\u2764\uFE0F"},           // already two scalars
        {"\U0001F600", "\U0001F600"},               // emoji presentation by default
        {"A", "A"},
        {"\u00A9", "\u00A9"},                       // emoji, but below U+0100
        {"\u4E00", "\u4E00"},                       // not an emoji
        {"", ""},
        {"\xE2\x9D", "\xE2\x9D"},                   // truncated UTF-8 passes through
    };
    for (const auto& c : cases) EXPECT_EQ(UnicodeUtil::textPresentationAdjusted(c.in), c.out) << c.in;
}
