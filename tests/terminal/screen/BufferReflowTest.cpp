#include "terminal/screen/Buffer.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

using namespace corvix;

namespace {

// Text fixtures: lower-case letters, digits and punctuation are width-1 characters, upper-case
// letters stand for width-2 characters, '\n' is a carriage return plus line feed.
constexpr int32_t kWideBase = 0x4E00;

CharData glyph(char c)
{
    CharData d;
    if (c >= 'A' && c <= 'Z') {
        d.code = kWideBase + (c - 'A');
        d.width = 2;
    } else {
        d.code = c;
    }
    return d;
}

char render(const CharData& d)
{
    if (d.width == 0) {
        return '_';
    }
    if (d.code == 0) {
        return '.';
    }
    return d.code >= kWideBase ? static_cast<char>('A' + (d.code - kWideBase)) : static_cast<char>(d.code);
}

// A buffer whose scroll hook scrolls the whole screen the way the terminal does: push while the
// ring has room, recycle (and count the trimmed line) once it is full.
std::unique_ptr<Buffer> make(int cols, int rows, std::optional<int64_t> scrollback = 100, bool fill = true)
{
    auto buffer = std::make_unique<Buffer>(cols, rows, 8, scrollback, BidiPresentationState{});
    Buffer* b = buffer.get();
    b->wraparound = true;
    b->scroll = [b](bool isWrapped) {
        CircularBufferLineList& lines = b->lines();
        if (lines.count() == lines.maxLength()) {
            lines.recycle(Attribute{});
            if (b->hasScrollback()) {
                ++b->linesTop;
            }
        } else {
            lines.push(b->getBlankLine(Attribute{}));
            b->setYBase(b->yBase() + 1);
            b->setYDisp(b->yBase());
        }
        lines[b->yBase() + b->y()].setIsWrapped(isWrapped);
    };
    if (fill) {
        b->fillViewportRows();
    }
    return buffer;
}

void newline(Buffer& b)
{
    b.setX(0);
    if (b.y() >= b.scrollBottom()) {
        b.scroll(false);
    } else {
        b.setY(b.y() + 1);
    }
}

void print(Buffer& b, std::string_view text)
{
    for (char c : text) {
        if (c == '\n') {
            newline(b);
        } else {
            b.insertCharacter(glyph(c));
        }
    }
}

std::string row(Buffer& b, int absoluteRow)
{
    std::string out;
    for (const CharData& d : b.lines()[absoluteRow].getData()) {
        out += render(d);
    }
    return out;
}

// The written characters of every logical line that holds any, top to bottom.
std::vector<std::string> logicalLines(Buffer& b)
{
    std::vector<std::string> out;
    std::string current;
    for (int i = 0; i < b.lines().count(); ++i) {
        BufferLine& line = b.lines()[i];
        if (!line.isWrapped() && !current.empty()) {
            out.push_back(current);
            current.clear();
        }
        for (const CharData& d : line.getData()) {
            if (d.code != 0) {
                current += render(d);
            }
        }
    }
    if (!current.empty()) {
        out.push_back(current);
    }
    return out;
}

// The number a row starts with (rows labelled by the test), -1 when none.
int label(Buffer& b, int absoluteRow)
{
    const std::string text = row(b, absoluteRow);
    const size_t digits = text.find_first_not_of("0123456789");
    return digits == 0 ? -1 : std::stoi(text.substr(0, digits));
}

} // namespace

