#include "terminal/engine/Terminal.hpp"

#include "support/Options.hpp"
#include "support/RecordingDelegate.hpp"
#include "support/ScreenDump.hpp"

#include <gtest/gtest.h>

#include <string>

using namespace corvix;
using corvix::test::sized;
using corvix::test::dumpRow;
using corvix::test::RecordingDelegate;
using Mode = BufferLine::RenderLineMode;

TEST(TerminalLineModes, LineSizeChangesOnlyTheCursorLine)
{
    RecordingDelegate d;
    Terminal t(&d, sized(10, 4));
    t.feed("abc");
    t.buffer().setY(1);
    t.feed("def");
    t.clearUpdateRange();
    BufferLine& line = *t.getLine(1);
    const uint64_t generation = line.generation();

    t.feed("\x1b#6");
    EXPECT_EQ(line.renderMode(), Mode::doubleWidth);
    EXPECT_GT(line.generation(), generation);
    EXPECT_EQ(t.getUpdateRange(), std::make_pair(1, 1));
    t.feed("\x1b#3");
    EXPECT_EQ(line.renderMode(), Mode::doubledTop);
    t.feed("\x1b#4");
    EXPECT_EQ(line.renderMode(), Mode::doubledDown);
    t.feed("\x1b#5");
    EXPECT_EQ(line.renderMode(), Mode::single);

    EXPECT_EQ(dumpRow(t, 1), "   def");
    EXPECT_EQ(t.getCursorLocation(), std::make_pair(6, 1));
    EXPECT_EQ(t.getLine(0)->renderMode(), Mode::single);
    EXPECT_EQ(t.getLine(2)->renderMode(), Mode::single);
}

TEST(TerminalLineModes, AlignmentPatternFillsTheScreenWithPlainE)
{
    RecordingDelegate d;
    Terminal t(&d, sized(8, 24));
    t.feed("abcdefghijk"); // wraps onto row 1
    ASSERT_TRUE(t.getLine(1)->isWrapped());
    t.getLine(3)->setRenderMode(Mode::doubleWidth);
    t.curAttr.fg = Attribute::Color::ansi256(1);
    t.curAttr.bg = Attribute::Color::ansi256(4);
    t.curAttr.underlineColor = Attribute::Color::ansi256(2);
    t.curAttr.style = CharacterStyle::none;
    t.curAttr.underlineStyle = UnderlineStyle::single;
    t.buffer().setX(5);
    t.buffer().setY(7);
    t.clearUpdateRange();

    t.feed("\x1b#8");
    Attribute expected;
    expected.fg = Attribute::Color::ansi256(1);
    expected.bg = Attribute::Color::ansi256(4);
    expected.underlineColor = Attribute::Color::ansi256(2);
    for (int row = 0; row < 24; row++) {
        SCOPED_TRACE(row);
        BufferLine& line = *t.getLine(row);
        EXPECT_EQ(dumpRow(t, row), "EEEEEEEE");
        EXPECT_FALSE(line.isWrapped());
        for (const CharData& cell : line.getData()) {
            EXPECT_EQ(cell.attribute, expected);
            EXPECT_EQ(cell.width, 1);
        }
    }
    EXPECT_EQ(t.getLine(3)->renderMode(), Mode::doubleWidth); // render modes are kept
    EXPECT_EQ(t.getUpdateRange(), std::make_pair(0, 24));
    EXPECT_EQ(t.getCursorLocation(), std::make_pair(0, 0));
}

TEST(TerminalLineModes, AlignmentPatternResetsTheMarginsAndOriginMode)
{
    RecordingDelegate d;
    Terminal t(&d, sized(4, 12));
    t.feed("\x1b[6;11r\x1b[?69h\x1b[2;3s\x1b[?6h\x1b#8");
    for (int row = 0; row < 12; row++) EXPECT_EQ(dumpRow(t, row), "EEEE") << row;
    EXPECT_EQ(t.buffer().scrollTop(), 0);
    EXPECT_EQ(t.buffer().scrollBottom(), 11);
    EXPECT_EQ(t.buffer().marginLeft(), 0);
    EXPECT_EQ(t.buffer().marginRight(), 3);
    EXPECT_FALSE(t.originMode);
    EXPECT_EQ(t.getCursorLocation(), std::make_pair(0, 0));
}

TEST(TerminalLineModes, PresentationDirectionSetsTheFallbackDirection)
{
    struct Case {
        const char* input;
        BidiDirection expected;
    };
    const Case cases[] = {
        {"\x1b[3 S", BidiDirection::rightToLeft},
        {"\x1b[3 S\x1b[1 S", BidiDirection::rightToLeft},
        {"\x1b[3 S\x1b[2 S", BidiDirection::rightToLeft},
        {"\x1b[3 S\x1b[ S", BidiDirection::leftToRight},
        {"\x1b[3;7 S", BidiDirection::rightToLeft},
        {"\x1b[3S", BidiDirection::leftToRight}, // scroll up, not SPD
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.input));
        RecordingDelegate d;
        Terminal t(&d, sized(10, 3));
        t.feed(c.input);
        EXPECT_EQ(t.currentBidiState.fallbackDirection, c.expected);
        EXPECT_EQ(t.normalBuffer().defaultBidiState.fallbackDirection, c.expected);
        EXPECT_EQ(t.altBuffer().defaultBidiState.fallbackDirection, c.expected);
        // The cursor starts a paragraph at column 0, so its line takes the new direction.
        EXPECT_EQ(t.getLine(0)->bidiState().fallbackDirection, c.expected);
    }

    // Away from column 0 the line keeps its direction; the rest of the state is untouched.
    RecordingDelegate d;
    Terminal t(&d, sized(10, 3));
    t.feed("\x1b[?2500hab");
    t.clearUpdateRange();
    t.feed("\x1b[3 S");
    EXPECT_EQ(t.getLine(0)->bidiState().fallbackDirection, BidiDirection::leftToRight);
    EXPECT_TRUE(t.currentBidiState.boxMirroring);
    EXPECT_EQ(t.getUpdateRange(), std::make_pair(0, 3));
}
