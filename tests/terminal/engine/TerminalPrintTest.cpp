#include "terminal/engine/Terminal.hpp"

#include "support/ChunkSplit.hpp"
#include "support/RecordingDelegate.hpp"
#include "support/ScreenDump.hpp"

#include <gtest/gtest.h>

using namespace corvix;
using corvix::test::dumpRow;
using corvix::test::RecordingDelegate;

namespace {

struct Fixture {
    RecordingDelegate delegate;
    Terminal terminal;
    explicit Fixture(TerminalOptions o = TerminalOptions::defaults()) : terminal(&delegate, std::move(o)) {}
    CharData cell(int col, int row) { return (*terminal.getLine(row))[col]; }
};

TerminalOptions narrowFlags()
{
    TerminalOptions o;
    o.regionalIndicatorWidth = RegionalIndicatorWidth::narrow;
    return o;
}

} // namespace

TEST(TerminalPrint, MixedScriptsLandInTheRightCells)
{
    Fixture f;
    f.terminal.feed("h\xc3\xa9llo \xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e \xf0\x9f\x91\x8d\xf0\x9f\x8f\xbd\r\n");
    auto& t = f.terminal;
    EXPECT_EQ(f.cell(1, 0).code, 0xE9);
    for (int col : {6, 8, 10}) {
        EXPECT_EQ(f.cell(col, 0).width, 2) << col;
        EXPECT_EQ(f.cell(col + 1, 0).width, 0) << col;
        EXPECT_EQ(f.cell(col + 1, 0).code, 0) << col;
    }
    EXPECT_EQ(f.cell(6, 0).code, 0x65E5);
    const CharData& thumb = f.cell(13, 0);
    EXPECT_EQ(thumb.width, 2);
    EXPECT_GT(thumb.code, 0x400000);
    EXPECT_EQ(t.getCharacter(thumb), U"\U0001F44D\U0001F3FD");
    EXPECT_EQ(f.cell(14, 0).width, 0);
    EXPECT_EQ(f.cell(15, 0).code, 0); // the skin tone joined; nothing after it
    EXPECT_EQ(t.getCursorLocation(), std::make_pair(0, 1));
    EXPECT_EQ(dumpRow(t, 0), "h\xc3\xa9llo \xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e \xf0\x9f\x91\x8d\xf0\x9f\x8f\xbd");
}

TEST(TerminalPrint, SequenceSplitAcrossFeedsPrintsOnce)
{
    Fixture f;
    f.terminal.feed("a\xe6\x97");
    EXPECT_EQ(f.terminal.getCursorLocation(), std::make_pair(1, 0));
    f.terminal.feed("\xa5z");
    EXPECT_EQ(f.cell(1, 0).code, 0x65E5);
    EXPECT_EQ(f.cell(3, 0).code, 'z');
    EXPECT_EQ(f.terminal.getCursorLocation(), std::make_pair(4, 0));
}

