#include "terminal/engine/Terminal.hpp"

#include "support/RecordingDelegate.hpp"
#include "support/ScreenDump.hpp"
#include "terminal/screen/Log.hpp"

#include <gtest/gtest.h>

using namespace corvix;
using corvix::test::dumpRow;
using corvix::test::dumpScreen;
using corvix::test::RecordingDelegate;

namespace {

struct TrustDelegate : RecordingDelegate {
    bool trusted = true;
    bool isProcessTrusted(Terminal&) override { return trusted; }
};

// A small screen filled with distinct rows: row r reads "r" followed by letters.
struct Fixture {
    TrustDelegate delegate;
    Terminal terminal;
    Fixture() : terminal(&delegate, options())
    {
        terminal.feed("0abcdefghi\r\n1jklmnopqr\r\n2stuvwxyzA\r\n3BCDEFGHIJ\r\n4KLMNOPQRS\r\n5TUVWXYZ!?");
        delegate.clear();
    }
    static TerminalOptions options()
    {
        TerminalOptions o;
        o.cols = 10;
        o.rows = 6;
        return o;
    }
    std::string screen() { return dumpScreen(terminal, {.untrimmed = true}); }
    CharData cell(int col, int row) { return (*terminal.getLine(row))[col]; }
    std::string reply(std::string_view input)
    {
        delegate.clear();
        terminal.feed(input);
        return delegate.sent;
    }
};

const std::string kInitial = "0abcdefghi\n1jklmnopqr\n2stuvwxyzA\n3BCDEFGHIJ\n4KLMNOPQRS\n5TUVWXYZ!?\n";

} // namespace

TEST(TerminalRect, EraseUsesTheCurrentAttributeAndOnlyBumpsGenerations)
{
    Fixture f;
    f.terminal.curAttr.style = CharacterStyle::bold;
    f.terminal.clearUpdateRange();
    const uint64_t before = f.terminal.getLine(1)->generation();
    f.terminal.feed("\x1b[2;2;3;4$z");
    EXPECT_EQ(f.screen(), "0abcdefghi\n1   mnopqr\n2   vwxyzA\n3BCDEFGHIJ\n4KLMNOPQRS\n5TUVWXYZ!?\n");
    EXPECT_EQ(f.cell(1, 1).code, ' ');
    EXPECT_EQ(f.cell(3, 2).attribute.style, CharacterStyle::bold);
    EXPECT_GT(f.terminal.getLine(1)->generation(), before);
    EXPECT_FALSE(f.terminal.getUpdateRange());

    f.terminal.feed("\x1b[1;1;0;0$z"); // bottom and right of 0: empty
    EXPECT_EQ(f.cell(0, 0).code, '0');
    f.terminal.feed("\x1b[1;1$z");
    std::string blank;
    for (int r = 0; r < 6; r++) blank += std::string(10, ' ') + "\n";
    EXPECT_EQ(f.screen(), blank);
}

TEST(TerminalRect, RectanglesHonourOriginMode)
{
    Fixture f;
    f.terminal.originMode = true;
    f.terminal.buffer().setScrollTop(4);
    f.terminal.buffer().setScrollBottom(5);
    f.terminal.feed("\x1b[1;1;2;2$z");
    EXPECT_EQ(dumpRow(f.terminal, 3), "3BCDEFGHIJ");
    EXPECT_EQ(dumpRow(f.terminal, 4, {.untrimmed = true}), "  LMNOPQRS");
    EXPECT_EQ(dumpRow(f.terminal, 5, {.untrimmed = true}), "  UVWXYZ!?");
}

TEST(TerminalRect, FillStoresOnlyPrintableCharacters)
{
    Fixture f;
    f.terminal.curAttr.style = CharacterStyle::italic;
    f.terminal.feed("\x1b[65;1;1;1;5$x");
    EXPECT_EQ(dumpRow(f.terminal, 0), "AAAAAefghi");
    EXPECT_EQ(f.cell(4, 0).attribute.style, CharacterStyle::italic);
    EXPECT_EQ(f.cell(5, 0).attribute.style, CharacterStyle{});

    f.terminal.feed("\x1b[233;2;1;2;2$x\x1b[12354;2;3;2;3$x"); // é, and a wide kana stored narrow
    EXPECT_EQ(f.cell(0, 1).code, 0xE9);
    EXPECT_EQ(f.cell(2, 1).code, 12354);
    EXPECT_EQ(f.cell(2, 1).width, 1);

    // Controls (C0, DEL, C1), NUL and surrogates would be stored as live control bytes: ignored.
    const std::string before = f.screen();
    for (int ch : {0, 27, 10, 127, 0x85, 0x9F, 0xD800, 0xDFFF}) {
        f.terminal.feed("\x1b[" + std::to_string(ch) + ";1;1;6;10$x");
        EXPECT_EQ(f.screen(), before) << ch;
    }

    f.terminal.feed("\x1b[69$x");
    for (int r = 0; r < 6; r++) EXPECT_EQ(dumpRow(f.terminal, r), "EEEEEEEEEE") << r;

    log::Capture capture;
    f.terminal.silentLog = false;
    f.terminal.feed("\x1b[2*x");
    EXPECT_EQ(dumpRow(f.terminal, 0), "EEEEEEEEEE");
    EXPECT_EQ(capture.lines(),
              std::vector<std::string>{"Info: Not implemented CSI x with collect: collect=[42] and pars=[2]"});
}

