#include "terminal/engine/Terminal.hpp"
#include "terminal/selection/SelectionService.hpp"

#include "terminal/engine/support/Options.hpp"
#include "terminal/engine/support/RecordingDelegate.hpp"

#include <gtest/gtest.h>

using namespace corvix;
using corvix::test::sized;
using corvix::test::RecordingDelegate;

namespace corvix {
void PrintTo(const Position& p, std::ostream* os) { *os << p.debugDescription(); }
} // namespace corvix

namespace {

struct Fixture {
    RecordingDelegate delegate;
    Terminal terminal;
    std::shared_ptr<SelectionService> selection;

    explicit Fixture(int cols = 30, int rows = 12) : terminal(&delegate, sized(cols, rows))
    {
        selection = SelectionService::create(terminal);
    }
    // Writes `text` at the start of screen row `row` (a fresh terminal: buffer row = screen row).
    void write(int row, std::string_view text)
    {
        terminal.buffer().setY(row);
        terminal.buffer().setX(0);
        terminal.feed(text);
    }
    void doubleClick(int col, int row) { selection->selectWordOrExpression({col, row}, terminal.buffer()); }
    int notifications() const { return int(delegate.callsNamed("selectionChanged").size()); }
};

struct Range {
    Position start, end;
    bool hasRange;
};

void expectRange(const SelectionService& s, const Range& r, const std::string& what)
{
    EXPECT_EQ(s.start, r.start) << what << ": start " << s.start.debugDescription();
    EXPECT_EQ(s.end, r.end) << what << ": end " << s.end.debugDescription();
    EXPECT_EQ(s.hasSelectionRange, r.hasRange) << what;
}

} // namespace

TEST(SelectionService, DoubleClickSelectsTheRunUnderTheMouse)
{
    Fixture f;
    f.write(1, "x foo.bar-baz_1   y");
    f.write(2, "caf\xc3\xa9 \xe2\x86\x92 x");
    f.write(3, "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e x");
    struct Case {
        int col, row;
        Range expected;
    } cases[] = {
        {2, 1, {{2, 1}, {15, 1}, true}},   // start of the token
        {9, 1, {{9, 1}, {9, 1}, false}},   // its "-": joins words but does not start one
        {14, 1, {{2, 1}, {15, 1}, true}},  // its last character
        {16, 1, {{15, 1}, {18, 1}, true}}, // the blanks after it
        {25, 1, {{19, 1}, {30, 1}, true}}, // the empty cells after the text
        {0, 2, {{0, 2}, {4, 2}, true}},    // letters outside ASCII
        {5, 2, {{5, 2}, {5, 2}, false}},   // an arrow is not a word character
        {1, 3, {{0, 3}, {6, 3}, true}},    // wide letters, clicked on a right half
        {7, 3, {{7, 3}, {8, 3}, true}},    // the blank after them
    };
    for (const auto& c : cases) {
        f.doubleClick(c.col, c.row);
        expectRange(*f.selection, c.expected, "click at " + std::to_string(c.col));
        EXPECT_TRUE(f.selection->active());
        EXPECT_EQ(f.selection->selectionMode, SelectionService::SelectionMode::word);
        ASSERT_TRUE(f.selection->wordSelectionAnchor);
        EXPECT_EQ(f.selection->wordSelectionAnchor->first, c.expected.start);
        EXPECT_EQ(f.selection->wordSelectionAnchor->second, c.expected.end);
    }
    f.doubleClick(2, 1);
    EXPECT_EQ(f.selection->getSelectedText(), "foo.bar-baz_1");
    f.doubleClick(3, 3);
    EXPECT_EQ(f.selection->getSelectedText(), "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e");
}

TEST(SelectionService, DoubleClickOnABracketSelectsThroughItsPartner)
{
    Fixture f;
    f.write(0, "f(a[1], {b})");
    f.write(1, "g(a[1)");
    f.write(3, "h(x,");
    f.write(4, "  (y)) z");
    struct Case {
        int col, row;
        Range expected;
    } cases[] = {
        {1, 0, {{1, 0}, {12, 0}, true}}, // "(" forward to its ")"
        {3, 0, {{3, 0}, {6, 0}, true}},  // "["
        {10, 0, {{8, 0}, {11, 0}, true}}, // "}" back to its "{"
        {11, 0, {{1, 0}, {12, 0}, true}}, // ")" back over the nested pairs
        {3, 1, {{3, 1}, {3, 1}, false}}, // "[" closed by nothing: the ")" does not match it
        {1, 3, {{1, 3}, {6, 4}, true}},  // across rows, forward
        {5, 4, {{1, 3}, {6, 4}, true}},  // and back
    };
    for (const auto& c : cases) {
        f.doubleClick(c.col, c.row);
        expectRange(*f.selection, c.expected, "click at " + std::to_string(c.col) + "," + std::to_string(c.row));
    }
    f.doubleClick(1, 0);
    EXPECT_EQ(f.selection->getSelectedText(), "(a[1], {b})");
    f.doubleClick(1, 3);
    EXPECT_EQ(f.selection->getSelectedText(), "(x,\n  (y))");
}

