#include "terminal/view/TerminalView.hpp"

#include <QApplication>

#include <gtest/gtest.h>

using namespace corvix;

namespace {

struct RowFixture : ::testing::Test {
    TerminalView view{QRect(0, 0, 900, 500), QFont(QStringLiteral("DejaVu Sans Mono"), 11)};

    void SetUp() override { view.resizeGrid(80, 24); }

    ViewLineInfo row(int r)
    {
        Buffer& b = view.getTerminal().buffer();
        return view.buildAttributedString(b.yDisp() + r, b.lines()[b.yDisp() + r], view.getTerminal().cols);
    }
};

TEST_F(RowFixture, PlainRowIsOneSegmentOfOneRun)
{
    view.feed(std::string(80, 'x'));
    const ViewLineInfo info = row(0);
    ASSERT_EQ(info.segments.size(), 1u);
    const ViewLineSegment& s = info.segments[0];
    EXPECT_EQ(s.runs.size(), 1u);
    EXPECT_EQ(s.text.size(), 80);
    EXPECT_TRUE(s.utf16IsCellIdentity);
    EXPECT_EQ(s.utf16ToCellOrdinal.back(), 79);
}

TEST_F(RowFixture, WideCharactersAndClustersShapeTheSegments)
{
    // a, wide 漢, b, then e + combining acute, then U+2764 and U+1F600.
    view.feed("a\xe6\xbc\xa2" "b" "e\xcc\x81 \xe2\x9d\xa4 \xf0\x9f\x98\x80");
    const ViewLineInfo info = row(0);
    ASSERT_GE(info.segments.size(), 3u);
    EXPECT_EQ(info.segments[0].columnWidth, 1);
    EXPECT_EQ(info.segments[1].columnWidth, 2);
    EXPECT_EQ(info.segments[1].column, 1);
    EXPECT_EQ(info.segments[2].column, 3);
    const ViewLineSegment& rest = info.segments[2];
    EXPECT_FALSE(rest.utf16IsCellIdentity);
    // "b" is ordinal 0, the two units of e + accent share ordinal 1.
    EXPECT_EQ(rest.text.left(3), QString::fromUtf8("be\xcc\x81"));
    EXPECT_EQ(rest.utf16ToCellOrdinal[1], 1);
    EXPECT_EQ(rest.utf16ToCellOrdinal[2], 1);
    // U+2764 asks for its text form; the emoji-presentation U+1F600 (a wide cell) does not.
    EXPECT_TRUE(rest.text.contains(QString::fromUtf8("\xe2\x9d\xa4\xef\xb8\x8e")));
    bool sawFace = false;
    for (const ViewLineSegment& s : info.segments)
        if (s.text.contains(QString::fromUtf8("\xf0\x9f\x98\x80"))) {
            sawFace = true;
            EXPECT_FALSE(s.text.contains(QChar(0xFE0E)));
        }
    EXPECT_TRUE(sawFace);
}

TEST_F(RowFixture, CustomGlyphsLeaveTheTextAsSpaces)
{
    view.feed("\xe2\x94\x80\xe2\x96\x88\xee\x82\xb0x");
    ViewLineInfo info = row(0);
    ASSERT_EQ(info.boxDrawings.size(), 1u);
    ASSERT_EQ(info.blockElements.size(), 1u);
    ASSERT_EQ(info.powerlineGlyphs.size(), 1u);
    EXPECT_EQ(info.boxDrawings[0].codePoint, 0x2500u);
    EXPECT_EQ(info.blockElements[0].column, 1);
    EXPECT_EQ(info.powerlineGlyphs[0].column, 2);
    EXPECT_TRUE(info.segments[0].text.startsWith("   x"));

    view.setCustomBlockGlyphs(false);
    info = row(0);
    EXPECT_TRUE(info.boxDrawings.empty());
    EXPECT_TRUE(info.segments[0].text.startsWith(QString::fromUtf8("\xe2\x94\x80")));
}

TEST_F(RowFixture, SelectedColumnsFollowTheSelectionsDirection)
{
    SelectionService& sel = view.selectionService();
    struct Case {
        Position start, end;
        int row;
        std::optional<std::pair<int, int>> range;
    };
    const Case cases[] = {
        {{2, 0}, {5, 0}, 0, std::make_pair(2, 5)},
        {{2, 0}, {79, 0}, 0, std::make_pair(2, 80)}, // ending on the last column includes it
        {{79, 0}, {2, 0}, 0, std::make_pair(2, 79)}, // made backwards: the start column is out
        {{4, 0}, {4, 0}, 0, std::nullopt},
        {{10, 1}, {3, 3}, 1, std::make_pair(10, 80)},
        {{10, 1}, {3, 3}, 2, std::make_pair(0, 80)},
        {{10, 1}, {3, 3}, 3, std::make_pair(0, 3)},
        {{3, 3}, {10, 1}, 1, std::make_pair(10, 80)},
        {{10, 1}, {3, 3}, 4, std::nullopt},
    };
    for (const Case& c : cases) {
        sel.setSelection(c.start, c.end);
        EXPECT_EQ(view.selectedColumnsRange(c.row, 80), c.range) << c.start.col << "," << c.start.row << " row " << c.row;
    }
    sel.setActive(false);
    EXPECT_EQ(view.selectedColumnsRange(0, 80), std::nullopt);
}

TEST_F(RowFixture, SelectionLinkAndColourRules)
{
    view.feed("\x1b[4;58;2;1;2;3mabc\x1b[0m \x1b[7minv\x1b[0m \x1b[91mbright\x1b[0m \x1b[8msecret\x1b[0m");
    view.selectionService().setSelection(Position{0, 0}, Position{2, 0});
    ViewLineInfo info = row(0);
    const TextAttributes& selected = info.segments[0].runs[0].attributes;
    EXPECT_EQ(selected.selectionBackground, view.selectedTextBackgroundColor());
    EXPECT_EQ(selected.foreground, view.selectedTextForegroundColor());
    EXPECT_EQ(selected.underlineColor, view.selectedTextForegroundColor());

    // Inverse of default colours swaps the view's two colours.
    const TextAttributes& inv = view.getAttributes(view.getTerminal().buffer().lines()[0][4].attribute, false);
    EXPECT_EQ(inv.foreground, view.nativeBackgroundColor());
    EXPECT_EQ(inv.background, view.nativeForegroundColor());

    // A highlighted link always has a dashed underline in its text colour.
    Attribute doubled;
    doubled.style = CharacterStyle::underline;
    doubled.underlineStyle = UnderlineStyle::double_;
    const TextAttributes& link = view.getAttributes(doubled, true);
    EXPECT_EQ(link.underlineStyle, UnderlineStyle::dashed);
    EXPECT_EQ(link.underlineColor, link.foreground);
    EXPECT_EQ(view.getAttributes(doubled, false).underlineStyle, UnderlineStyle::double_);

    // Without bright colours, a bright foreground is shown by the bold face.
    const Attribute& bright = view.getTerminal().buffer().lines()[0][8].attribute;
    EXPECT_EQ(view.getAttributes(bright, false).face, FontFace::normal);
    view.useBrightColors = false;
    view.resetCaches();
    EXPECT_EQ(view.getAttributes(bright, false).face, FontFace::bold);

    // Concealed text keeps its cells but shows none of its characters.
    view.selectionService().setActive(false);
    info = row(0);
    QString text;
    for (const ViewLineSegment& s : info.segments) text += s.text;
    EXPECT_TRUE(text.startsWith("abc inv bright       "));
}

} // namespace

