#include "terminal/screen/UnicodeProperties.hpp"
#include "terminal/screen/UnicodeUtil.hpp"
#include "terminal/screen/UnicodeWidthData.hpp"

#include <gtest/gtest.h>

#include <cstring>

using namespace corvix;

TEST(UnicodeProperties, GeneralCategoryAndClasses)
{
    using G = GeneralCategory;
    const struct {
        char32_t scalar;
        G category;
        bool letter;
        bool number;
    } cases[] = {
        {U'A', G::UppercaseLetter, true, false},   {U'z', G::LowercaseLetter, true, false},
        {0x01C5, G::TitlecaseLetter, true, false}, {0x02B0, G::ModifierLetter, true, false},
        {0x4E00, G::OtherLetter, true, false},     {0x0301, G::NonspacingMark, false, false},
        {0x0903, G::SpacingMark, false, false},    {0x20DD, G::EnclosingMark, false, false},
        {U'7', G::DecimalNumber, false, true},     {0x2160, G::LetterNumber, false, true},
        {0x00B2, G::OtherNumber, false, true},     {U'_', G::ConnectorPunctuation, false, false},
        {U'-', G::DashPunctuation, false, false},  {U'(', G::OpenPunctuation, false, false},
        {U'+', G::MathSymbol, false, false},       {U'$', G::CurrencySymbol, false, false},
        {U'^', G::ModifierSymbol, false, false},   {0x00A9, G::OtherSymbol, false, false},
        {U' ', G::SpaceSeparator, false, false},   {0x2028, G::LineSeparator, false, false},
        {0x2029, G::ParagraphSeparator, false, false}, {0x0007, G::Control, false, false},
        {0x200D, G::Format, false, false},         {0xD800, G::Surrogate, false, false},
        {0xE000, G::PrivateUse, false, false},     {0x0378, G::Unassigned, false, false},
        {0x10FFFF, G::Unassigned, false, false},
    };
    for (const auto& c : cases) {
        auto p = UnicodeProperties::of(c.scalar);
        SCOPED_TRACE(testing::Message() << "U+" << std::hex << uint32_t(c.scalar));
        EXPECT_EQ(p.generalCategory(), c.category);
        EXPECT_EQ(p.isLetter(), c.letter);
        EXPECT_EQ(p.isNumber(), c.number);
    }
}

TEST(UnicodeProperties, GraphemeClassesAndFlags)
{
    using B = GraphemeBreak;
    using I = IndicConjunctBreak;
    const struct {
        char32_t scalar;
        B cls;
        I incb;
        bool extPict;
        int ccc;
    } cases[] = {
        {U'a', B::Other, I::None, false, 0},       {0x000D, B::CR, I::None, false, 0},
        {0x000A, B::LF, I::None, false, 0},        {0x0001, B::Control, I::None, false, 0},
        {0x0301, B::Extend, I::Extend, false, 230}, {0x200D, B::ZWJ, I::Extend, false, 0},
        {0x1F1E6, B::RegionalIndicator, I::None, false, 0},
        {0x0600, B::Prepend, I::None, false, 0},   {0x0903, B::SpacingMark, I::None, false, 0},
        {0x1100, B::L, I::None, false, 0},         {0x1160, B::V, I::None, false, 0},
        {0x11A8, B::T, I::None, false, 0},         {0xAC00, B::LV, I::None, false, 0},
        {0xAC01, B::LVT, I::None, false, 0},       {0x0915, B::Other, I::Consonant, false, 0},
        {0x094D, B::Extend, I::Linker, false, 9},  {0x1F600, B::Other, I::None, true, 0},
        {0x00A9, B::Other, I::None, true, 0},      {0x1F3FB, B::Extend, I::Extend, false, 0},
    };
    for (const auto& c : cases) {
        auto p = UnicodeProperties::of(c.scalar);
        SCOPED_TRACE(testing::Message() << "U+" << std::hex << uint32_t(c.scalar));
        EXPECT_EQ(p.graphemeBreak(), c.cls);
        EXPECT_EQ(p.indicConjunctBreak(), c.incb);
        EXPECT_EQ(p.isExtendedPictographic(), c.extPict);
        EXPECT_EQ(p.combiningClass(), c.ccc);
    }
}

