#include "terminal/screen/TerminalOptions.hpp"

#include <gtest/gtest.h>

using namespace corvix;

TEST(TerminalOptions, DefaultsAreIndependentCopies)
{
    TerminalOptions a = TerminalOptions::defaults();
    a.cols = 132;
    a.termName = "vt100";
    TerminalOptions b = TerminalOptions::defaults();
    EXPECT_EQ(b.cols, 80);
    EXPECT_EQ(b.rows, 25);
    EXPECT_EQ(b.termName, "xterm-256color");
    EXPECT_EQ(b.scrollback, 500);
    EXPECT_EQ(b.kittyImageCacheLimitBytes, 0x14000000);
    EXPECT_EQ(b.ansi256PaletteStrategy, Ansi256PaletteStrategy::base16Lab);
    EXPECT_EQ(b.initialBidiState, BidiPresentationState::defaultState());
}

TEST(TerminalOptions, MakeRaisesBidiParagraphRowsToOne)
{
    auto make = [](int64_t maxRows) {
        return TerminalOptions::make(80, 25, false, "xterm", CursorStyle::steadyBar, false, 100, 8, true, 1,
                                     Ansi256PaletteStrategy::xterm, RegionalIndicatorWidth::narrow,
                                     BidiPresentationState::defaultState(), maxRows, true)
            .maximumBidiParagraphRows;
    };
    EXPECT_EQ(make(0), 1);
    EXPECT_EQ(make(-5), 1);
    EXPECT_EQ(make(1), 1);
    EXPECT_EQ(make(700), 700);
}

TEST(TerminalOptions, CursorStyleFromExactNameOnly)
{
    EXPECT_EQ(cursorStyleFromString("steadyBar"), CursorStyle::steadyBar);
    EXPECT_EQ(cursorStyleFromString("blinkUnderline"), CursorStyle::blinkUnderline);
    EXPECT_EQ(cursorStyleFromString("SteadyBar"), std::nullopt);
    EXPECT_EQ(cursorStyleFromString("steady Bar"), std::nullopt);
    EXPECT_EQ(cursorStyleFromString(""), std::nullopt);
}