namespace {

TEST_F(RowFixture, RightToLeftTextIsShownInVisualOrder)
{
    // "abc " then Hebrew alef, bet, gimel: the Hebrew shows reversed to the right of "abc".
    view.feed("abc \xd7\x90\xd7\x91\xd7\x92");
    const ViewLineInfo info = row(0);
    QString text;
    for (const ViewLineSegment& s : info.segments) text += s.text;
    EXPECT_TRUE(text.startsWith(QString::fromUtf8("abc \xd7\x92\xd7\x91\xd7\x90"))) << text.toStdString();
    for (const ViewLineSegment& s : info.segments)
        for (const TextRun& r : s.runs) EXPECT_TRUE(r.attributes.leftToRightOverride);

    // The cursor, logically after gimel at column 7, is shown where that cell ends visually:
    // right after alef, which is drawn at column 6.
    view.updateCursorPosition();
    const std::optional<BidiRowLayout> layout = view.bidiLayout(view.getTerminal().buffer().yDisp());
    ASSERT_TRUE(layout.has_value());
    EXPECT_EQ(layout->logicalToVisualCol[4], 6);
    EXPECT_EQ(layout->logicalToVisualCol[6], 4);

    // Plain rows are not reordered and carry no override.
    view.feed("\r\nplain");
    const ViewLineInfo plain = row(1);
    EXPECT_FALSE(plain.segments[0].runs[0].attributes.leftToRightOverride);
    EXPECT_FALSE(view.bidiLayout(view.getTerminal().buffer().yDisp() + 1).has_value());
}

TEST_F(RowFixture, LegacyPolicyDrawsInLogicalOrder)
{
    view.setBidiHostPolicy(BidiHostPolicy::legacyLeftToRight);
    view.feed("abc \xd7\x90\xd7\x91\xd7\x92");
    QString text;
    for (const ViewLineSegment& s : row(0).segments) text += s.text;
    EXPECT_TRUE(text.startsWith(QString::fromUtf8("abc \xd7\x90\xd7\x91\xd7\x92")));
}

} // namespace