TEST(TerminalRect, CopyHandlesOverlapAndEdges)
{
    {
        Fixture f;
        f.terminal.feed("\x1b[1;1;2;3;1;5;8$v"); // rows 1-2, cols 1-3 to rows 5-6, cols 8-10
        EXPECT_EQ(dumpRow(f.terminal, 4), "4KLMNOP0ab");
        EXPECT_EQ(dumpRow(f.terminal, 5), "5TUVWXY1jk");
    }
    {
        // Overlapping: rows 1-4 moved one row down and one column right, as through a buffer.
        Fixture f;
        f.terminal.feed("\x1b[1;1;4;9;1;2;2$v");
        EXPECT_EQ(f.screen(), "0abcdefghi\n10abcdefgh\n21jklmnopq\n32stuvwxyz\n43BCDEFGHI\n5TUVWXYZ!?\n");
    }
    {
        // Overlapping the other way: up and left.
        Fixture f;
        f.terminal.feed("\x1b[2;2;6;10;1;1;1$v");
        EXPECT_EQ(f.screen(), "jklmnopqri\nstuvwxyzAr\nBCDEFGHIJA\nKLMNOPQRSJ\nTUVWXYZ!?S\n5TUVWXYZ!?\n");
    }
    {
        // Destination column cols - 1 (one-based): two columns land in the last two.
        Fixture f;
        f.terminal.feed("\x1b[1;1;1;5;1;3;9$v");
        EXPECT_EQ(dumpRow(f.terminal, 2), "2stuvwxy0a");
    }
    {
        // Other pages, or no "$": nothing.
        Fixture f;
        f.terminal.feed("\x1b[1;1;2;3;2;5;8$v\x1b[1;1;2;3;1;5;8;2$v\x1b[1;1;2;3;1;5;8v");
        EXPECT_EQ(f.screen(), kInitial);
    }
}

TEST(TerminalRect, SelectiveEraseKeepsAttributesAndLinks)
{
    Fixture f;
    f.terminal.buffer().setX(0);
    f.terminal.buffer().setY(0);
    f.terminal.curAttr.style = CharacterStyle::underline;
    f.terminal.feed("\x1b]8;;http://x\x07XY\x1b]8;;\x07");
    const CharData before = f.cell(1, 0);
    f.terminal.feed("\x1b[1;1;1;2${");
    EXPECT_EQ(dumpRow(f.terminal, 0), "  bcdefghi");
    EXPECT_EQ(f.cell(1, 0).payload, before.payload);
    EXPECT_EQ(f.cell(1, 0).attribute, before.attribute);

    log::Capture capture;
    f.terminal.silentLog = false;
    f.terminal.feed("\x1b[1;2{");
    EXPECT_EQ(capture.lines(), std::vector<std::string>{"Info: CSI # { not implemented - XTPUSHSGR with [1, 2]"});
}

TEST(TerminalRect, ChecksumReport)
{
    Fixture f;
    EXPECT_EQ(f.reply("\x1b[1;1;1;1;1;2*y"), "\x1bP1!~0091\x1b\\"); // '0' + 'a'
    f.terminal.feed("\x1b[1;1;6;10$z");
    EXPECT_EQ(f.reply("\x1b[1;1;1;1;1;2*y"), "\x1bP1!~0040\x1b\\");
    // Empty cells count as spaces; a sum past 0xFFFF takes more digits.
    EXPECT_EQ(f.reply("\x1b[7;1;1;1;6;10*y"), "\x1bP7!~0780\x1b\\");
    f.terminal.feed("\x1b[12354;1;1;6;10$x");
    EXPECT_EQ(f.reply("\x1b[2;1;1;1;6;10*y"), "\x1bP2!~b4f78\x1b\\");

    // Too few parameters, an empty rectangle, or an untrusted process: 0000.
    EXPECT_EQ(f.reply("\x1b[3;1*y"), "\x1bP3!~0000\x1b\\");
    EXPECT_EQ(f.reply("\x1b[3;1;1;1;0;0*y"), "\x1bP3!~0000\x1b\\");
    f.delegate.trusted = false;
    EXPECT_EQ(f.reply("\x1b[1;1;1;1;1;2*y"), "\x1bP1!~0000\x1b\\");

    f.delegate.trusted = true;
    f.terminal.feed("\x1b G");
    EXPECT_EQ(f.reply("\x1b[1;1;1;1;1;2*y"), "\x90" "1!~6084\x9c");
}
