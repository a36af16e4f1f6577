#include "BidiTestSupport.hpp"

#include <gtest/gtest.h>

#include <map>
#include <numeric>
#include <string>
#include <vector>

using namespace corvix;
using namespace corvix::test;

namespace {

constexpr auto ltr = BidiDirection::leftToRight;
constexpr auto rtl = BidiDirection::rightToLeft;

BidiPresentationState fixedDirection(BidiDirection direction, bool boxMirroring = false)
{
    auto state = BidiPresentationState::defaultState();
    state.autodetectDirection = false;
    state.fallbackDirection = direction;
    state.boxMirroring = boxMirroring;
    return state;
}

struct TestCell {
    std::u32string text;
    int width = 1;
};

// Writes the cells from column 0 of row 0.
void putCells(Terminal& terminal, const std::vector<TestCell>& cells)
{
    int col = 0;
    for (const auto& cell : cells) {
        putCell(terminal, 0, col, cell.text, cell.width);
        col += cell.width;
    }
}

std::vector<TestCell> narrowCells(std::u32string_view text)
{
    std::vector<TestCell> cells;
    for (const char32_t s : text) cells.push_back({std::u32string(1, s)});
    return cells;
}

// Every column appears once in each map and the maps undo each other.
void expectInverseMaps(const BidiRowLayout& layout, int cols, const char* what)
{
    ASSERT_EQ(int(layout.logicalToVisualCol.size()), cols) << what;
    ASSERT_EQ(int(layout.visualToLogicalCol.size()), cols) << what;
    int width = 0;
    for (const auto& cell : layout.visualCells) width += cell.width;
    EXPECT_EQ(width, cols) << what;
    for (int c = 0; c < cols; ++c) {
        EXPECT_EQ(layout.visualToLogicalCol[size_t(layout.logicalToVisualCol[size_t(c)])], c) << what << ", col " << c;
    }
}

class TerminalBidiLayout : public ::testing::Test {
protected:
    void SetUp() override { TerminalBidi::clearParagraphCacheForTesting(); }
    void TearDown() override { TerminalBidi::clearParagraphCacheForTesting(); }
};

} // namespace

TEST_F(TerminalBidiLayout, HebrewAfterLatinIsReversedInPlace)
{
    auto terminal = bidiTerminal(10, 2);
    putRow(*terminal, 0, U"abc\u05D0\u05D1\u05D2");
    const auto result = paragraphOf(*terminal, 0);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->baseDirection, ltr);
    const BidiRowLayout& layout = result->rows.at(0);
    const std::vector<int> expected{0, 1, 2, 5, 4, 3, 6, 7, 8, 9};
    EXPECT_EQ(logicalColsOf(layout), expected);
    EXPECT_EQ(layout.logicalToVisualCol, expected);
    EXPECT_EQ(layout.visualToLogicalCol, expected);
    for (const auto& cell : layout.visualCells) EXPECT_EQ(cell.display, std::nullopt);
    EXPECT_EQ(layout.baseDirection, ltr);
    EXPECT_EQ(layout.paragraphRevision, TerminalBidi::layoutRevision(0, terminal->buffer(), 500));
    expectInverseMaps(layout, 10, "abc + Hebrew");
}

TEST_F(TerminalBidiLayout, RightToLeftBasePadsOnTheLeft)
{
    auto terminal = bidiTerminal(10, 2);
    putRow(*terminal, 0, U"abc");
    // Left-to-right text in a left-to-right paragraph needs no layout at all.
    const auto plain = paragraphOf(*terminal, 0);
    ASSERT_NE(plain, nullptr);
    EXPECT_TRUE(plain->rows.empty());
    EXPECT_EQ(plain->baseDirection, ltr);

    setState(*terminal, 0, fixedDirection(rtl));
    const auto result = paragraphOf(*terminal, 0);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->baseDirection, rtl);
    const BidiRowLayout& layout = result->rows.at(0);
    EXPECT_EQ(layout.visualToLogicalCol, (std::vector<int>{9, 8, 7, 6, 5, 4, 3, 0, 1, 2}));
    EXPECT_EQ(layout.logicalToVisualCol, (std::vector<int>{7, 8, 9, 6, 5, 4, 3, 2, 1, 0}));
    EXPECT_EQ(layout.baseDirection, rtl);
    expectInverseMaps(layout, 10, "right-to-left base");

    // Autodetection finds the Latin letter, which overrides the right-to-left fallback.
    auto detecting = fixedDirection(rtl);
    detecting.autodetectDirection = true;
    setState(*terminal, 0, detecting);
    EXPECT_TRUE(paragraphOf(*terminal, 0)->rows.empty());
}

