#include "terminal/screen/Attribute.hpp"
#include "terminal/screen/CharData.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>

using namespace corvix;
using Color = Attribute::Color;

TEST(Attribute, ToSgrReportsFlagsAndColoursInOrder)
{
    struct Case {
        Attribute attribute;
        std::string expected;
    };
    auto attr = [](CharacterStyle style, Color fg, Color bg) {
        Attribute a;
        a.style = style;
        a.fg = fg;
        a.bg = bg;
        return a;
    };
    const Color none = Color::defaultColor();
    const Case cases[] = {
        {Attribute{}, "0m"},
        {attr(CharacterStyle::bold, Color::ansi256(1), Color::ansi256(12)), "0;1;31;104m"},
        {attr(CharacterStyle::none, Color::ansi256(16), none), "0;38;5;16m"},
        {attr(CharacterStyle::none, Color::ansi256(7), Color::ansi256(8)), "0;37;100m"},
        {attr(CharacterStyle::none, Color::ansi256(255), Color::ansi256(15)), "0;38;5;255;107m"},
        {attr(CharacterStyle::none, Color::trueColor(1, 20, 255), Color::trueColor(0, 0, 0)), "0;38;2;1;20;255;48;2;0;0;0m"},
        // Inverted defaults report nothing, and neither do dim, italic and crossed-out.
        {attr(CharacterStyle::dim | CharacterStyle::italic | CharacterStyle::crossedOut, Color::defaultInvertedColor(),
              Color::defaultInvertedColor()),
         "0m"},
        {attr(CharacterStyle{255}, none, none), "0;1;4;5;7;8m"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.attribute.toSgr(), c.expected);
    }
}

TEST(Attribute, UnderlineStyleAndColourNotInSgrButInEquality)
{
    Attribute a;
    a.underlineStyle = UnderlineStyle::curly;
    a.underlineColor = Color::ansi256(3);
    EXPECT_EQ(a.toSgr(), "0m");

    Attribute b = a;
    EXPECT_EQ(a, b);
    b.underlineColor.reset();
    EXPECT_NE(a, b);
    // An absent underline colour equals only an absent one, not a present default.
    Attribute c;
    c.underlineColor = Color::defaultColor();
    EXPECT_NE(Attribute{}, c);
}

TEST(Attribute, ColorsCompareByCaseAndPayload)
{
    EXPECT_EQ(Color::ansi256(1), Color::ansi256(1));
    EXPECT_NE(Color::ansi256(1), Color::trueColor(1, 0, 0));
    EXPECT_NE(Color::defaultColor(), Color::defaultInvertedColor());
    EXPECT_NE(Color::defaultColor(), Color::ansi256(0));
    EXPECT_EQ(Color{}, Color::defaultColor());
    std::hash<Color> hash;
    EXPECT_NE(hash(Color::ansi256(1)), hash(Color::trueColor(1, 0, 0)));
    EXPECT_EQ(std::hash<Attribute>{}(Attribute::empty), std::hash<Attribute>{}(Attribute::empty));
}

TEST(Attribute, EmptyDiffersFromTheNullCellAttribute)
{
    EXPECT_EQ(Attribute::empty.bg, Color::defaultInvertedColor());
    EXPECT_EQ(CharData::Null.attribute, Attribute{});
    EXPECT_NE(Attribute::empty, CharData::Null.attribute);
}

TEST(CharacterStyle, SetAlgebraAndLegacyWord)
{
    CharacterStyle s = CharacterStyle::bold | CharacterStyle::italic;
    EXPECT_TRUE(s.contains(CharacterStyle::bold));
    EXPECT_FALSE(s.contains(CharacterStyle::bold | CharacterStyle::dim));
    s.remove(CharacterStyle::bold);
    EXPECT_EQ(s, CharacterStyle::italic);
    s.insert(CharacterStyle::crossedOut);
    EXPECT_EQ(s.rawValue, 64 + 128);
    EXPECT_EQ((s & CharacterStyle::italic), CharacterStyle::italic);
    EXPECT_TRUE(CharacterStyle::none.isEmpty());

    // The style byte sits at bit 18; bits above it are cut off, bits below ignored.
    const uint32_t word = 0xFC000000u | (uint32_t{CharacterStyle::inverse.rawValue} << 18) | 0x3FFFFu;
    EXPECT_EQ(CharacterStyle::fromLegacyAttribute(word), CharacterStyle::inverse);
    EXPECT_EQ(CharacterStyle::fromLegacyAttribute(1u << 18), CharacterStyle::bold);
}

TEST(UnderlineStyle, FromRawValue)
{
    EXPECT_EQ(underlineStyleFromRaw(0), UnderlineStyle::none);
    EXPECT_EQ(underlineStyleFromRaw(5), UnderlineStyle::dashed);
    EXPECT_FALSE(underlineStyleFromRaw(6).has_value());
    EXPECT_FALSE(underlineStyleFromRaw(255).has_value());
}
