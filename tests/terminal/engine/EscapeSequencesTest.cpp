#include "terminal/engine/EscapeSequences.hpp"

#include <gtest/gtest.h>

#include <string>

using namespace corvix;

namespace {

std::string str(const std::vector<uint8_t>& b)
{
    return {b.begin(), b.end()};
}

} // namespace

TEST(EscapeSequences, FixedSequences)
{
    const struct {
        const char* name;
        std::vector<uint8_t> got;
        std::string want;
    } cases[] = {
        {"cmdNewLine", EscapeSequences::cmdNewLine(), "\n"},
        {"cmdRet", EscapeSequences::cmdRet(), "\r"},
        {"cmdEsc", EscapeSequences::cmdEsc(), "\x1b"},
        {"cmdDel", EscapeSequences::cmdDel(), "\x7f"},
        {"cmdDelKey", EscapeSequences::cmdDelKey(), "\x1b[3~"},
        {"moveUpApp", EscapeSequences::moveUpApp(), "\x1bOA"},
        {"moveUpNormal", EscapeSequences::moveUpNormal(), "\x1b[A"},
        {"moveDownApp", EscapeSequences::moveDownApp(), "\x1bOB"},
        {"moveDownNormal", EscapeSequences::moveDownNormal(), "\x1b[B"},
        {"moveLeftApp", EscapeSequences::moveLeftApp(), "\x1bOD"},
        {"moveLeftNormal", EscapeSequences::moveLeftNormal(), "\x1b[D"},
        {"moveRightApp", EscapeSequences::moveRightApp(), "\x1bOC"},
        {"moveRightNormal", EscapeSequences::moveRightNormal(), "\x1b[C"},
        {"moveHomeApp", EscapeSequences::moveHomeApp(), "\x1bOH"},
        {"moveHomeNormal", EscapeSequences::moveHomeNormal(), "\x1b[H"},
        {"moveEndApp", EscapeSequences::moveEndApp(), "\x1bOF"},
        {"moveEndNormal", EscapeSequences::moveEndNormal(), "\x1b[F"},
        {"cmdTab", EscapeSequences::cmdTab(), "\t"},
        {"cmdBackTab", EscapeSequences::cmdBackTab(), "\x1b[Z"},
        {"cmdPageUp", EscapeSequences::cmdPageUp(), "\x1b[5~"},
        {"cmdPageDown", EscapeSequences::cmdPageDown(), "\x1b[6~"},
        {"cmdInsert", EscapeSequences::cmdInsert(), "\x1b[2~"},
        {"emacsBack", EscapeSequences::emacsBack(), "\x1b" "b"},
        {"emacsForward", EscapeSequences::emacsForward(), "\x1b" "f"},
        {"controlLeft", EscapeSequences::controlLeft(), "\x1b[1;5D"},
        {"controlRight", EscapeSequences::controlRight(), "\x1b[1;5C"},
        {"bracketedPasteStart", EscapeSequences::bracketedPasteStart(), "\x1b[200~"},
        {"bracketedPasteEnd", EscapeSequences::bracketedPasteEnd(), "\x1b[201~"},
    };
    for (const auto& c : cases) EXPECT_EQ(str(c.got), c.want) << c.name;
}

// F5 skips 16 and F11 skips 22.
TEST(EscapeSequences, FunctionKeys)
{
    const std::string want[] = {"\x1bOP",   "\x1bOQ",   "\x1bOR",   "\x1bOS",
                                "\x1b[15~", "\x1b[17~", "\x1b[18~", "\x1b[19~",
                                "\x1b[20~", "\x1b[21~", "\x1b[23~", "\x1b[24~"};
    auto keys = EscapeSequences::cmdF();
    ASSERT_EQ(keys.size(), 12u);
    for (size_t i = 0; i < keys.size(); ++i) EXPECT_EQ(str(keys[i]), want[i]) << "F" << i + 1;
}

TEST(EscapeSequences, GettersReturnCopies)
{
    auto up = EscapeSequences::moveUpNormal();
    up[2] = 'B';
    EXPECT_EQ(str(EscapeSequences::moveUpNormal()), "\x1b[A");

    auto start = EscapeSequences::bracketedPasteStart();
    start.clear();
    EXPECT_EQ(str(EscapeSequences::bracketedPasteStart()), "\x1b[200~");
}

TEST(EscapeSequences, PasteMarkersCanBeReplaced)
{
    const auto oldStart = EscapeSequences::bracketedPasteStart();
    const auto oldEnd = EscapeSequences::bracketedPasteEnd();

    EscapeSequences::setBracketedPasteStart({'<', 'p', '>'});
    EXPECT_EQ(str(EscapeSequences::bracketedPasteStart()), "<p>");
    EXPECT_EQ(EscapeSequences::bracketedPasteEnd(), oldEnd);

    EscapeSequences::setBracketedPasteEnd({'<', '/', 'p', '>'});
    EXPECT_EQ(str(EscapeSequences::bracketedPasteEnd()), "</p>");
    EXPECT_EQ(str(EscapeSequences::bracketedPasteStart()), "<p>");

    EscapeSequences::setBracketedPasteStart(oldStart);
    EscapeSequences::setBracketedPasteEnd(oldEnd);
    EXPECT_EQ(str(EscapeSequences::bracketedPasteStart()), "\x1b[200~");
}
