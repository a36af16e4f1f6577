// A long scroll-back keeps lines by their text: lines that leave the screen are stored compactly,
// and everything that reads or rewrites them (text, search, reflow, code collection) sees them
// as they were printed.
#include "terminal/engine/Terminal.hpp"
#include "terminal/screen/CellArena.hpp"
#include "terminal/selection/SearchService.hpp"

#include "support/Options.hpp"
#include "support/RecordingDelegate.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace corvix;
using corvix::test::RecordingDelegate;
using corvix::test::sized;

namespace {

constexpr int kCols = 200;
constexpr int kRows = 10;
constexpr int kLines = 3000;

std::string textOfLine(int i)
{
    std::string text = "line " + std::to_string(i) + " 語";
    // Every tenth line is long enough to wrap when the terminal narrows.
    if (i % 10 == 0) text += " " + std::string(90, char('a' + i % 26));
    return text;
}

// Each line: its background erased to the end in a colour of its own, then its text.
std::string printedLines()
{
    std::string out;
    for (int i = 0; i < kLines; ++i)
        out += "\x1b[4" + std::to_string(i % 8) + "m\x1b[K" + textOfLine(i) + "\x1b[0m\r\n";
    return out;
}

std::string bufferText(Terminal& t)
{
    const auto data = t.getBufferAsData(BufferKind::normal, TextEncoding::utf8);
    return {data.begin(), data.end()};
}

} // namespace

TEST(LongScrollback, StoredLinesHoldTheirTextAndReadAsPrinted)
{
    RecordingDelegate d;
    Terminal t(&d, sized(kCols, kRows, 10000));
    ASSERT_TRUE(t.normalBuffer().compactsScrollback());
    t.feed(printedLines());

    auto& lines = t.normalBuffer().lines();
    for (int i = 0; i < kLines; ++i) {
        const BufferLine& line = lines[i];
        ASSERT_EQ(t.translateBufferLineToString(t.normalBuffer(), i, 0, -1), textOfLine(i)) << "line " << i;
        // The coloured tail is still there, stored once.
        EXPECT_EQ(line[kCols - 1].attribute.bg, Attribute::Color::ansi256(uint8_t(i % 8))) << "line " << i;
        if (i < t.normalBuffer().yBase()) { // in the scroll-back, not on the screen
            EXPECT_TRUE(line.isCompact()) << "line " << i;
            EXPECT_LE(size_t(line.heldCellCount()), textOfLine(i).size()) << "line " << i;
        }
    }
    EXPECT_EQ(t.getText({0, 5}, {9, 6}), "line 5 語\nline 6 語");

    SearchService search(t);
    const auto hit = search.findNext("line 1234 ");
    ASSERT_TRUE(hit.has_value());
    EXPECT_EQ(hit->row, 1234);
    EXPECT_EQ(hit->col, 0);
}

TEST(LongScrollback, ReflowRoundTripKeepsEveryStoredLine)
{
    RecordingDelegate d;
    Terminal t(&d, sized(kCols, kRows, 10000));
    t.feed(printedLines());
    const std::string before = bufferText(t);
    t.resize(50, kRows);
    ASSERT_NE(bufferText(t), before) << "the long lines wrap at 50 columns";
    t.resize(kCols, kRows);
    EXPECT_EQ(bufferText(t), before);
    // A write into a stored line expands it and keeps its other cells.
    BufferLine& stored = t.normalBuffer().lines()[100];
    stored.set(3, stored[0]);
    EXPECT_EQ(t.translateBufferLineToString(t.normalBuffer(), 100, 0, -1), "linl" + textOfLine(100).substr(4));
}