TEST(SelectionService, DoubleClickOutsideTheBufferIsClampedToItsLastCell)
{
    Fixture f(10, 4);
    f.write(0, "abc");
    f.write(3, "0123456789");
    f.doubleClick(10, 3); // one past the last column
    expectRange(*f.selection, {{0, 3}, {10, 3}, true}, "column past the edge");
    f.doubleClick(1, 50); // a row past the last line
    expectRange(*f.selection, {{0, 3}, {10, 3}, true}, "row past the end");
    f.doubleClick(-4, -2);
    expectRange(*f.selection, {{0, 0}, {3, 0}, true}, "negative position");
}

TEST(SelectionService, DraggingAfterADoubleClickNeverShrinksBelowTheWord)
{
    Fixture f;
    f.write(0, "one two three four");
    f.doubleClick(9, 0); // "three"
    expectRange(*f.selection, {{8, 0}, {13, 0}, true}, "double-click");

    f.selection->dragExtend({10, 0});
    expectRange(*f.selection, {{8, 0}, {13, 0}, true}, "inside the word");
    f.selection->dragExtend({5, 0});
    expectRange(*f.selection, {{4, 0}, {13, 0}, true}, "left: to the start of the word under the mouse");
    f.selection->dragExtend({15, 0});
    expectRange(*f.selection, {{8, 0}, {18, 0}, true}, "right: to the end of the word under the mouse");
    EXPECT_EQ(f.selection->getSelectedText(), "three four");
}

TEST(SelectionService, ShiftClickKeepsTheFarSideFixed)
{
    Fixture f;
    f.write(0, "alpha beta gamma");
    f.selection->start = {6, 0};
    f.selection->startSelection();
    f.selection->dragExtend({10, 0});
    EXPECT_EQ(f.selection->getSelectedText(), "beta");

    f.selection->shiftExtend({2, 0}); // before the start of a forward selection
    expectRange(*f.selection, {{10, 0}, {2, 0}, true}, "flipped");
    EXPECT_EQ(f.selection->getSelectedText(), "pha beta");
    f.selection->shiftExtend({13, 0}); // past the new start: flips back around the old end
    expectRange(*f.selection, {{2, 0}, {13, 0}, true}, "flipped back");

    // In word mode the click snaps to the word's edge in the direction of the extension.
    f.doubleClick(8, 0);
    f.selection->shiftExtend({13, 0});
    expectRange(*f.selection, {{6, 0}, {16, 0}, true}, "word mode forward");
}

TEST(SelectionService, ExplicitRangesClampOnlyAboveTheBuffer)
{
    Fixture f(10, 4);
    f.selection->setSelection({3, 50}, {20, 60});
    expectRange(*f.selection, {{3, 3}, {9, 3}, true}, "past the end");
    f.selection->setSelection({-2, -5}, {-2, -5});
    expectRange(*f.selection, {{-2, -5}, {-2, -5}, false}, "negative values stay");
    EXPECT_TRUE(f.selection->active());
    EXPECT_EQ(f.selection->getSelectedText(), "");
}

TEST(SelectionService, SelectedTextStartingAtTheLineCountIsEmpty)
{
    Fixture f(10, 4);
    f.write(3, "last");
    f.selection->start = {0, 4}; // the line count: a line that does not exist
    f.selection->end = {5, 6};
    f.selection->setActive(true);
    EXPECT_EQ(f.selection->getSelectedText(), "");
    f.selection->start = {0, 3};
    EXPECT_EQ(f.selection->getSelectedText(), "last");
}

TEST(SelectionService, RowAndWholeBufferSelections)
{
    Fixture f(10, 4);
    f.write(0, "top");
    f.write(2, "middle");
    f.selection->select(2);
    expectRange(*f.selection, {{0, 2}, {9, 2}, true}, "row");
    EXPECT_TRUE(f.selection->selectingRows);
    EXPECT_EQ(f.selection->selectionMode, SelectionService::SelectionMode::row);
    EXPECT_EQ(f.selection->getSelectedText(), "middle");

    f.selection->selectAll();
    EXPECT_EQ(f.selection->end, (Position{9, f.terminal.buffer().lines().maxLength() - 1}));
    EXPECT_EQ(f.selection->getSelectedText(), "top\n\nmiddle");
}