// The base direction comes from the whole paragraph and each row is ordered by itself.
TEST_F(TerminalBidiLayout, WrappedRowsShareTheParagraphsDirection)
{
    auto terminal = bidiTerminal(6, 3);
    putRow(*terminal, 0, U"\u05D0\u05D1\u05D2\u05D3\u05D4\u05D5");
    putRow(*terminal, 1, U"ab");
    terminal->buffer().lines()[1].setIsWrapped(true);
    const auto result = paragraphOf(*terminal, 1);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->baseDirection, rtl);
    ASSERT_EQ(result->rows.size(), 2u);
    EXPECT_EQ(result->rows.at(0).visualToLogicalCol, (std::vector<int>{5, 4, 3, 2, 1, 0}));
    EXPECT_EQ(result->rows.at(1).visualToLogicalCol, (std::vector<int>{5, 4, 3, 2, 0, 1}));
    EXPECT_EQ(paragraphOf(*terminal, 0), result);
}

TEST_F(TerminalBidiLayout, VisualOrderOfOneRow)
{
    const auto fixedLtr = fixedDirection(ltr);
    const auto automatic = BidiPresentationState::defaultState();
    const struct {
        const char* what;
        std::vector<TestCell> cells;
        BidiPresentationState state;
        int cols;
        std::vector<int> visualToLogical;
    } cases[] = {
        // A soft hyphen has no place of its own: the nearest neighbour decides its side.
        {"glyphless cell after a Latin letter", narrowCells(U"a\u00AD\u05D0\u05D1"), automatic, 8,
         {0, 1, 3, 2, 4, 5, 6, 7}},
        {"glyphless cell between Hebrew and Latin: the left one wins", narrowCells(U"\u05D0\u00ADa"), fixedLtr, 8,
         {1, 0, 2, 3, 4, 5, 6, 7}},
        {"right-to-left scalars past U+FFFF", narrowCells(U"ab\U00010800\U00010801"), automatic, 8,
         {0, 1, 3, 2, 4, 5, 6, 7}},
        {"Arabic letters keep their direction", narrowCells(U"ab\u0628\u0644\u0627"), automatic, 8,
         {0, 1, 4, 3, 2, 5, 6, 7}},
        {"a combining mark in its own cell", narrowCells(U"\u05D0\u0301\u05D1"), automatic, 8,
         {7, 6, 5, 4, 3, 2, 1, 0}},
        {"wide right-to-left cell keeps its halves in order",
         {{U"a"}, {U"b"}, {U"\u05D1"}, {U"\u05D2"}, {U"\u05D0", 2}}, automatic, 8, {0, 1, 4, 5, 3, 2, 6, 7}},
        {"wide cell cut by the last visible column",
         {{U"\u05D0"}, {U"\u05D1"}, {U"\u05D2"}, {U"\u4E2D", 2}}, automatic, 4, {3, 2, 1, 0}},
    };
    for (const auto& c : cases) {
        auto terminal = bidiTerminal(8, 2);
        putCells(*terminal, c.cells);
        setState(*terminal, 0, c.state);
        const auto result = TerminalBidi::paragraphResult(0, terminal->buffer(), c.cols, *terminal, 1);
        ASSERT_NE(result, nullptr) << c.what;
        ASSERT_EQ(result->rows.count(0), 1u) << c.what;
        const BidiRowLayout& layout = result->rows.at(0);
        EXPECT_EQ(layout.visualToLogicalCol, c.visualToLogical) << c.what;
        expectInverseMaps(layout, c.cols, c.what);
    }
}