TEST(TerminalPrint, InvalidUtf8NeverSwallowsValidBytes)
{
    struct Case {
        const char* name;
        std::string input;
        std::u32string expected; // the row's characters
    };
    const Case cases[] = {
        {"missing continuation", "\xe2\x41\x42", U"\u00e2AB"},
        {"truncated then valid", "\xe2\x82\xe6\x97\xa5", U"\u00e2\u65e5"},
        {"surrogate", "\xed\xa0\x80x", U"\u00ed\u00a0x"},
        {"overlong", "\xc0\xafx", U"\u00c0\u00afx"},
        {"stray continuation", "\xa9x", U"\u00a9x"},
        {"C1 byte alone", "\x85x", U"x"},
        {"DEL", "a\x7f" "b", U"ab"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        f.terminal.feed(c.input);
        std::u32string row;
        for (int col = 0; col < 80; col++) {
            const CharData& cell = f.cell(col, 0);
            if (cell.code == 0) continue;
            row += f.terminal.getCharacter(cell);
        }
        EXPECT_EQ(row, c.expected);
    }
}

TEST(TerminalPrint, CombiningMarkGetsAClusterCodeThatIsReused)
{
    Fixture f;
    f.terminal.feed("e\xcc\x81 e\xcc\x81");
    EXPECT_EQ(f.cell(0, 0).code, 0x400001);
    EXPECT_EQ(f.cell(2, 0).code, 0x400001);
    EXPECT_EQ(f.terminal.getCursorLocation(), std::make_pair(3, 0));

    Fixture fresh;
    fresh.terminal.feed("\xcc\x81x"); // nothing to join: dropped
    EXPECT_EQ(fresh.cell(0, 0).code, 'x');
}

TEST(TerminalPrint, VariationSelectorsChangeWidth)
{
    Fixture f;
    f.terminal.feed("\xe2\x9d\xa4\xef\xb8\x8f|");  // U+2764 U+FE0F
    EXPECT_EQ(f.cell(0, 0).width, 2);
    EXPECT_EQ(f.cell(1, 0).width, 0);
    EXPECT_EQ(f.cell(2, 0).code, '|');

    Fixture letter;
    letter.terminal.feed("a\xef\xb8\x8f|");
    EXPECT_EQ(letter.cell(0, 0).code, 'a');
    EXPECT_EQ(letter.cell(1, 0).code, '|');
}

TEST(TerminalPrint, ZeroWidthJoinerSequenceIsOneCell)
{
    Fixture f;
    f.terminal.feed("\xf0\x9f\x91\xa8\xe2\x80\x8d\xf0\x9f\x91\xa9!");
    EXPECT_EQ(f.terminal.getCharacter(f.cell(0, 0)), U"\U0001F468\u200D\U0001F469");
    EXPECT_EQ(f.cell(2, 0).code, '!');
}

TEST(TerminalPrint, FlagPairsUnderBothWidthPolicies)
{
    const std::string flag = "\xf0\x9f\x87\xaf\xf0\x9f\x87\xb5"; // J P
    const std::string third = "\xf0\x9f\x87\xa6";                // A
    {
        Fixture f;
        f.terminal.feed(flag + third);
        EXPECT_EQ(f.terminal.getCharacter(f.cell(0, 0)), U"\U0001F1EF\U0001F1F5");
        EXPECT_EQ(f.cell(0, 0).width, 2);
        EXPECT_EQ(f.cell(2, 0).width, 2); // the third starts a new cell, wide on its own
        EXPECT_EQ(f.terminal.getCursorLocation(), std::make_pair(4, 0));
    }
    {
        Fixture f(narrowFlags());
        f.terminal.feed(flag + third);
        EXPECT_EQ(f.terminal.getCharacter(f.cell(0, 0)), U"\U0001F1EF\U0001F1F5");
        EXPECT_EQ(f.cell(0, 0).width, 2);
        EXPECT_EQ(f.cell(1, 0).width, 0);
        EXPECT_EQ(f.cell(2, 0).width, 1);
        EXPECT_EQ(f.terminal.getCursorLocation(), std::make_pair(3, 0));
    }
}

TEST(TerminalPrint, DecSpecialGraphicsDrawsBoxes)
{
    Fixture f;
    f.terminal.feed("\x1b(0lqqk\x1b(B_q");
    EXPECT_EQ(dumpRow(f.terminal, 0), "\xe2\x94\x8c\xe2\x94\x80\xe2\x94\x80\xe2\x94\x90_q");
    EXPECT_EQ(f.cell(0, 0).width, 1);
}

TEST(TerminalPrint, SecondSlotAppliesOnlyAfterShiftOut)
{
    Fixture f;
    f.terminal.feed("\x1b)0q\x0eq\x0fq");
    EXPECT_EQ(dumpRow(f.terminal, 0), "q\xe2\x94\x80q");
}

TEST(TerminalPrint, AsciiRunWithoutAutowrapOverwritesTheLastColumn)
{
    Fixture f;
    f.terminal.wraparound = f.terminal.buffer().wraparound = false;
    f.terminal.feed(std::string(79, '.') + "abc");
    EXPECT_EQ(f.cell(79, 0).code, 'c');
    EXPECT_EQ(f.cell(78, 0).code, '.');
    EXPECT_EQ(f.terminal.getCursorLocation(), std::make_pair(79, 0)); // on the margin
}

TEST(TerminalPrint, ScalarsPastTheBmpKeepOneClusterCode)
{
    Fixture f;
    f.terminal.feed("\xf0\x9f\x91\x8d" "e\xcc\x81" "\xf0\x9f\x8e\x89" "\xf0\x9f\x91\x8d");
    const int32_t thumbs = f.cell(0, 0).code;
    EXPECT_EQ(thumbs, f.terminal.code(U"\U0001F44D"));
    EXPECT_EQ(f.cell(5, 0).code, thumbs);
    EXPECT_EQ(f.cell(3, 0).code, f.terminal.code(U"\U0001F389"));
    EXPECT_NE(f.cell(3, 0).code, thumbs);
    EXPECT_EQ(f.terminal.character(thumbs), U"\U0001F44D");
}

TEST(TerminalPrint, EveryChunkSplitGivesTheSameScreen)
{
    const std::string input =
        "ab\xe6\x97\xa5 e\xcc\x81 \xf0\x9f\x91\x8d\xf0\x9f\x8f\xbd\xe2\x9d\xa4\xef\xb8\x8f\xe2\x41\r\n"
        "\x1b(0lq\x1b(B\xf0\x9f\x87\xaf\xf0\x9f\x87\xb5\x1b]0;t\xc3\xa9\x07z";
    auto bytes = std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(input.data()), input.size());
    EXPECT_TRUE(corvix::test::sameForEverySplit(bytes, [](const corvix::test::Chunks& chunks) {
        Fixture f;
        for (auto chunk : chunks) f.terminal.feed(chunk);
        return corvix::test::dumpScreen(f.terminal, {.wrapMarkers = true, .attributes = true}) + "@" +
               std::to_string(f.terminal.getCursorLocation().first) + "," +
               std::to_string(f.terminal.getCursorLocation().second) + " " + f.terminal.terminalTitle;
    }));
}

