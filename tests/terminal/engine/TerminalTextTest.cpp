#include "terminal/engine/Terminal.hpp"

#include "support/Options.hpp"
#include "support/RecordingDelegate.hpp"

#include <gtest/gtest.h>

using namespace corvix;
using corvix::test::sized;
using corvix::test::RecordingDelegate;

namespace {

struct Fixture {
    RecordingDelegate delegate;
    Terminal terminal;
    explicit Fixture(int cols = 20, int rows = 6) : terminal(&delegate, sized(cols, rows)) {}

    BufferLine& row(int r) { return terminal.buffer().lines()[r]; }
    void put(int col, int r, char32_t ch, int width = 1)
    {
        CharData c;
        c.setValue(int32_t(ch), width);
        row(r).set(col, c);
    }
    std::string text(Position a, Position b) { return terminal.getText(a, b); }
    std::string data(BufferKind kind = BufferKind::active, TextEncoding e = TextEncoding::utf8)
    {
        auto bytes = terminal.getBufferAsData(kind, e);
        return {bytes.begin(), bytes.end()};
    }
};

} // namespace

TEST(TerminalText, TextOfOneRowIsTheSameInEitherOrder)
{
    Fixture f;
    f.terminal.feed("\r\n\r\n\r\n\r\n\r\n0123456789");
    EXPECT_EQ(f.text({2, 5}, {5, 5}), "234");
    EXPECT_EQ(f.text({5, 5}, {2, 5}), "234");
    EXPECT_EQ(f.text({3, 5}, {3, 5}), "");
    EXPECT_EQ(f.text({2, 4}, {5, 4}), "") << "a row without content";
    // A later row past the end is clamped; an earlier row outside the buffer gives nothing.
    EXPECT_EQ(f.text({8, 5}, {20, 99}), "89");
    EXPECT_EQ(f.text({0, 6}, {0, 99}), "");
    EXPECT_EQ(f.text({0, -1}, {3, 5}), "");
}

TEST(TerminalText, SoftWrappedRowsJoinWithoutALineBreak)
{
    Fixture f(10, 4);
    f.terminal.feed("abcdefghijKLM\r\nnext");
    ASSERT_TRUE(f.row(1).isWrapped());
    EXPECT_EQ(f.text({0, 0}, {3, 1}), "abcdefghijKLM");
    EXPECT_EQ(f.text({8, 0}, {2, 2}), "ijKLM\nne");
}

TEST(TerminalText, BlankRowsKeepTheirLineBreaksOnlyBetweenText)
{
    Fixture f;
    f.terminal.feed("first\r\n\r\n\r\n\r\nsecond");
    EXPECT_EQ(f.text({0, 0}, {6, 4}), "first\n\n\n\nsecond");
    // Blank rows after the last row with text vanish.
    EXPECT_EQ(f.text({0, 0}, {5, 3}), "first");
    // A null row with a coloured background is not blank: its line break stays.
    CharData red;
    red.attribute.bg = Attribute::Color::ansi256(1);
    f.row(2).fill(red);
    EXPECT_EQ(f.text({0, 0}, {5, 3}), "first\n\n");
}

TEST(TerminalText, SelectedLinesCarryFragmentsWithCharacterCounts)
{
    Fixture f;
    // "e" + combining acute is one character in two scalars.
    f.terminal.feed("ab\xe6\x97\xa5" "e\xcc\x81\r\ncd");
    auto lines = f.terminal._getSelectedLines({0, 0}, {2, 1}, f.terminal.buffer());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].debugDescription(), "2/5: [ab\xe6\x97\xa5" "e\xcc\x81][\\n][");
    EXPECT_EQ(lines[0].fragments[1].line, 0);
    EXPECT_EQ(lines[0].fragments[1].location, -1);
    EXPECT_EQ(lines[1].debugDescription(), "1/2: [cd][");
    EXPECT_EQ(lines[1].fragments[0].line, 1);
}

TEST(TerminalText, WideCharactersAndInnerNullCells)
{
    Fixture f;
    f.terminal.feed("\xe6\x97\xa5\xe6\x9c\xac"); // two wide characters in columns 0-3
    EXPECT_EQ(f.text({0, 0}, {4, 0}), "\xe6\x97\xa5\xe6\x9c\xac");
    EXPECT_EQ(f.text({1, 0}, {4, 0}), "\xe6\x9c\xac") << "starting on a right half does not repeat it";
    f.put(1, 0, U'x');
    EXPECT_EQ(f.text({0, 0}, {4, 0}), "\xe6\x97\xa5x\xe6\x9c\xac");

    f.put(0, 1, U'a');
    f.put(3, 1, U'b');
    EXPECT_EQ(f.terminal.translateBufferLineToString(f.terminal.buffer(), 1, 0, -1), "a  b");
    EXPECT_EQ(f.terminal.translateBufferLineToString(f.terminal.buffer(), 1, -3, 2), "a ");
    EXPECT_EQ(f.terminal.translateBufferLineToString(f.terminal.buffer(), 1, 2, 99), " b");
    EXPECT_EQ(f.terminal.translateBufferLineToString(f.terminal.buffer(), 1, 4, -1), "");
    EXPECT_EQ(f.terminal.translateBufferLineToString(f.terminal.buffer(), 99, 0, -1), "") << "no such row";
}

TEST(TerminalText, BufferAsDataWritesEveryLineWithItsOwnLineFeed)
{
    Fixture f(10, 4);
    f.put(0, 0, U'a');
    f.put(2, 0, U'b');
    f.terminal.feed("\r\n\xc3\xa9t\xc3\xa9\r\nxe\xcc\x81\r\n\xe6\x97\xa5");
    using namespace std::string_literals;
    EXPECT_EQ(f.data(), "a\0b\n\xc3\xa9t\xc3\xa9\nx \n\xe6\x97\xa5\0\n"s)
        << "null cells stay, clusters read as spaces";
    EXPECT_EQ(f.data(BufferKind::normal, TextEncoding::ascii), "a\0b\nx \n"s) << "non-ASCII lines are left out";

    Fixture wrapped(10, 3);
    wrapped.terminal.feed("abcdefghijKL");
    EXPECT_EQ(wrapped.data(), "abcdefghij\nKL\n\n") << "wrapped rows are not joined; an empty line is a line feed";
    EXPECT_EQ(wrapped.data(BufferKind::alt), "") << "the alternate screen has no lines yet";
}
