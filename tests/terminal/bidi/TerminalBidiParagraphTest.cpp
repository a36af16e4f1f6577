#include "BidiTestSupport.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using namespace corvix;
using namespace corvix::test;
using RowRange = TerminalBidi::RowRange;

namespace {

// Rows 0...count-1 with the given wrap flags and a Hebrew letter in every row.
std::unique_ptr<Terminal> wrappedRows(const std::vector<bool>& wrapped, int cols = 10)
{
    auto terminal = bidiTerminal(cols, int(wrapped.size()));
    for (size_t r = 0; r < wrapped.size(); ++r) {
        putRow(*terminal, int(r), U"a\u05D0");
        terminal->buffer().lines()[int(r)].setIsWrapped(wrapped[r]);
    }
    return terminal;
}

// The paragraph of `row` as the public calls reveal it: none when layoutRevision says there
// is none, else the range a one-row dirty range widens to.
std::optional<RowRange> paragraphAt(Terminal& terminal, int row, int64_t maximumRows)
{
    if (TerminalBidi::layoutRevision(row, terminal.buffer(), maximumRows) == 0) return std::nullopt;
    return TerminalBidi::renderingDependencyRange({row, row}, terminal.buffer(), maximumRows);
}

class TerminalBidiParagraph : public ::testing::Test {
protected:
    void SetUp() override { TerminalBidi::clearParagraphCacheForTesting(); }
    void TearDown() override { TerminalBidi::clearParagraphCacheForTesting(); }
};

} // namespace

TEST(TerminalBidiMayNeedBidi, FindsRightToLeftScalarsInTheVisibleColumns)
{
    const struct {
        const char* what;
        std::vector<std::u32string> cells; // one per column
        int cols;
        bool expected;
    } cases[] = {
        {"Latin only", {U"a", U"b", U"c"}, 6, false},
        {"Hebrew in the last visible column", {U"a", U"b", U"c", U"d", U"e", U"\u05D0"}, 6, true},
        {"Hebrew beyond the visible columns", {U"a", U"b", U"c", U"d", U"e", U"\u05D0"}, 5, false},
        {"right-to-left mark inside a cluster", {U"a", U"b\u200F"}, 6, true},
        {"Latin cluster", {U"e\u0301"}, 6, false},
        {"right-to-left scalar past U+FFFF", {U"a", U"\U0001E900"}, 6, true},
        {"Arabic presentation form", {U"\uFEFB"}, 6, true},
        {"Armenian, just below the Hebrew block", {U"\u058F"}, 6, false},
        {"no visible columns", {U"\u05D0"}, 0, false},
    };
    for (const auto& c : cases) {
        auto terminal = bidiTerminal(6, 2);
        for (size_t i = 0; i < c.cells.size(); ++i) putCell(*terminal, 0, int(i), c.cells[i]);
        EXPECT_EQ(TerminalBidi::mayNeedBidi(terminal->buffer().lines()[0], c.cols, *terminal), c.expected) << c.what;
    }
}

// The walk strides over wide cells instead of reading their right halves.
TEST(TerminalBidiMayNeedBidi, StridesOverWideCells)
{
    auto terminal = bidiTerminal(6, 2);
    putCell(*terminal, 0, 0, U"\u4E2D", 2);
    putCell(*terminal, 0, 2, U"\u05D0");
    EXPECT_TRUE(TerminalBidi::mayNeedBidi(terminal->buffer().lines()[0], 6, *terminal));
    EXPECT_FALSE(TerminalBidi::mayNeedBidi(terminal->buffer().lines()[0], 2, *terminal));
}

TEST(TerminalBidiParagraphBounds, WrappedRowsJoinUpToTheLimit)
{
    constexpr bool T = true;
    constexpr bool F = false;
    using Bounds = std::optional<RowRange>;
    const struct {
        const char* what;
        std::vector<bool> wrapped;
        int64_t maximumRows;
        std::vector<Bounds> expected; // per row
    } cases[] = {
        {"four rows over a limit of three", {F, F, T, T, T, F}, 3,
         {RowRange{0, 0}, {}, {}, {}, {}, RowRange{5, 5}}},
        {"three rows within a limit of three", {F, F, T, T, F}, 3,
         {RowRange{0, 0}, RowRange{1, 3}, RowRange{1, 3}, RowRange{1, 3}, RowRange{4, 4}}},
        {"limit 0 counts as 1", {T, F, T, F, F}, 0,
         {RowRange{0, 0}, {}, {}, RowRange{3, 3}, RowRange{4, 4}}},
        {"a wrapped row 0 starts its paragraph", {T, T, F}, 500, {RowRange{0, 1}, RowRange{0, 1}, RowRange{2, 2}}},
        {"a paragraph from row 0 reaching the limit", {F, T, T}, 3,
         {RowRange{0, 2}, RowRange{0, 2}, RowRange{0, 2}}},
    };
    for (const auto& c : cases) {
        auto terminal = wrappedRows(c.wrapped);
        for (size_t r = 0; r < c.wrapped.size(); ++r) {
            EXPECT_EQ(paragraphAt(*terminal, int(r), c.maximumRows), c.expected[r]) << c.what << ", row " << r;
        }
    }
}

// The view's entry point takes its limit from the terminal's options.
TEST_F(TerminalBidiParagraph, ResultFollowsTheTerminalsLimit)
{
    auto terminal = wrappedRows({false, false, true, true, true, false});
    terminal->options.maximumBidiParagraphRows = 3;
    EXPECT_EQ(paragraphOf(*terminal, 2), nullptr);
    EXPECT_EQ(TerminalBidi::layoutRevision(2, terminal->buffer(), 3), 0u);

    terminal->options.maximumBidiParagraphRows = 4;
    const auto result = paragraphOf(*terminal, 2);
    ASSERT_NE(result, nullptr);
    std::vector<int> rows;
    for (const auto& [row, layout] : result->rows) rows.push_back(row);
    EXPECT_EQ(rows, (std::vector<int>{1, 2, 3, 4}));
}

