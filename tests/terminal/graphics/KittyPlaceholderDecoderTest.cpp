#include "terminal/graphics/KittyPlaceholderDecoder.hpp"
#include "terminal/screen/UnicodeProperties.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>

using namespace corvix;

namespace {

using Color = Attribute::Color;

// Placeholder, then the marks standing for these numbers.
std::u32string placeholder(std::initializer_list<int> numbers)
{
    std::u32string text(1, KittyPlaceholder::kCharacter);
    for (int n : numbers) text += KittyPlaceholder::kDiacritics[size_t(n)];
    return text;
}

Attribute colors(Color fg, std::optional<Color> underline = std::nullopt)
{
    Attribute a;
    a.fg = fg;
    a.underlineColor = underline;
    return a;
}

} // namespace

TEST(KittyPlaceholderDecoder, DiacriticTableIsThePublishedList)
{
    const auto& marks = KittyPlaceholder::kDiacritics;
    ASSERT_EQ(marks.size(), 297u);
    EXPECT_EQ(marks.front(), U'\u0305');
    EXPECT_EQ(marks[1], U'\u030D');
    EXPECT_EQ(marks[2], U'\u030E');
    EXPECT_EQ(marks.back(), U'\U0001D244');
    EXPECT_TRUE(std::adjacent_find(marks.begin(), marks.end(), std::greater_equal<>()) == marks.end());
    for (char32_t mark : marks) EXPECT_EQ(UnicodeProperties::of(mark).bits >> 24, 230u) << std::hex << uint32_t(mark);

    for (size_t i = 0; i < marks.size(); i++) EXPECT_EQ(KittyPlaceholder::diacriticIndex(marks[i]), int(i));
    EXPECT_EQ(KittyPlaceholder::diacriticIndex(U'\u0300'), std::nullopt); // class 230, not in the list
    EXPECT_EQ(KittyPlaceholder::diacriticIndex(U'\U0001D245'), std::nullopt);
}

