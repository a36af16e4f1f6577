#include "app/Views/TerminalLineTextExtractor.hpp"

#include "terminal/engine/Terminal.hpp"
#include "terminal/view/TerminalView.hpp"
#include "tests/app/TerminalTilePrinters.hpp"

#include <gtest/gtest.h>

using namespace brisvane;
using namespace brisvane::TerminalLineTextExtractor;

namespace {

class TerminalLineTextExtractorTest : public testing::Test {
protected:
    corvix::Terminal& terminal() { return view.getTerminal(); }

    corvix::TerminalView view{QRect(0, 0, 640, 400)};
};

QList<CellRange> firstRanges(const ExtractedLine& line, int count)
{
    return line.characterCellRanges.mid(0, count);
}

} // namespace

TEST_F(TerminalLineTextExtractorTest, WideCharactersCoverTwoCellsAndTokensReportCells)
{
    view.feed("\u4E2D a/b");

    const std::optional<ExtractedLine> line = extractLine(terminal(), 0);
    ASSERT_TRUE(line.has_value());
    // Blank cells to the end of the row are spaces: one character per cell after the text.
    EXPECT_EQ(line->characters.size(), terminal().cols - 1);
    EXPECT_EQ(line->characters.mid(0, 5), QStringList({"\u4E2D", " ", "a", "/", "b"}));
    EXPECT_EQ(firstRanges(*line, 5), QList<CellRange>({{0, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}}));

    const LocatedToken aSlashB{{"a/b", 2, 5}, 3, 6};
    EXPECT_EQ(enumerateFilePathTokens(terminal(), 0), QList<LocatedToken>({aSlashB}));
    for (int cell : {3, 4, 5}) {
        SCOPED_TRACE(cell);
        EXPECT_EQ(detectFilePathToken(terminal(), 0, cell), aSlashB);
    }
    // Off the token, and outside the row.
    for (int cell : {0, 1, 2, 6, -1, terminal().cols, 10'000}) {
        SCOPED_TRACE(cell);
        EXPECT_EQ(detectFilePathToken(terminal(), 0, cell), std::nullopt);
    }
}

TEST_F(TerminalLineTextExtractorTest, TheRightHalfOfAWideCharacterIsThatCharacter)
{
    view.feed("\u4E2D/x y");
    const LocatedToken token{{"\u4E2D/x", 0, 3}, 0, 4};
    EXPECT_EQ(detectFilePathToken(terminal(), 0, 0), token);
    EXPECT_EQ(detectFilePathToken(terminal(), 0, 1), token);
}

TEST_F(TerminalLineTextExtractorTest, ClustersStayOneCharacterAndAreNeverJoinedAgain)
{
    // A combining accent makes one cluster cell.
    view.feed("e\u0301/f\r\n");
    const std::optional<ExtractedLine> accented = extractLine(terminal(), 0);
    ASSERT_TRUE(accented.has_value());
    EXPECT_EQ(accented->characters.mid(0, 3), QStringList({"e\u0301", "/", "f"}));
    EXPECT_EQ(firstRanges(*accented, 3), QList<CellRange>({{0, 1}, {1, 2}, {2, 3}}));
    EXPECT_EQ(enumerateFilePathTokens(terminal(), 0), QList<LocatedToken>({{{"e\u0301/f", 0, 3}, 0, 3}}));

    // Two regional indicators in two cells (the second written over an "x"): read together they
    // would make one flag and shift every later column by one.
    view.feed("\U0001F1EFx\x1b[D\U0001F1F5 g/h");
    const std::optional<ExtractedLine> flags = extractLine(terminal(), 1);
    ASSERT_TRUE(flags.has_value());
    EXPECT_EQ(flags->characters.mid(0, 6), QStringList({"\U0001F1EF", "\U0001F1F5", " ", "g", "/", "h"}));
    EXPECT_EQ(firstRanges(*flags, 6), QList<CellRange>({{0, 2}, {2, 4}, {4, 5}, {5, 6}, {6, 7}, {7, 8}}));
    EXPECT_EQ(enumerateFilePathTokens(terminal(), 1), QList<LocatedToken>({{{"g/h", 3, 6}, 5, 8}}));
    EXPECT_EQ(detectFilePathToken(terminal(), 1, 5), (LocatedToken{{"g/h", 3, 6}, 5, 8}));
}

TEST_F(TerminalLineTextExtractorTest, RowsOutsideTheScreenGiveNothingAndEmptyRowsOnlySpaces)
{
    view.feed("x/y");
    EXPECT_EQ(extractLine(terminal(), -1), std::nullopt);
    EXPECT_EQ(extractLine(terminal(), terminal().rows), std::nullopt);
    EXPECT_TRUE(enumerateFilePathTokens(terminal(), terminal().rows).isEmpty());
    EXPECT_EQ(detectFilePathToken(terminal(), terminal().rows, 0), std::nullopt);

    const std::optional<ExtractedLine> empty = extractLine(terminal(), terminal().rows - 1);
    ASSERT_TRUE(empty.has_value());
    EXPECT_EQ(empty->text(), QString(terminal().cols, u' '));
    EXPECT_TRUE(enumerateFilePathTokens(terminal(), terminal().rows - 1).isEmpty());
}