// Arabic letters show their joined forms; cells shown right-to-left show their mirror images.
TEST_F(TerminalBidiLayout, ShapedAndMirroredDisplays)
{
    const struct {
        const char* what;
        std::u32string text;
        BidiPresentationState state;
        std::map<int, std::u32string> displays; // by logical column
    } cases[] = {
        {"beh beh alef", U"\u0628\u0628\u0627", BidiPresentationState::defaultState(),
         {{0, U"\uFE91"}, {1, U"\uFE92"}, {2, U"\uFE8E"}}},
        {"lam alef", U"\u0644\u0627", BidiPresentationState::defaultState(), {{0, U"\uFEFB"}, {1, U" "}}},
        {"brackets in a right-to-left run", U"\u05D0(\u05D1)", fixedDirection(ltr), {{1, U")"}, {3, U"("}}},
        {"brackets in a left-to-right run", U"a(b) \u05D0", fixedDirection(ltr), {}},
        {"box corner in a right-to-left run", U"\u05D0\u250C\u05D1", fixedDirection(ltr, true), {{1, U"\u2510"}}},
        {"box corner without box mirroring", U"\u05D0\u250C\u05D1", fixedDirection(ltr), {}},
        {"box corner in a left-to-right run", U"a\u250Cb \u05D0", fixedDirection(ltr, true), {}},
    };
    for (const auto& c : cases) {
        auto terminal = bidiTerminal(8, 2);
        putRow(*terminal, 0, c.text);
        setState(*terminal, 0, c.state);
        const auto result = paragraphOf(*terminal, 0);
        ASSERT_NE(result, nullptr) << c.what;
        std::map<int, std::u32string> displays;
        for (const auto& cell : result->rows.at(0).visualCells) {
            if (cell.display) displays[cell.logicalCol] = *cell.display;
        }
        EXPECT_EQ(displays, c.displays) << c.what;
    }
}

TEST(TerminalBidiBaseDirection, FirstStrongLetterDecides)
{
    const struct {
        const char* what;
        std::u32string text; // one cell per scalar
        BidiDirection fallback;
        BidiDirection expected;
    } cases[] = {
        {"digits and a bracket before Hebrew", U"12(\u05D0", ltr, rtl},
        {"Latin first", U"12 a \u05D0", rtl, ltr},
        {"left-to-right mark before Hebrew", U"\u200E\u05D0", rtl, ltr},
        {"right-to-left mark before Latin", U"1\u200Fab", ltr, rtl},
        {"Arabic letter", U"- \u0628", ltr, rtl},
        {"an embedding control decides nothing", U"\u202Ba", rtl, ltr},
        {"Arabic-Indic digits decide nothing", U"\u0661\u0662a", rtl, ltr},
        {"nothing strong, left-to-right fallback", U"123 (!)", ltr, ltr},
        {"nothing strong, right-to-left fallback", U"123 (!)", rtl, rtl},
        {"no cells", U"", rtl, rtl},
    };
    for (const auto& c : cases) {
        std::vector<TerminalBidi::Cell> cells;
        for (size_t i = 0; i < c.text.size(); ++i) cells.push_back({0, int(i), 1, c.text.substr(i, 1)});
        EXPECT_EQ(TerminalBidi::detectedBaseDirection(cells, c.fallback), c.expected) << c.what;
    }
    // A mark inside a cluster counts like one in a cell of its own.
    const std::vector<TerminalBidi::Cell> cluster{{0, 0, 1, U"1\u200F"}, {0, 1, 1, U"a"}};
    EXPECT_EQ(TerminalBidi::detectedBaseDirection(cluster, ltr), rtl);
}