TEST(KittyPlaceholderDecoder, DecodesIdsAndGridPositionFromOneCell)
{
    const struct {
        const char* name;
        std::u32string character;
        Attribute attribute;
        KittyPlaceholderCell expected;
    } cases[] = {
        {"row 0, column 1, palette 5", placeholder({0, 1}), colors(Color::ansi256(5)), {3, 4, 5, 0, 0, 1, 0}},
        {"third mark is the high byte", placeholder({0, 1, 2}), colors(Color::ansi256(5)), {3, 4, 0x02000005, 0, 0, 1, 2}},
        {"high byte limited, msb kept", placeholder({1, 2, 296}), colors(Color::ansi256(5)),
         {3, 4, 0xFF000005, 0, 1, 2, 296}},
        {"true colour id", placeholder({0, 0}), colors(Color::trueColor(0x12, 0x34, 0x56)), {3, 4, 0x123456, 0, 0, 0, 0}},
        {"underline colour is the placement", placeholder({0, 0}),
         colors(Color::ansi256(5), Color::trueColor(0, 1, 2)), {3, 4, 5, 0x102, 0, 0, 0}},
        {"default colours give 0", placeholder({0, 0}), colors(Color::defaultColor(), Color::defaultColor()),
         {3, 4, 0, 0, 0, 0, 0}},
        {"marks outside the list are skipped",
         std::u32string{KittyPlaceholder::kCharacter, U'\u0300', KittyPlaceholder::kDiacritics[4], U'\u0301',
                        KittyPlaceholder::kDiacritics[7]},
         colors(Color::ansi256(5)), {3, 4, 5, 0, 4, 7, 0}},
        {"a fourth mark is ignored", placeholder({1, 2, 3, 4}), colors(Color::ansi256(5)),
         {3, 4, 0x03000005, 0, 1, 2, 3}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(KittyPlaceholderDecoder::decode(c.character, c.attribute, 3, 4, std::nullopt, std::nullopt),
                  c.expected);
    }
}

TEST(KittyPlaceholderDecoder, OtherCharactersAreNotPlaceholders)
{
    const Attribute a = colors(Color::ansi256(5));
    EXPECT_EQ(KittyPlaceholderDecoder::decode(U"", a, 0, 0, std::nullopt, std::nullopt), std::nullopt);
    EXPECT_EQ(KittyPlaceholderDecoder::decode(U"A\u0305\u030D", a, 0, 0, std::nullopt, std::nullopt), std::nullopt);
    const std::u32string later{U'A', KittyPlaceholder::kCharacter};
    EXPECT_EQ(KittyPlaceholderDecoder::decode(later, a, 0, 0, std::nullopt, std::nullopt), std::nullopt);
}

TEST(KittyPlaceholderDecoder, CellsContinueTheirLeftNeighbour)
{
    const Attribute a = colors(Color::ansi256(5), Color::ansi256(9));
    // A row whose first cell names row 2, column 3 and high byte 1; the rest carry nothing.
    auto first = KittyPlaceholderDecoder::decode(placeholder({2, 3, 1}), a, 0, 0, std::nullopt, std::nullopt);
    ASSERT_TRUE(first);
    std::optional<KittyPlaceholderCell> previous = first;
    for (int col = 1; col < 4; col++) {
        previous = KittyPlaceholderDecoder::decode(placeholder({}), a, 0, col, previous, a);
        ASSERT_TRUE(previous);
        EXPECT_EQ(*previous, (KittyPlaceholderCell{0, col, 0x01000005, 9, 2, 3 + col, 1}));
    }
    // A row mark alone continues the column on the same image row, restarts it on another.
    EXPECT_EQ(KittyPlaceholderDecoder::decode(placeholder({2}), a, 0, 1, first, a),
              (KittyPlaceholderCell{0, 1, 0x01000005, 9, 2, 4, 1}));
    EXPECT_EQ(KittyPlaceholderDecoder::decode(placeholder({5}), a, 0, 1, first, a),
              (KittyPlaceholderCell{0, 1, 5, 9, 5, 0, 0}));
    // Row and column keep the high byte only where they follow on.
    EXPECT_EQ(KittyPlaceholderDecoder::decode(placeholder({2, 4}), a, 0, 1, first, a),
              (KittyPlaceholderCell{0, 1, 0x01000005, 9, 2, 4, 1}));
    EXPECT_EQ(KittyPlaceholderDecoder::decode(placeholder({2, 6}), a, 0, 1, first, a),
              (KittyPlaceholderCell{0, 1, 5, 9, 2, 6, 0}));

    // No continuation: another colour, a gap, another row, or no neighbour's attribute.
    const struct {
        const char* name;
        Attribute attribute;
        int row;
        int col;
        bool withPreviousAttribute;
    } breaks[] = {
        {"foreground differs", colors(Color::ansi256(6), Color::ansi256(9)), 0, 1, true},
        {"underline differs", colors(Color::ansi256(5)), 0, 1, true},
        {"not adjacent", a, 0, 2, true},
        {"other row", a, 1, 1, true},
        {"no previous attribute", a, 0, 1, false},
    };
    for (const auto& c : breaks) {
        SCOPED_TRACE(c.name);
        const std::optional<Attribute> previousAttribute = c.withPreviousAttribute ? std::optional(a) : std::nullopt;
        const auto none = KittyPlaceholderDecoder::decode(placeholder({}), c.attribute, c.row, c.col, first,
                                                          previousAttribute);
        ASSERT_TRUE(none);
        EXPECT_EQ(none->placeholderRow, 0);
        EXPECT_EQ(none->placeholderCol, 0);
        EXPECT_EQ(none->msb, 0);
        const auto rowOnly = KittyPlaceholderDecoder::decode(placeholder({2}), c.attribute, c.row, c.col, first,
                                                             previousAttribute);
        EXPECT_EQ(rowOnly->placeholderRow, 2);
        EXPECT_EQ(rowOnly->placeholderCol, 0);
    }
}