TEST(BufferReflowTest, NarrowingSplitsALineAndWideningJoinsItBack)
{
    auto b = make(20, 5);
    print(*b, "abcdefghijklmno\n");
    ASSERT_EQ(b->y(), 1);

    b->resize(10, 5);
    EXPECT_EQ(row(*b, 0), "abcdefghij");
    EXPECT_EQ(row(*b, 1), "klmno.....");
    EXPECT_FALSE(b->lines()[0].isWrapped());
    EXPECT_TRUE(b->lines()[1].isWrapped());
    EXPECT_FALSE(b->lines()[2].isWrapped());
    // The screen was not full: the cursor follows its line down and the last blank line goes.
    EXPECT_EQ(b->lines().count(), 5);
    EXPECT_EQ(b->yBase(), 0);
    EXPECT_EQ(b->y(), 2);
    EXPECT_EQ(b->cols(), 10);

    b->resize(20, 5);
    EXPECT_EQ(row(*b, 0), "abcdefghijklmno.....");
    EXPECT_EQ(row(*b, 1), std::string(20, '.'));
    EXPECT_FALSE(b->lines()[1].isWrapped());
    EXPECT_EQ(b->lines().count(), 5);
    EXPECT_EQ(b->y(), 1);
}

TEST(BufferReflowTest, AWideCharacterAtTheNewEdgeMovesToTheNextRow)
{
    auto b = make(20, 5);
    print(*b, "abcdefghiXklm\n");
    ASSERT_EQ(row(*b, 0), "abcdefghiX_klm......");

    b->resize(10, 5);
    EXPECT_EQ(row(*b, 0), "abcdefghi.");
    EXPECT_EQ(row(*b, 1), "X_klm.....");
    EXPECT_TRUE(b->lines()[1].isWrapped());

    // Widening skips the blank the wide character left behind.
    b->resize(20, 5);
    EXPECT_EQ(row(*b, 0), "abcdefghiX_klm......");
    EXPECT_FALSE(b->lines()[1].isWrapped());
    EXPECT_EQ(row(*b, 1), std::string(20, '.'));
}