TEST_F(TerminalBidiParagraph, NoParagraphForExplicitLinesOrRowsOutside)
{
    auto terminal = wrappedRows({false, false});
    auto state = BidiPresentationState::defaultState();
    state.supportMode = BidiSupportMode::explicit_;
    setState(*terminal, 1, state);
    EXPECT_EQ(paragraphOf(*terminal, 1), nullptr);
    EXPECT_EQ(TerminalBidi::layoutRevision(1, terminal->buffer(), 500), 0u);
    EXPECT_EQ(paragraphOf(*terminal, -1), nullptr);
    EXPECT_EQ(paragraphOf(*terminal, 2), nullptr);
    EXPECT_EQ(TerminalBidi::layoutRevision(2, terminal->buffer(), 500), 0u);
    EXPECT_NE(paragraphOf(*terminal, 0), nullptr);
}

TEST_F(TerminalBidiParagraph, RowsOfOneParagraphShareOneEntryUntilItChanges)
{
    auto terminal = wrappedRows({false, false, true, true, false});
    Buffer& buffer = terminal->buffer();
    const auto first = paragraphOf(*terminal, 1);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(paragraphOf(*terminal, 3), first);
    EXPECT_EQ(TerminalBidi::paragraphCacheCountForTesting(), 1u);
    const uint64_t revision = TerminalBidi::layoutRevision(2, buffer, 500);
    EXPECT_EQ(first->rows.at(3).paragraphRevision, revision);

    // A write to any cell of the paragraph makes a new revision and a new layout.
    putCell(*terminal, 3, 5, U"b");
    const uint64_t written = TerminalBidi::layoutRevision(1, buffer, 500);
    EXPECT_NE(written, revision);
    const auto rebuilt = paragraphOf(*terminal, 2);
    EXPECT_NE(rebuilt, first);
    EXPECT_EQ(rebuilt->rows.at(1).paragraphRevision, written);
    EXPECT_EQ(TerminalBidi::paragraphCacheCountForTesting(), 2u);

    // So do a wrap change, a replaced line, another column count and another font.
    buffer.lines()[4].setIsWrapped(true);
    EXPECT_NE(TerminalBidi::layoutRevision(1, buffer, 500), written);
    buffer.lines()[4].setIsWrapped(false);
    const uint64_t unwrapped = TerminalBidi::layoutRevision(1, buffer, 500);
    buffer.lines().set(2, std::make_shared<BufferLine>(buffer.lines()[2]));
    EXPECT_NE(TerminalBidi::layoutRevision(1, buffer, 500), unwrapped);

    const auto current = paragraphOf(*terminal, 1);
    EXPECT_EQ(paragraphOf(*terminal, 1), current);
    EXPECT_NE(TerminalBidi::paragraphResult(1, buffer, 9, *terminal, 1), current);
    EXPECT_NE(paragraphOf(*terminal, 1, 2), current);
}

TEST_F(TerminalBidiParagraph, TheEntryPastTheBoundEmptiesTheCache)
{
    auto terminal = wrappedRows({false});
    // Each font identity makes a distinct paragraph key.
    const auto firstEntry = paragraphOf(*terminal, 0, 1);
    for (uint64_t font = 2; font <= 256; ++font) paragraphOf(*terminal, 0, font);
    EXPECT_EQ(TerminalBidi::paragraphCacheCountForTesting(), 256u);
    EXPECT_EQ(paragraphOf(*terminal, 0, 1), firstEntry);

    paragraphOf(*terminal, 0, 257);
    EXPECT_EQ(TerminalBidi::paragraphCacheCountForTesting(), 1u);
    EXPECT_NE(paragraphOf(*terminal, 0, 1), firstEntry);
    EXPECT_EQ(TerminalBidi::paragraphCacheCountForTesting(), 2u);
}

TEST(TerminalBidiRenderingDependencyRange, WidensToWholeParagraphs)
{
    // Paragraphs: 0, 1, 2, 3...7, 8, 9...10, 11.
    auto terminal = wrappedRows({false, false, false, false, true, true, true, true, false, false, true, false});
    const struct {
        RowRange dirty;
        RowRange expected;
    } cases[] = {
        {{5, 5}, {3, 7}},
        {{5, 9}, {3, 10}},
        {{3, 7}, {3, 7}},
        {{8, 8}, {8, 8}},
        {{2, 4}, {2, 7}},
        {{-4, 1}, {0, 1}},
        {{10, 40}, {9, 11}},
        {{6, 2}, {3, 7}}, // an upper end below the lower end is raised to it
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TerminalBidi::renderingDependencyRange(c.dirty, terminal->buffer(), 500), c.expected)
            << c.dirty.first << "..." << c.dirty.last;
    }
    // Over-long paragraphs and explicit lines are not widened.
    EXPECT_EQ(TerminalBidi::renderingDependencyRange({5, 5}, terminal->buffer(), 3), (RowRange{5, 5}));
    auto state = BidiPresentationState::defaultState();
    state.supportMode = BidiSupportMode::explicit_;
    setState(*terminal, 5, state);
    EXPECT_EQ(TerminalBidi::renderingDependencyRange({5, 5}, terminal->buffer(), 500), (RowRange{5, 5}));
}