// Lines in more colours than a packed line keeps, between lines in one: every stored line reads
// back cell by cell as printed, whichever form it was kept in.
TEST(LongScrollback, LinesInManyColoursAndInFewReadAsPrinted)
{
    RecordingDelegate d;
    Terminal t(&d, sized(kCols, kRows, 10000));
    constexpr int kPrinted = 400;
    constexpr int kWidth = 30;
    auto colourOf = [](int line, int col) { return line % 2 ? (line + col) % 256 : line % 8; };
    std::string out;
    for (int i = 0; i < kPrinted; ++i) {
        for (int c = 0; c < kWidth; ++c)
            out += "\x1b[38;5;" + std::to_string(colourOf(i, c)) + "m" + char('a' + (i + c) % 26);
        out += "\x1b[0m\r\n";
    }
    t.feed(out);

    auto& lines = t.normalBuffer().lines();
    for (int i = 0; i < kPrinted; ++i) {
        const BufferLine& line = lines[i];
        if (i < t.normalBuffer().yBase()) {
            ASSERT_TRUE(line.isCompact()) << "line " << i;
        }
        for (int c = 0; c < kWidth; ++c) {
            const CharData cell = line[c];
            ASSERT_EQ(cell.code, 'a' + (i + c) % 26) << "line " << i << ", column " << c;
            ASSERT_EQ(cell.attribute.fg, Attribute::Color::ansi256(uint8_t(colourOf(i, c))))
                << "line " << i << ", column " << c;
        }
        EXPECT_EQ(line[kWidth], CharData::Null) << "line " << i;
    }
}

// Cells of one repeated linked or clustered character are all stored as the line's one tail
// cell; collecting unused codes must still see them.
TEST(LongScrollback, CodeCollectionSeesCodesKeptOnlyInTheTail)
{
    RecordingDelegate d;
    Terminal t(&d, sized(kCols, kRows, 10000));
    std::string clustered;
    for (int c = 0; c < kCols; ++c) clustered += "e\xcc\x81"; // e + combining acute
    t.feed("\x1b]8;;https://example.test/kept\x07" + std::string(kCols, 'x') + "\x1b]8;;\x07\r\n");
    t.feed(clustered + "\r\n");
    t.feed(std::string(50, '\n'));
    const BufferLine& linked = t.normalBuffer().lines()[0];
    const BufferLine& accented = t.normalBuffer().lines()[1];
    ASSERT_TRUE(linked.isCompact());
    ASSERT_TRUE(accented.isCompact());
    EXPECT_EQ(linked.heldCellCount(), 0);

    t.collectUnusedCodes();
    const std::string* target = t.payloads.target(linked[kCols / 2].payload.code);
    ASSERT_NE(target, nullptr);
    EXPECT_NE(target->find("https://example.test/kept"), std::string::npos);
    EXPECT_EQ(t.character(accented[kCols / 2].code), U"e\u0301");
}

// Stored lines keep their cells in their buffer's blocks: a full scroll-back that keeps scrolling
// reuses them, clearing the scroll-back gives them back, and so does closing the terminal.
TEST(LongScrollback, StoredCellsStayWithinTheirBlocksAndGoBackWithTheLines)
{
    const size_t before = CellArena::bytesInBlocks();
    {
        RecordingDelegate d;
        Terminal t(&d, sized(kCols, kRows, 10000));
        Buffer& b = t.normalBuffer();
        size_t most = 0;
        for (int round = 0; round < 10; ++round) { // 30,000 lines through a 10,000-line ring
            t.feed(printedLines());
            most = std::max(most, b.scrollbackCells().blockCount());
        }
        // 10,000 stored lines of about 25 cells take three blocks and a part of a fourth.
        EXPECT_LE(most, 5u);
        EXPECT_EQ(CellArena::bytesInBlocks() - before, b.scrollbackCells().blockCount() * CellArena::kBlockBytes);
        // The oldest line kept: 30,001 lines (the last one empty) less the ring's 10,010.
        EXPECT_EQ(t.translateBufferLineToString(b, 0, 0, -1), textOfLine((10 * kLines + 1 - b.lines().count()) % kLines));

        t.feed("\x1b[3J");
        EXPECT_EQ(b.scrollbackCells().blockCount(), 1u) << "only the block being carved stays";
        // The screen stayed; what follows is stored again.
        t.feed(printedLines());
        EXPECT_EQ(t.translateBufferLineToString(b, 0, 0, -1), textOfLine(kLines - kRows + 1));
        EXPECT_EQ(t.translateBufferLineToString(b, kRows - 1, 0, -1), textOfLine(0));
        EXPECT_TRUE(b.lines()[kRows - 1].isCompact());
    }
    EXPECT_EQ(CellArena::bytesInBlocks(), before);
}
