#include "terminal/bidi/TerminalBidi.hpp"

#include "terminal/engine/Terminal.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace corvix;

namespace {

// A terminal of `cols` columns with `text` printed on its first row.
std::unique_ptr<Terminal> terminalWith(int cols, std::string_view text)
{
    auto options = TerminalOptions::defaults();
    options.cols = cols;
    options.rows = 3;
    auto terminal = std::make_unique<Terminal>(nullptr, options);
    terminal->feed(text);
    return terminal;
}

BidiRowLayout explicitRow(Terminal& terminal, int cols)
{
    auto layout = TerminalBidi::explicitRightToLeftLayout(0, terminal.buffer(), cols, terminal);
    EXPECT_TRUE(layout.has_value());
    return layout.value_or(BidiRowLayout{});
}

BidiCell cell(int col, int width = 1, std::optional<std::u32string> display = std::nullopt)
{
    return {col, width, std::move(display)};
}

} // namespace

TEST(TerminalBidiMirroring, ExplicitRowShowsTheCellsReversedAndMirrored)
{
    auto terminal = terminalWith(6, "ab(c");
    const auto layout = explicitRow(*terminal, 6);
    EXPECT_EQ(layout.visualCells,
              (std::vector<BidiCell>{cell(5), cell(4), cell(3), cell(2, 1, U")"), cell(1), cell(0)}));
    EXPECT_EQ(layout.visualToLogicalCol, (std::vector<int>{5, 4, 3, 2, 1, 0}));
    EXPECT_EQ(layout.logicalToVisualCol, (std::vector<int>{5, 4, 3, 2, 1, 0}));
    EXPECT_EQ(layout.baseDirection, BidiDirection::rightToLeft);
    EXPECT_EQ(layout.paragraphRevision, terminal->buffer().lines()[0].generation());
}

TEST(TerminalBidiMirroring, FullRowHasNoBlankCells)
{
    auto terminal = terminalWith(4, "abcd");
    const auto layout = explicitRow(*terminal, 4);
    EXPECT_EQ(layout.visualCells, (std::vector<BidiCell>{cell(3), cell(2), cell(1), cell(0)}));
    EXPECT_EQ(layout.logicalToVisualCol, (std::vector<int>{3, 2, 1, 0}));
}

TEST(TerminalBidiMirroring, WideCellKeepsItsHalvesInOrder)
{
    auto terminal = terminalWith(4, "\xE4\xB8\xAD"); // U+4E2D, two columns
    const auto layout = explicitRow(*terminal, 4);
    EXPECT_EQ(layout.visualCells, (std::vector<BidiCell>{cell(3), cell(2), cell(0, 2)}));
    EXPECT_EQ(layout.visualToLogicalCol, (std::vector<int>{3, 2, 0, 1}));
    EXPECT_EQ(layout.logicalToVisualCol, (std::vector<int>{2, 3, 1, 0}));
}

// Fewer columns than the line holds: only what is visible is laid out; a wide cell cut by the
// edge keeps its visible half, so every column maps and no entry points outside the row.
TEST(TerminalBidiMirroring, ExplicitRowNarrowerThanTheLine)
{
    auto terminal = terminalWith(6, "abcde");
    const auto layout = explicitRow(*terminal, 3);
    EXPECT_EQ(layout.visualCells, (std::vector<BidiCell>{cell(2), cell(1), cell(0)}));
    EXPECT_EQ(layout.visualToLogicalCol, (std::vector<int>{2, 1, 0}));

    auto wide = terminalWith(6, "ab\xE4\xB8\xAD"); // a wide cell across the last visible column
    const auto cut = explicitRow(*wide, 3);
    EXPECT_EQ(cut.visualCells, (std::vector<BidiCell>{cell(2), cell(1), cell(0)}));
    EXPECT_EQ(cut.logicalToVisualCol, (std::vector<int>{2, 1, 0}));
    EXPECT_EQ(cut.visualToLogicalCol, (std::vector<int>{2, 1, 0}));
}

TEST(TerminalBidiMirroring, BoxPiecesMirrorOnlyWithTheLineFlag)
{
    // U+250C, "(", and "(" with a combining acute (two scalars: never mirrored).
    auto terminal = terminalWith(3, "\xE2\x94\x8C(\x28\xCC\x81");
    auto& line = terminal->buffer().lines()[0];
    EXPECT_EQ(explicitRow(*terminal, 3).visualCells,
              (std::vector<BidiCell>{cell(2), cell(1, 1, U")"), cell(0)}));

    auto state = line.bidiState();
    state.boxMirroring = true;
    line.setBidiState(state);
    EXPECT_EQ(explicitRow(*terminal, 3).visualCells,
              (std::vector<BidiCell>{cell(2), cell(1, 1, U")"), cell(0, 1, U"\u2510")}));
}

TEST(TerminalBidiMirroring, RowOutsideTheBuffer)
{
    auto terminal = terminalWith(4, "ab");
    const int count = terminal->buffer().lines().count();
    EXPECT_FALSE(TerminalBidi::explicitRightToLeftLayout(-1, terminal->buffer(), 4, *terminal));
    EXPECT_FALSE(TerminalBidi::explicitRightToLeftLayout(count, terminal->buffer(), 4, *terminal));
    EXPECT_TRUE(TerminalBidi::explicitRightToLeftLayout(count - 1, terminal->buffer(), 4, *terminal));
}

TEST(TerminalBidiMirroring, MirrorOfACell)
{
    const struct {
        std::u32string text;
        bool boxMirroring;
        std::optional<std::u32string> mirrored;
    } cases[] = {
        {U"(", false, U")"},
        {U")", false, U"("},
        {U"\u00AB", false, U"\u00BB"},
        {U"\u2215", false, U"\u29F5"},  // the largest offsets: both directions
        {U"\u29F5", false, U"\u2215"},
        {U"\uFF62", false, U"\uFF63"},
        {U"(\u0301", false, std::nullopt},
        {U"a", true, std::nullopt},
        {U"\u250C", false, std::nullopt},
        {U"\u250C", true, U"\u2510"},
        {U"\u2510", true, U"\u250C"},
        {U"\u2578", true, U"\u257A"},
        {U"\u2500", true, std::nullopt}, // a straight line has no partner
        {U"\u250C\u0301", true, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TerminalBidi::mirror(c.text, c.boxMirroring), c.mirrored)
            << "U+" << std::hex << uint32_t(c.text[0]) << " box " << c.boxMirroring;
    }
}
