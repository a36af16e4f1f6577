#include "terminal/screen/CharData.hpp"

#include "tests/terminal/screen/TestLog.hpp"

#include <gtest/gtest.h>

#include <string>

using namespace corvix;

TEST(CharData, GetCharacterGivesASpaceForWhatIsNoScalar)
{
    struct Case {
        int32_t code;
        char32_t expected;
    };
    const Case cases[] = {
        {0, U'\0'},          {'A', U'A'},      {0xD7FF, U'\uD7FF'}, {0xD800, U' '},    {0xDFFF, U' '},
        {0xE000, U'\uE000'}, {0x10FFFF, U'\U0010FFFF'},            {0x110000, U' '}, {0x400000, U' '},
        {0x400001, U' '},
    };
    for (const Case& c : cases) {
        CharData cell;
        cell.code = c.code;
        EXPECT_EQ(cell.getCharacter(), c.expected) << c.code;
    }
}

TEST(CharData, DebugDescriptionAndUtf8Text)
{
    CharData cell;
    cell.code = 0x3042; // HIRAGANA LETTER A
    EXPECT_EQ(cell.debugDescription(), "CharData: 12354 \xE3\x81\x82");
    cell.code = 0xD800;
    EXPECT_EQ(cell.debugDescription(), "CharData: 55296 ?");
    cell.code = 0x1F600;
    std::string text;
    cell.appendCharacter(text);
    EXPECT_EQ(text, "\xF0\x9F\x98\x80");
}

TEST(CharData, NullCellAndFlags)
{
    const CharData& null = CharData::Null;
    EXPECT_EQ(null.code, 0);
    EXPECT_EQ(null.width, 1);
    EXPECT_FALSE(null.hasPayload());
    EXPECT_TRUE(null.isSimpleRune());

    CharData cluster;
    cluster.setValue(CharData::kClusterBase + 1, 2);
    EXPECT_FALSE(cluster.isSimpleRune());
    EXPECT_EQ(cluster.width, 2);
    cluster.setValue('x', -128);
    EXPECT_EQ(cluster.width, -128);
}

TEST(CharDataDeathTest, SetValueWithASizeOutsideOneByteStops)
{
    CharData cell;
    EXPECT_DEATH(
        {
            test::logToStderr();
            cell.setValue('x', 128);
        },
        "size out of range");
}