TEST(BufferReflowTest, TheCursorsLogicalLineIsLeftToTheApplication)
{
    struct Case {
        const char* name;
        int cols;
        int newCols;
        int cursorRow; // row of the logical line the cursor is put on
        std::vector<std::string> rows;
    };
    const Case cases[] = {
        {"narrowing cuts the row instead of splitting it", 20, 10, 0, {"abcdefghij", ".........."}},
        {"widening keeps the continuation row (cursor on it)", 10, 20, 1,
         {"abcdefghij..........", "klmno..............."}},
        {"widening keeps the continuation row (cursor on the first row)", 10, 20, 0,
         {"abcdefghij..........", "klmno..............."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto b = make(c.cols, 5);
        print(*b, "abcdefghijklmno");
        b->setY(c.cursorRow);
        const bool wasWrapped = b->lines()[1].isWrapped();
        b->resize(c.newCols, 5);
        EXPECT_EQ(row(*b, 0), c.rows[0]);
        EXPECT_EQ(row(*b, 1), c.rows[1]);
        EXPECT_EQ(b->lines()[1].isWrapped(), wasWrapped);
        EXPECT_EQ(b->y(), c.cursorRow);
        EXPECT_EQ(b->lines().count(), 5);
    }
}

TEST(BufferReflowTest, GrowingRowsPullsScrollbackIntoViewBeforeAddingBlankLines)
{
    auto b = make(10, 5);
    print(*b, "l0\nl1\nl2\nl3\nl4\nl5\nl6\nl7\n");
    ASSERT_EQ(b->yBase(), 4);
    ASSERT_EQ(b->y(), 4);
    ASSERT_EQ(b->lines().count(), 9);

    b->resize(10, 8);
    EXPECT_EQ(b->yBase(), 1);
    EXPECT_EQ(b->yDisp(), 1);
    EXPECT_EQ(b->y(), 7);
    EXPECT_EQ(b->lines().count(), 9);
    EXPECT_EQ(row(*b, b->yBase()), "l1........");

    b->resize(10, 12);
    EXPECT_EQ(b->yBase(), 0);
    EXPECT_EQ(b->y(), 8);
    EXPECT_EQ(b->lines().count(), 12);
    EXPECT_EQ(row(*b, 11), "..........");
    EXPECT_EQ(b->scrollBottom(), 11);
}

TEST(BufferReflowTest, ShrinkingRows)
{
    // With the cursor on the last line the screen scrolls, so nothing above it is lost.
    auto bottom = make(10, 6);
    print(*bottom, "a\nb\nc\nd\ne\nf");
    bottom->resize(10, 3);
    EXPECT_EQ(bottom->lines().count(), 6);
    EXPECT_EQ(bottom->yBase(), 3);
    EXPECT_EQ(bottom->yDisp(), 3);
    EXPECT_EQ(bottom->y(), 2);
    EXPECT_EQ(row(*bottom, bottom->yBase()), "d.........");
    EXPECT_EQ(bottom->scrollBottom(), 2);

    // With the cursor at the top, the blank lines below it go.
    auto top = make(10, 6);
    print(*top, "a");
    top->resize(10, 3);
    EXPECT_EQ(top->lines().count(), 3);
    EXPECT_EQ(top->yBase(), 0);
    EXPECT_EQ(top->y(), 0);
    EXPECT_EQ(row(*top, 0), "a.........");
}

TEST(BufferReflowTest, TheAlternateBufferIsNeverReflowed)
{
    auto narrowed = make(20, 5, std::nullopt);
    print(*narrowed, "abcdefghijklmno\n");
    narrowed->resize(10, 5);
    EXPECT_EQ(row(*narrowed, 0), "abcdefghijklmno.....");
    EXPECT_FALSE(narrowed->lines()[1].isWrapped());
    EXPECT_EQ(narrowed->lines().count(), 5);
    EXPECT_EQ(narrowed->y(), 1);

    auto widened = make(10, 5, std::nullopt);
    print(*widened, "abcdefghijklmno\n");
    widened->resize(20, 5);
    EXPECT_EQ(row(*widened, 0), "abcdefghij..........");
    EXPECT_EQ(row(*widened, 1), "klmno...............");
    EXPECT_TRUE(widened->lines()[1].isWrapped());
    EXPECT_EQ(widened->y(), 2);
}

TEST(BufferReflowTest, ABufferWithoutScrollbackNeverGainsOne)
{
    // The alternate ring is empty before it is first shown and after it is left.
    auto fresh = make(80, 24, std::nullopt, false);
    auto left = make(80, 24, std::nullopt);
    left->clear();
    auto shown = make(80, 24, std::nullopt);
    for (Buffer* b : {fresh.get(), left.get(), shown.get()}) {
        b->resize(80, 40);
        b->resize(100, 10);
        EXPECT_EQ(b->lines().maxLength(), 10);
        b->fillViewportRows();
        print(*b, std::string(30, '\n'));
        EXPECT_EQ(b->lines().count(), 10);
        EXPECT_EQ(b->yBase(), 0);
    }

    // An empty ring otherwise only takes the new size.
    auto empty = make(80, 24, 100, false);
    empty->resize(100, 10);
    EXPECT_EQ(empty->lines().maxLength(), 110);
    EXPECT_EQ(empty->lines().count(), 0);
    EXPECT_EQ(empty->scrollBottom(), 9);
    EXPECT_EQ(empty->tabStops.size(), 100u);
    EXPECT_EQ(empty->cols(), 100);
    EXPECT_EQ(empty->rows(), 10);
}

// Rows counted from `linesTop` keep naming the same lines when a resize drops the oldest ones.
TEST(BufferReflowTest, ScrollInvariantRowsSurviveLinesDroppedOffTheTop)
{
    auto expectStable = [](Buffer& b, int labelledRows) {
        for (int i = 0; i < labelledRows; ++i) {
            EXPECT_EQ(label(b, i), b.linesTop + i) << "row " << i;
        }
    };

    // Shrinking the rows shrinks the ring.
    auto shrunk = make(10, 5, 5);
    print(*shrunk, "0\n1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n");
    ASSERT_EQ(shrunk->linesTop, 3);
    expectStable(*shrunk, 9);
    shrunk->resize(10, 3);
    EXPECT_EQ(shrunk->lines().maxLength(), 8);
    EXPECT_EQ(shrunk->linesTop, 5);
    EXPECT_EQ(shrunk->yBase() + shrunk->y(), 7);
    expectStable(*shrunk, 7);

    // Narrowing a full ring pushes the oldest line out.
    auto narrowed = make(20, 5, 5);
    print(*narrowed, "0\n1\n2\n3\n4\n5\n6\n7\n8\n9\nabcdefghijklmno\n");
    ASSERT_EQ(narrowed->linesTop, 2);
    narrowed->resize(10, 5);
    EXPECT_EQ(narrowed->linesTop, 3);
    expectStable(*narrowed, 7);
    EXPECT_EQ(row(*narrowed, 7), "abcdefghij");
    EXPECT_EQ(row(*narrowed, 8), "klmno.....");
    EXPECT_EQ(narrowed->yBase() + narrowed->y(), 9);
}

TEST(BufferReflowTest, NarrowingWithoutRoomForScrollbackKeepsTheScreenInTheRing)
{
    // No scroll-back: the rows the split lines need push the oldest line out instead of
    // scrolling the screen past the end of the ring.
    auto b = make(20, 4, 0);
    print(*b, "aaaaaaaaaaaaaaa\nbbbbbbbbbbbbbbb\n");
    ASSERT_EQ(b->y(), 2);
    b->resize(10, 4);
    EXPECT_EQ(b->lines().count(), 4);
    EXPECT_EQ(b->yBase(), 0);
    EXPECT_EQ(b->y(), 3);
    EXPECT_EQ(b->linesTop, 1);
    EXPECT_EQ(row(*b, 0), "aaaaa.....");
    EXPECT_EQ(row(*b, 1), "bbbbbbbbbb");
    EXPECT_EQ(row(*b, 2), "bbbbb.....");
    EXPECT_EQ(row(*b, 3), "..........");
}

TEST(BufferReflowTest, RowLengthsOnANarrowerWidth)
{
    auto lineOf = [](std::string_view text, int cols, bool isWrapped) {
        auto line = std::make_shared<BufferLine>(cols, CharData::Null, isWrapped);
        int col = 0;
        for (char c : text) {
            const CharData d = glyph(c);
            line->set(col++, d);
            if (d.width == 2) {
                CharData placeholder;
                placeholder.width = 0;
                line->set(col++, placeholder);
            }
        }
        return line;
    };
    // A row ending in a blank before a wide character counts one cell short.
    const std::vector<CircularBufferLineList::LinePtr> rows = {lineOf("abcdefghi", 10, false),
                                                               lineOf("Xklm", 10, true)};
    EXPECT_EQ(Buffer::getWrappedLineTrimmedLength(rows, 0, 10), 9);
    EXPECT_EQ(Buffer::getWrappedLineTrimmedLength(rows, 1, 10), 5);
    // A wide character cut at the last column has no right half to move.
    const std::vector<CircularBufferLineList::LinePtr> cut = {lineOf("abcdefghiX", 11, false)};
    cut[0]->resize(10, CharData::Null);
    EXPECT_EQ(Buffer::getWrappedLineTrimmedLength(cut, 0, 10), 10);
    // "abcdefghi" + "X_klm": the wide character starts a row of its own where it would straddle.
    EXPECT_EQ(Buffer::getNewLineLengths(rows, 10, 5), (std::vector<int>{5, 4, 5}));
    EXPECT_EQ(Buffer::getNewLineLengths(rows, 10, 4), (std::vector<int>{4, 4, 4, 2}));
    EXPECT_EQ(Buffer::getNewLineLengths(rows, 10, 2), (std::vector<int>{2, 2, 2, 2, 1, 2, 2, 1}));
}

TEST(BufferReflowTest, OddRowsLeftByEarlierResizes)
{
    // The cursor's line is cut rather than reflowed; a wide character cut in half is blanked,
    // and the row narrows again without reading past its end.
    auto cut = make(20, 5);
    print(*cut, "abcdefghiX");
    cut->resize(10, 5);
    EXPECT_EQ(row(*cut, 0), "abcdefghi.");
    cut->setY(2);
    cut->resize(5, 5);
    EXPECT_EQ(row(*cut, 0), "abcde");
    EXPECT_EQ(row(*cut, 1), "fghi.");

    // A blank continuation row whose first row went off the top is left alone.
    auto orphan = make(10, 3, 5);
    orphan->lines()[0].setIsWrapped(true);
    orphan->setY(2);
    orphan->resize(5, 3);
    EXPECT_EQ(orphan->lines().count(), 3);
    EXPECT_TRUE(orphan->lines()[0].isWrapped());
}

// Random content with wrapped lines and wide characters, resized at random: the buffer stays
// consistent after every step.
TEST(BufferReflowTest, RandomResizeSequencesKeepTheBufferConsistent)
{
    std::mt19937 rng(20261210);
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const std::string alphabet = "abcdefghijklmnopqrstuvwxyzABCDEFG\n\n";
    auto randomText = [&](int length) {
        std::string text;
        for (int i = 0; i < length; ++i) {
            text += alphabet[static_cast<size_t>(pick(0, static_cast<int>(alphabet.size()) - 1))];
        }
        return text;
    };
    const std::optional<int64_t> scrollbacks[] = {std::nullopt, 0, 3, 40};

    for (int run = 0; run < 1000; ++run) {
        const std::optional<int64_t> scrollback = scrollbacks[run % 4];
        auto b = make(pick(2, 30), pick(1, 12), scrollback);
        print(*b, randomText(pick(0, 400)));
        for (int step = 0; step < 8; ++step) {
            b->setY(pick(0, b->rows() - 1));
            b->setX(pick(0, b->cols()));
            b->savedY = pick(0, b->rows() - 1);
            const int newCols = pick(2, 40);
            const int newRows = pick(1, 15);
            SCOPED_TRACE("run " + std::to_string(run) + " step " + std::to_string(step) + ": "
                         + std::to_string(b->cols()) + "x" + std::to_string(b->rows()) + " -> "
                         + std::to_string(newCols) + "x" + std::to_string(newRows));
            b->resize(newCols, newRows);

            CircularBufferLineList& lines = b->lines();
            ASSERT_EQ(lines.maxLength(), b->getCorrectBufferLength(newRows));
            ASSERT_LE(lines.count(), lines.maxLength());
            for (int i = 0; i < lines.count(); ++i) {
                if (b->hasScrollback()) {
                    ASSERT_EQ(lines[i].count(), newCols) << "line " << i;
                } else {
                    ASSERT_GE(lines[i].count(), newCols) << "line " << i;
                }
            }
            ASSERT_GE(b->x(), 0);
            ASSERT_LT(b->x(), newCols);
            ASSERT_GE(b->y(), 0);
            ASSERT_LT(b->y(), newRows);
            ASSERT_GE(b->yBase(), 0);
            ASSERT_LE(b->yBase() + newRows, lines.count());
            ASSERT_GE(b->yDisp(), 0);
            ASSERT_LE(b->yDisp(), b->yBase());
            ASSERT_GE(b->savedY, 0);
            ASSERT_EQ(b->scrollTop(), 0);
            ASSERT_EQ(b->scrollBottom(), newRows - 1);
            ASSERT_EQ(b->tabStops.size(), static_cast<size_t>(newCols));
            if (!scrollback) {
                ASSERT_EQ(lines.count(), newRows);
            }

            // Printing on after the resize works on the new geometry.
            print(*b, randomText(pick(0, 60)));
        }
    }
}

// With the cursor parked on a blank line and room in the scroll-back, any sequence of widths
// keeps the text of every logical line.
TEST(BufferReflowTest, ReflowKeepsTheTextOfEveryLogicalLine)
{
    std::mt19937 rng(7);
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const std::string alphabet = "abcdefghijklmnopqrstuvwxyzABCDEFGH\n";
    for (int run = 0; run < 200; ++run) {
        auto b = make(pick(2, 25), pick(1, 8), 1000);
        std::string text;
        for (int i = pick(1, 250); i > 0; --i) {
            text += alphabet[static_cast<size_t>(pick(0, static_cast<int>(alphabet.size()) - 1))];
        }
        print(*b, text + "\n");
        const std::vector<std::string> expected = logicalLines(*b);
        for (int step = 0; step < 6; ++step) {
            const int newCols = pick(2, 30);
            SCOPED_TRACE("run " + std::to_string(run) + ": " + std::to_string(b->cols()) + " -> "
                         + std::to_string(newCols) + " columns");
            b->resize(newCols, b->rows());
            ASSERT_EQ(logicalLines(*b), expected);
            ASSERT_EQ(row(*b, b->yBase() + b->y()), std::string(static_cast<size_t>(newCols), '.'));
        }
    }
}

// The cursor anywhere on the screen, as programs that redraw a status area below it leave it,
// and room in the scroll-back: any sequence of widths keeps the text of every other logical line,
// and the cursor stays on its own line (whose rows the application redraws).
TEST(BufferReflowTest, ReflowKeepsTheTextAroundACursorAnywhere)
{
    std::mt19937 rng(11);
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const std::string alphabet = "abcdefghijklmnopqrstuvwxyzABCDEFGH\n\n";
    // Logical lines with the first row of each: the cursor's is found by its row.
    auto linesWithStarts = [](Buffer& b) {
        std::vector<std::pair<int, std::string>> out;
        for (int i = 0; i < b.lines().count(); ++i) {
            BufferLine& line = b.lines()[i];
            if (!line.isWrapped() || out.empty()) out.push_back({i, ""});
            for (const CharData& d : line.getData()) {
                if (d.code != 0) out.back().second += render(d);
            }
        }
        return out;
    };
    for (int run = 0; run < 400; ++run) {
        auto b = make(pick(2, 25), pick(2, 10), 1000);
        std::string text;
        for (int i = pick(1, 200); i > 0; --i) {
            text += alphabet[static_cast<size_t>(pick(0, static_cast<int>(alphabet.size()) - 1))];
        }
        print(*b, text);
        b->setY(pick(0, b->rows() - 1));
        b->setX(0);
        for (int step = 0; step < 4; ++step) {
            auto before = linesWithStarts(*b);
            const int cursorRow = b->yBase() + b->y();
            size_t cursorLine = 0;
            while (cursorLine + 1 < before.size() && before[cursorLine + 1].first <= cursorRow) ++cursorLine;
            const std::string cursorText = before[cursorLine].second;
            before.erase(before.begin() + static_cast<ptrdiff_t>(cursorLine));

            const int newCols = pick(2, 30);
            SCOPED_TRACE("run " + std::to_string(run) + " step " + std::to_string(step) + ": "
                         + std::to_string(b->cols()) + " -> " + std::to_string(newCols)
                         + " columns, cursor row " + std::to_string(b->y()));
            b->resize(newCols, b->rows());

            // Every other line keeps its text and order; the cursor's line may come out cut.
            const auto after = linesWithStarts(*b);
            std::vector<std::string> expected;
            for (const auto& [start, t] : before) {
                if (!t.empty()) expected.push_back(t);
            }
            size_t matched = 0;
            size_t cursorLineAfter = 0;
            for (size_t k = 0; k < after.size(); ++k) {
                if (after[k].first <= b->yBase() + b->y()) cursorLineAfter = k;
                if (matched < expected.size() && after[k].second == expected[matched]) ++matched;
            }
            ASSERT_EQ(matched, expected.size());
            // The cursor stays on its line, unless rows added below pushed that line above the
            // screen (the cursor then stays on the top row).
            if (b->y() > 0) {
                ASSERT_EQ(after[cursorLineAfter].second.substr(0, 1), cursorText.substr(0, 1));
            }
        }
    }
}