TEST(SelectionService, EveryChangeNotifiesTheDelegate)
{
    Fixture f;
    f.selection->setSoftStart({4, 1});
    EXPECT_TRUE(f.selection->active());
    EXPECT_FALSE(f.selection->hasSelectionRange);
    f.selection->setActive(true); // no change, no notification
    f.selection->dragExtend({8, 1});
    f.selection->shiftExtend({9, 1});
    f.selection->select(0);
    f.selection->selectAll();
    f.selection->setSelection({0, 0}, {1, 0});
    f.doubleClick(0, 0);
    f.selection->startSelection();
    EXPECT_EQ(f.notifications(), 8);

    EXPECT_EQ(f.selection->debugDescription(),
              "[Selection (active=true, start=col=0 row=0 end=col=0 row=0 hasSR=false pivot=col=0 row=0]");
    f.selection->setActive(false);
    EXPECT_EQ(f.notifications(), 9);
    EXPECT_EQ(f.selection->debugDescription(),
              "[Selection (active=false, start=col=0 row=0 end=col=0 row=0 hasSR=false pivot=nil]");
}

TEST(SelectionService, InPlaceScrollMovesOrDropsTheSelection)
{
    struct Case {
        int startRow, endRow, top, bottom, lines;
        bool stays;
        int newStartRow, newEndRow;
    } cases[] = {
        {5, 7, 2, 10, 2, true, 3, 5},
        {5, 7, 2, 10, -3, true, 8, 10},
        {5, 7, 2, 10, 6, false, 0, 0},  // scrolled out at the top
        {5, 7, 2, 10, -4, false, 0, 0}, // and at the bottom
        {1, 3, 2, 10, 1, false, 0, 0},  // straddles the region's edge
        {0, 1, 2, 10, 1, true, 0, 1},   // wholly outside: untouched
    };
    for (const auto& c : cases) {
        Fixture f;
        f.doubleClick(0, c.startRow);
        f.selection->setSelection({1, c.startRow}, {4, c.endRow});
        f.selection->wordSelectionAnchor = std::make_pair(f.selection->start, f.selection->end);
        f.selection->pivot = f.selection->end;
        f.selection->adjustForInPlaceScroll(c.top, c.bottom, c.lines);
        std::string what = std::to_string(c.startRow) + "-" + std::to_string(c.endRow) + " by " + std::to_string(c.lines);
        EXPECT_EQ(f.selection->active(), c.stays) << what;
        if (c.stays) {
            EXPECT_EQ(f.selection->start, (Position{1, c.newStartRow})) << what;
            EXPECT_EQ(f.selection->end, (Position{4, c.newEndRow})) << what;
            EXPECT_EQ(f.selection->pivot, f.selection->end) << what << ": the pivot moves along";
            EXPECT_EQ(f.selection->wordSelectionAnchor->first.row, c.newStartRow) << what;
        } else {
            EXPECT_FALSE(f.selection->pivot) << what;
            EXPECT_FALSE(f.selection->wordSelectionAnchor) << what;
            EXPECT_EQ(f.selection->selectionMode, SelectionService::SelectionMode::character) << what;
        }
    }
}

TEST(SelectionService, FollowsTheTextOfARegionScrollingBelowTheTop)
{
    for (int lines : {2, 6}) {
        Fixture f;
        for (int r = 0; r < 12; r++) f.write(r, "row" + std::to_string(r));
        f.terminal.buffer().setScrollTop(2);
        f.terminal.buffer().setScrollBottom(10);
        f.selection->setSelection({0, 5}, {4, 7});
        ASSERT_EQ(f.selection->getSelectedText(), "row5\nrow6\nrow7");

        f.terminal.buffer().setY(10);
        for (int i = 0; i < lines; i++) f.terminal.feed("\n");
        if (lines == 2) {
            EXPECT_EQ(f.selection->start, (Position{0, 3}));
            EXPECT_EQ(f.selection->end, (Position{4, 5}));
            EXPECT_EQ(f.selection->getSelectedText(), "row5\nrow6\nrow7") << "the same text after the scroll";
        } else {
            EXPECT_FALSE(f.selection->active()) << "its first row left the region";
        }
    }
}