TEST(TerminalPrint, EndlessCombiningMarksDoNotGrowTheClusterTable)
{
    Fixture f;
    std::string marks;
    for (int i = 0; i < 10000; i++) marks += "\xcc\x81";
    f.terminal.feed("e" + marks);
    const std::u32string cluster = f.terminal.getCharacter(f.cell(0, 0));
    EXPECT_EQ(cluster.size(), GraphemeClusterTable::kMaxClusterScalars);
    EXPECT_EQ(f.terminal.getCursorLocation(), std::make_pair(1, 0));
    // Only the prefixes up to the limit were stored: the next new cluster gets the next code.
    f.terminal.feed("a\xcc\x81");
    EXPECT_EQ(f.cell(1, 0).code, GraphemeClusterTable::kFirstClusterCode + int32_t(GraphemeClusterTable::kMaxClusterScalars) - 1);
}

// A character joins the cell printed last only while the cursor still stands right after it:
// after a cursor move or any other control it starts a cell of its own (or, being zero-width,
// is dropped). Rows render as one entry per cell: "[text]" for a character, "." for a blank,
// nothing for the right half of a wide one.
TEST(TerminalPrint, JoinsOnlyTheCellJustBeforeTheCursor)
{
    struct Case {
        const char* name;
        bool narrowFlags;
        std::string input;
        std::u32string row; // columns 0 to 5
        int cursorX;
    };
    const std::string J = "\xf0\x9f\x87\xaf", P = "\xf0\x9f\x87\xb5"; // regional indicators
    const std::string acute = "\xcc\x81", vs16 = "\xef\xb8\x8f", zwj = "\xe2\x80\x8d";
    const std::string man = "\xf0\x9f\x91\xa8", woman = "\xf0\x9f\x91\xa9", heart = "\xe2\x9d\xa4";
    const Case cases[] = {
        {"flag half after a move back", false, "\x1b[1;3H" + P + "\x1b[1;1H" + J, U"[🇯][🇵]..", 2},
        {"narrow flag half after a move back", true, "\x1b[1;3H" + P + "\x1b[1;1H" + J, U"[🇯].[🇵]...", 1},
        {"flag half after a carriage return", false, J + "\r" + P, U"[🇵]....", 2},
        {"flag half after moving away and back", false, J + "\x1b[C\x1b[D" + P, U"[🇯][🇵]..", 4},
        {"flag pair printed in one go", false, J + P, U"[🇯🇵]....", 2},
        {"flag pair across a colour change", false, J + "\x1b[31m" + P, U"[🇯🇵]....", 2},
        {"narrow flag pair", true, J + P, U"[🇯🇵]....", 2},
        {"combining mark after a move", false, "ab\x1b[1;1H" + acute, U"[a][b]....", 0},
        {"combining mark after a backspace", false, "ab\b" + acute, U"[a][b]....", 1},
        {"combining mark after a line feed", false, "a\n" + acute, U"[a].....", 1},
        {"combining mark across a colour change", false, "e\x1b[1m" + acute, U"[e\u0301].....", 1},
        {"variation selector after a move", false, heart + "\x1b[C" + vs16, U"[❤].....", 2},
        {"joiner sequence cut by a move", false, man + zwj + "\x1b[1;5H" + woman,
         U"[👨\u200D]..[👩]", 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalOptions o;
        if (c.narrowFlags) o.regionalIndicatorWidth = RegionalIndicatorWidth::narrow;
        Fixture f(o);
        f.terminal.feed(c.input);
        std::u32string row;
        for (int col = 0; col < 6; col++) {
            const CharData& cell = f.cell(col, 0);
            if (cell.width == 0) continue;
            row += cell.code == 0 ? U"." : U"[" + f.terminal.getCharacter(cell) + U"]";
        }
        EXPECT_EQ(row, c.row);
        EXPECT_EQ(f.terminal.getCursorLocation().first, c.cursorX);
    }
}

// The printable-ASCII start of a run is found several bytes at a time: whatever byte ends it, at
// any place in a short or long run, the cells and cursor are those of the same text fed byte by
// byte.
TEST(TerminalPrint, AsciiStartEndsAtTheFirstOtherByte)
{
    const std::string others[] = {"\x7f", "\xc3\xa9", "\xe6\x97\xa5", "\xff"};
    for (const std::string& other : others) {
        for (size_t length = 2; length <= 20; length++) {
            for (size_t at = 1; at < length; at++) {
                std::string input;
                for (size_t i = 0; i < length; i++) input += i == at ? other : std::string(1, char('a' + i));
                auto screen = [&](bool byteByByte) {
                    Fixture f;
                    if (byteByByte) {
                        for (char c : input) f.terminal.feed(std::string(1, c));
                    } else {
                        f.terminal.feed(input);
                    }
                    const auto [x, y] = f.terminal.getCursorLocation();
                    return dumpRow(f.terminal, 0) + "@" + std::to_string(x) + "," + std::to_string(y);
                };
                EXPECT_EQ(screen(false), screen(true)) << ::testing::PrintToString(input);
            }
        }
    }
}

// Runs of characters that each take a cell of their own are written in one pass; fed byte by
// byte (or split anywhere) the same text goes through the character-at-a-time path. Both must
// leave the same cells, links, attributes and cursor, wherever the run meets the margin, a
// joining character, a mode or a translation table.
TEST(TerminalPrint, CharacterRunsMatchCharacterAtATime)
{
    const std::string kanji = "\xe6\x97\xa5\xe6\x9c\xac", hangul = "\xed\x95\x9c\xea\xb5\xad"; // 日本 한국
    const std::string kana = "\xe3\x81\x8b\xe3\x82\x99\xe3\x81\xaa";                            // か+dakuten な
    const std::string thumbs = "\xf0\x9f\x91\x8d", tone = "\xf0\x9f\x8f\xbd", zwj = "\xe2\x80\x8d";
    const std::string check = "\xe2\x9c\x85", box = "\xe2\x94\x80\xe2\x94\x82", flagJ = "\xf0\x9f\x87\xaf";
    const std::string ka = "\xe0\xa4\x95", virama = "\xe0\xa5\x8d", ssa = "\xe0\xa4\xb7";  // Devanagari
    const std::string jamoL = "\xe1\x84\x80", syllable = "\xea\xb0\x80";                     // ᄀ 가
    const std::string cases[] = {
        kanji + " ok " + hangul + kanji + kanji + kanji + "!",        // wraps at the margin
        "a" + box + box + box + kanji + kanji + box + "xy" + hangul,    // narrow and wide stretches meet the margin
        "abcdefghi" + kanji + hangul,                                   // wide char with one column left
        kana + kanji + kana,                                            // combining mark inside a run
        kanji + thumbs + tone + check + thumbs + zwj + thumbs + "x",    // emoji and joiners after run chars
        kanji + flagJ + flagJ + kanji,                                  // flag pair after a run char
        thumbs + zwj + kanji + box,                                     // a run starting after a joiner
        ka + virama + zwj + ssa + ka,                                   // conjunct after a joiner
        jamoL + syllable + hangul,                                      // Hangul jamo before syllables
        kanji + syllable + "\xe1\x86\xa8" + syllable + kanji,            // a final jamo after a syllable
        kanji + "\xe0\xa4\xbe" + box + "\xe0\xa4\xbe" + "a\xe0\xa4\xbe",   // spacing marks after run chars
        "\x1b[4h" + kanji + "ab" + hangul + "\x1b[4l",                  // insert mode
        "\x1b[?69h\x1b[3;8s" + kanji + hangul + kanji + "xyz",          // left and right margins
        "\x1b[?7l" + kanji + kanji + kanji + kanji + kanji + kanji + "z", // no autowrap
        "\x1b]8;;https://a.example\x1b\\" + kanji + "ab" + hangul + "\x1b]8;;\x1b\\" + kanji,
        "\x1b(0" + kanji + "lqk" + hangul + "\x1b(B" + "q",            // line-drawing set
        "\x1b[31m" + box + "\x1b[1m" + kanji + "\xc2\xb7\xe2\x80\xa6" + "\xc3\xa9\xcc\x81", // attributes, Latin
        // overlong, surrogate, past U+10FFFF, stray continuation and cut sequences inside a run
        kanji + "\xe0\x80\xaf" + kanji + "\xed\xa0\x80\xf4\x90\x80\x80\x80" + hangul + "\xe6\x97" + box + "\xf0\x9f\x91",
    };
    for (const std::string& input : cases) {
        SCOPED_TRACE(input);
        EXPECT_TRUE(corvix::test::sameForEverySplit(input, [](const corvix::test::Chunks& chunks) {
            TerminalOptions o;
            o.cols = 12;
            o.rows = 4;
            Fixture f(o);
            for (auto chunk : chunks) f.terminal.feed(chunk);
            std::string cells;
            for (int row = 0; row < 4; row++) {
                for (int col = 0; col < 12; col++) {
                    const CharData& c = f.cell(col, row);
                    cells += std::to_string(c.code) + "/" + std::to_string(c.width) + "/" +
                             std::to_string(c.payload.code) + "/" + c.attribute.toSgr() + " ";
                }
                cells += f.terminal.getLine(row)->isWrapped() ? "~\n" : "\n";
            }
            const auto [x, y] = f.terminal.getCursorLocation();
            return cells + "@" + std::to_string(x) + "," + std::to_string(y);
        }));
    }
}