// The extender flag is what the print path uses to attach a scalar to the previous cell.
TEST(UnicodeProperties, ExtenderFlag)
{
    const char32_t extenders[] = {0x0301, 0x200D, 0xFE0E, 0xFE0F, 0x180B, 0x180F, 0xE0100,
                                  0x1F3FB, 0x0903, 0x1D165, 0x0000};
    for (char32_t c : extenders)
        EXPECT_TRUE(UnicodeProperties::of(c).isExtender()) << std::hex << uint32_t(c);
    const char32_t bases[] = {U'a', 0x00A0, 0x1F600, 0x1F1E6, 0x4E00, 0x2764, 0x0007};
    for (char32_t c : bases)
        EXPECT_FALSE(UnicodeProperties::of(c).isExtender()) << std::hex << uint32_t(c);
}

TEST(UnicodeProperties, EmojiAndWhiteSpace)
{
    const struct {
        char32_t scalar;
        bool emoji;
        bool presentation;
        bool white;
    } cases[] = {
        {0x2764, true, false, false}, {0x1F600, true, true, false}, {U'#', true, false, false},
        {U'A', false, false, false},  {0x231A, true, true, false},  {U' ', false, false, true},
        {0x0009, false, false, true}, {0x0085, false, false, true}, {0x00A0, false, false, true},
        {0x3000, false, false, true}, {0x200B, false, false, false},
    };
    for (const auto& c : cases) {
        auto p = UnicodeProperties::of(c.scalar);
        SCOPED_TRACE(testing::Message() << "U+" << std::hex << uint32_t(c.scalar));
        EXPECT_EQ(p.isEmoji(), c.emoji);
        EXPECT_EQ(p.isEmojiPresentation(), c.presentation);
        EXPECT_EQ(p.isWhiteSpace(), c.white);
    }
}

TEST(UnicodeProperties, SimpleLowercase)
{
    const struct {
        char32_t from;
        char32_t to;
    } cases[] = {
        {U'A', U'a'}, {U'Z', U'z'}, {U'a', U'a'}, {U'1', U'1'}, {U'[', U'['},
        {0x00C9, 0x00E9}, {0x03A3, 0x03C3}, {0x0410, 0x0430},
        {0x0130, 0x0069},  // simple mapping only: no combining dot
        {0x212A, U'k'},    // Kelvin sign
        {0x1E9E, 0x00DF},  // capital sharp s
        {0x10400, 0x10428},
        {0x4E00, 0x4E00}, {0x10FFFF, 0x10FFFF},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UnicodeProperties::simpleLowercase(c.from), c.to) << std::hex << uint32_t(c.from);
}

TEST(UnicodeProperties, TablesComeFromUnicode17)
{
    EXPECT_STREQ(UnicodeProperties::unicodeVersion(), "17.0.0");
    // Letters first assigned in 17.0: a Sidetic letter and a CJK ideograph of extension J.
    EXPECT_EQ(UnicodeProperties::of(0x10940).generalCategory(), GeneralCategory::OtherLetter);
    EXPECT_EQ(UnicodeProperties::of(0x323B0).generalCategory(), GeneralCategory::OtherLetter);
    EXPECT_EQ(UnicodeUtil::columnWidth(0x323B0), 2);
}

TEST(UnicodeWidthData, EmojiVariationBases)
{
    const auto& t = UnicodeWidthData::emojiVs16Base;
    auto in = [&](char32_t c) { return UnicodeUtil::bisearch(c, t, int(t.size()) - 1); };
    EXPECT_EQ(t[0].lo, 0x23u);
    EXPECT_EQ(t[2].lo, 0x30u);
    EXPECT_EQ(t[2].hi, 0x39u);
    EXPECT_EQ(t.back().lo, 0x1F6F3u);
    for (char32_t c : {U'#', U'5', char32_t(0xA9), char32_t(0x2764), char32_t(0x1F6F3)})
        EXPECT_EQ(in(c), 1) << std::hex << uint32_t(c);
    for (char32_t c : {U'A', U'$', char32_t(0x1F600), char32_t(0x2706)})
        EXPECT_EQ(in(c), 0) << std::hex << uint32_t(c);
}
