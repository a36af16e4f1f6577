#include "terminal/engine/Terminal.hpp"

#include "support/RecordingDelegate.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace corvix;
using corvix::test::RecordingDelegate;

TEST(TerminalKittyKeyboard, QueryPushPopAndSet)
{
    struct Case {
        const char* input;
        int flags;
        size_t depth;
    };
    const Case cases[] = {
        {"", 0, 0},
        {"\x1b[>u", 0, 1},
        {"\x1b[>255u", 31, 1},
        {"\x1b[>1u\x1b[>2u\x1b[<u", 1, 1},
        {"\x1b[>1u\x1b[>2u\x1b[<0u", 1, 1},
        {"\x1b[>1u\x1b[>2u\x1b[>4u\x1b[<2u", 1, 1},
        {"\x1b[>1u\x1b[>2u\x1b[<5u", 0, 0},
        {"\x1b[<u", 0, 0},
        {"\x1b[=1u\x1b[=4;2u", 5, 0},
        {"\x1b[=1u\x1b[=4;2u\x1b[=1;3u", 4, 0},
        {"\x1b[=1u\x1b[=4;9u", 1, 0},
        {"\x1b[=5;u", 5, 0}, // an omitted mode means 1
        {"\x1b[=63u", 31, 0},
        {"\x1b[>3u\x1b[=8u", 8, 1}, // set leaves the stack alone
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.input));
        RecordingDelegate d;
        Terminal t(&d);
        t.feed(std::string(c.input) + "\x1b[?u");
        EXPECT_EQ(t.keyboardEnhancementFlags().rawValue, c.flags);
        EXPECT_EQ(t.keyboardModeNormal.stack.size(), c.depth);
        EXPECT_EQ(d.sent, "\x1b[?" + std::to_string(c.flags) + "u");
    }
}

TEST(TerminalKittyKeyboard, TheStackKeepsTheSixteenNewestEntries)
{
    RecordingDelegate d;
    Terminal t(&d);
    for (int i = 1; i <= 17; i++) t.feed("\x1b[>" + std::to_string(i) + "u");
    EXPECT_EQ(t.keyboardEnhancementFlags().rawValue, 17);
    std::vector<int> stack;
    for (auto f : t.keyboardModeNormal.stack) stack.push_back(f.rawValue);
    // Push 1 stacked the starting 0, which fell out; pushes 2 to 17 stacked 1 to 16.
    std::vector<int> expected;
    for (int i = 1; i <= 16; i++) expected.push_back(i);
    EXPECT_EQ(stack, expected);

    t.feed("\x1b[<16u");
    EXPECT_EQ(t.keyboardEnhancementFlags().rawValue, 1);
    EXPECT_TRUE(t.keyboardModeNormal.stack.empty());
}

TEST(TerminalKittyKeyboard, EachScreenHasItsOwnFlags)
{
    RecordingDelegate d;
    Terminal t(&d);
    t.feed("\x1b[>1u\x1b[?1049h\x1b[>12u\x1b[?u");
    EXPECT_EQ(t.keyboardEnhancementFlags().rawValue, 12);
    t.feed("\x1b[?1049l\x1b[?u");
    EXPECT_EQ(t.keyboardEnhancementFlags().rawValue, 1);
    EXPECT_EQ(d.sent, "\x1b[?12u\x1b[?1u");
    EXPECT_EQ(t.keyboardModeAlt.stack.size(), 1u);

    // 8-bit controls, and the full reset brings both screens back to nothing.
    d.sent.clear();
    t.feed("\x1b G\x1b[?u");
    EXPECT_EQ(d.sent, "\x9b?1u");
    t.feed("\x1b" "c");
    EXPECT_EQ(t.keyboardModeNormal, Terminal::KeyboardModeState{});
    EXPECT_EQ(t.keyboardModeAlt, Terminal::KeyboardModeState{});
}

TEST(TerminalKittyKeyboard, OtherFormsAreNotTaken)
{
    RecordingDelegate d;
    Terminal t(&d);
    // CSI u without a prefix restores the cursor; the other prefixes are not the protocol's.
    t.feed("\x1b[1u\x1b[>>1u\x1b[1$u");
    EXPECT_EQ(t.keyboardModeNormal, Terminal::KeyboardModeState{});
    EXPECT_TRUE(d.sent.empty());
}
