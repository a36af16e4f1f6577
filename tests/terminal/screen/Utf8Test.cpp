#include "terminal/screen/Utf8.hpp"

#include <gtest/gtest.h>

using namespace corvix;

TEST(Utf8, DecodesWellFormedText)
{
    EXPECT_EQ(Utf8::decode("A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"), U"A\u00E9\u20AC\U0001F600");
    EXPECT_EQ(Utf8::decode(std::string_view("\0x", 2)), std::u32string(U"\0x", 2));
    EXPECT_EQ(Utf8::decode("\xF4\x8F\xBF\xBF"), U"\U0010FFFF");
    EXPECT_EQ(Utf8::decode("\xEF\xBF\xBD"), U"\uFFFD");
}

// One U+FFFD per maximal subpart: a truncated sequence costs one replacement, and the byte
// that cut it short is decoded on its own.
TEST(Utf8, ReplacesEachMaximalSubpart)
{
    const struct {
        const char* in;
        std::u32string out;
    } cases[] = {
        {"\x80", U"\uFFFD"},                           // stray continuation
        {"\xC0\xAF", U"\uFFFD\uFFFD"},                 // overlong lead never starts a sequence
        {"\xC1\xBF", U"\uFFFD\uFFFD"},
        {"\xE0\x80\xAF", U"\uFFFD\uFFFD\uFFFD"},       // overlong three-byte form
        {"\xED\xA0\x80", U"\uFFFD\uFFFD\uFFFD"},       // surrogate
        {"\xF4\x90\x80\x80", U"\uFFFD\uFFFD\uFFFD\uFFFD"}, // past U+10FFFF
        {"\xF5\x80", U"\uFFFD\uFFFD"},
        {"\xE2\x82", U"\uFFFD"},                       // truncated at the end
        {"\xE2\x82" "A", U"\uFFFDA"},                  // truncated before a letter
        {"\xF0\x9F\x98" "\xF0\x9F\x98\x80", U"\uFFFD\U0001F600"},
        {"\xE2" "AB", U"\uFFFDAB"},                    // the letters after a bad lead survive
        {"a\xFF" "b", U"a\uFFFDb"},
    };
    for (const auto& c : cases) EXPECT_EQ(Utf8::decode(c.in), c.out) << testing::PrintToString(c.in);
}

TEST(Utf8, EncodesAndRoundTrips)
{
    const std::u32string text = U"A\u00E9\u07FF\u0800\uFFFF\U00010000\U0010FFFF";
    std::string bytes = Utf8::encode(text);
    EXPECT_EQ(bytes, "A\xC3\xA9\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF");
    EXPECT_EQ(Utf8::decode(bytes), text);
    // Scalars that UTF-8 cannot carry become U+FFFD instead of ill-formed bytes.
    EXPECT_EQ(Utf8::encode(std::u32string{0xD800, 0x110000}), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(Utf8, Validates)
{
    for (const char* good : {"", "plain", "\xC3\xA9", "\xEF\xBF\xBD", "\xF0\x9F\x98\x80"})
        EXPECT_TRUE(Utf8::isValid(good)) << testing::PrintToString(good);
    for (const char* bad : {"\x80", "\xC3", "\xC0\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                            "ok\xFF", "\xE2\x82"})
        EXPECT_FALSE(Utf8::isValid(bad)) << testing::PrintToString(bad);
}
