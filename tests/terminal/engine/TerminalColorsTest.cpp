#include "terminal/engine/Terminal.hpp"

#include "support/RecordingDelegate.hpp"

#include <gtest/gtest.h>

using namespace corvix;
using corvix::test::RecordingDelegate;

namespace {

TerminalOptions withStrategy(Ansi256PaletteStrategy strategy)
{
    TerminalOptions o;
    o.ansi256PaletteStrategy = strategy;
    return o;
}

struct Fixture {
    RecordingDelegate delegate;
    Terminal terminal;
    explicit Fixture(TerminalOptions o = TerminalOptions::defaults()) : terminal(&delegate, std::move(o)) {}
    std::string reply(std::string_view input)
    {
        delegate.clear();
        terminal.feed(input);
        return delegate.sent;
    }
};

const Color kRed(0xffff, 0, 0);

} // namespace

TEST(TerminalColors, PaletteQueriesAnswerInXcolorFormWithStringTerminator)
{
    Fixture f;
    const std::string st = "\x1b\\";
    EXPECT_EQ(f.reply("\x1b]4;1;?\x07"), "\x1b]4;1;rgb:c2c2/3636/2121" + st);
    EXPECT_EQ(f.reply("\x1b]4;1;?;2;?\x1b\\"),
              "\x1b]4;1;" + f.terminal.ansiColors[1].formatAsXcolor() + st + "\x1b]4;2;" +
                  f.terminal.ansiColors[2].formatAsXcolor() + st);
    EXPECT_EQ(f.reply("\x1b]4;1;notacolour;2;?\x07"), "\x1b]4;2;" + f.terminal.ansiColors[2].formatAsXcolor() + st);
    EXPECT_EQ(f.reply("\x1b]4;300;?\x07"), "");
    EXPECT_EQ(f.reply("\x1b]4;5\x07"), "");
    EXPECT_EQ(f.reply("\x1b]11;?\x07"), "\x1b]11;rgb:0000/0000/0000" + st);
    EXPECT_EQ(f.reply("\x1b]10;?;?\x07"), "\x1b]10;" + Color::defaultForeground().formatAsXcolor() + st +
                                              "\x1b]11;rgb:0000/0000/0000" + st);
    // Empty items are dropped before slots are counted; no cursor colour reports the foreground.
    EXPECT_EQ(f.reply("\x1b]10;;?\x07"), "\x1b]10;" + Color::defaultForeground().formatAsXcolor() + st);
    EXPECT_EQ(f.reply("\x1b]12;?\x07"), "\x1b]12;" + Color::defaultForeground().formatAsXcolor() + st);

    f.terminal.feed("\x1b G"); // 8-bit controls
    EXPECT_EQ(f.reply("\x1b]11;?\x07"), "\x9d" "11;rgb:0000/0000/0000\x9c");
}

TEST(TerminalColors, Osc4SetsEntriesAndOsc104RestoresThem)
{
    Fixture f;
    const std::vector<Color> original = f.terminal.ansiColors;
    f.terminal.feed("\x1b]4;1;#ff0000;300;#00ff00;2;#0000ff\x07");
    EXPECT_EQ(f.terminal.ansiColors[1], kRed);
    EXPECT_EQ(f.terminal.ansiColors[2], original[2]) << "an index above 255 ends the command";
    f.terminal.feed("\x1b]4;3;#00ff00;0;rgb:ff/ff/ff\x07");
    EXPECT_EQ(f.delegate.callsNamed("colorChanged"),
              (std::vector<std::string>{"colorChanged 1", "colorChanged 3", "colorChanged 0"}));

    f.delegate.clear();
    f.terminal.feed("\x1b]104;3;x;999\x07"); // "x" reads as 0, 999 names no entry
    EXPECT_EQ(f.terminal.ansiColors[3], original[3]);
    EXPECT_EQ(f.terminal.ansiColors[0], original[0]);
    EXPECT_EQ(f.terminal.ansiColors[1], kRed);
    EXPECT_EQ(f.delegate.callsNamed("colorChanged"),
              (std::vector<std::string>{"colorChanged 3", "colorChanged 0"}));

    f.delegate.clear();
    f.terminal.feed("\x1b]104\x07");
    EXPECT_EQ(f.terminal.ansiColors, original);
    EXPECT_EQ(f.delegate.callsNamed("colorChanged"), std::vector<std::string>{"colorChanged nil"});
}

TEST(TerminalColors, DynamicColoursAreSetThroughTheDelegate)
{
    Fixture f(withStrategy(Ansi256PaletteStrategy::xterm));
    f.terminal.feed("\x1b]11;#ff0000\x07");
    EXPECT_EQ(f.terminal.backgroundColor(), kRed);
    EXPECT_EQ(f.reply("\x1b]11;?\x07"), "\x1b]11;rgb:ffff/0000/0000\x1b\\");

    f.terminal.feed("\x1b]12;#ff0000;#00ff00;#0000ff\x07"); // only the cursor slot exists past 12
    EXPECT_EQ(f.terminal.cursorColor(), kRed);
    EXPECT_EQ(f.terminal.foregroundColor(), Color::defaultForeground());
    f.terminal.feed("\x1b]112\x07");
    EXPECT_EQ(f.terminal.cursorColor(), std::nullopt);
}

TEST(TerminalColors, LabPaletteFollowsTheDefaultColoursXtermDoesNot)
{
    {
        Fixture f(withStrategy(Ansi256PaletteStrategy::base16Lab));
        const std::vector<Color> before = f.terminal.ansiColors;
        f.terminal.feed("\x1b]4;100;#ff0000\x07");
        f.delegate.clear();
        f.terminal.setBackgroundColor(Color(0x2020, 0x2020, 0x4040));
        EXPECT_EQ(f.delegate.callsNamed("colorChanged"), std::vector<std::string>{"colorChanged nil"});
        EXPECT_NE(f.terminal.ansiColors, before);
        EXPECT_EQ(f.terminal.ansiColors, f.terminal.defaultAnsiColors) << "entry 100 is rebuilt";
    }
    {
        Fixture f(withStrategy(Ansi256PaletteStrategy::xterm));
        const std::vector<Color> before = f.terminal.ansiColors;
        f.terminal.setBackgroundColor(Color(0x2020, 0x2020, 0x4040));
        EXPECT_TRUE(f.delegate.callsNamed("colorChanged").empty());
        EXPECT_EQ(f.terminal.ansiColors, before);
    }
}

TEST(TerminalColors, StrategyAndInstalledPaletteRebuild)
{
    Fixture f(withStrategy(Ansi256PaletteStrategy::xterm));
    f.delegate.clear();
    f.terminal.setAnsi256PaletteStrategy(Ansi256PaletteStrategy::xterm);
    EXPECT_TRUE(f.delegate.calls.empty());
    f.terminal.setAnsi256PaletteStrategy(Ansi256PaletteStrategy::base16LabHarmonious);
    EXPECT_EQ(f.delegate.callsNamed("colorChanged"), std::vector<std::string>{"colorChanged nil"});
    EXPECT_EQ(f.terminal.options.ansi256PaletteStrategy, Ansi256PaletteStrategy::base16LabHarmonious);

    f.delegate.clear();
    const std::vector<Color> before = f.terminal.ansiColors;
    for (size_t n : {15u, 17u}) {
        f.terminal.installPalette(std::vector<Color>(n, kRed));
        EXPECT_EQ(f.terminal.ansiColors, before) << n;
    }
    f.terminal.installPalette(std::vector<Color>(16, kRed));
    EXPECT_EQ(f.terminal.installedColors[0], kRed);
    EXPECT_EQ(f.terminal.ansiColors[0], kRed);
    EXPECT_EQ(f.terminal.ansiColors, f.terminal.defaultAnsiColors);
    EXPECT_TRUE(f.delegate.callsNamed("colorChanged").empty());
}

namespace {

// Writes the colour back into the terminal from inside the callback, as a view would.
struct EchoingDelegate : RecordingDelegate {
    int foregroundCalls = 0;
    int cursorCalls = 0;
    void setForegroundColor(Terminal& source, const Color& color) override
    {
        foregroundCalls++;
        source.setForegroundColor(color);
    }
    void setCursorColor(Terminal& source, std::optional<Color> color) override
    {
        cursorCalls++;
        source.setCursorColor(color);
    }
};

} // namespace

TEST(TerminalColors, AnEchoingDelegateIsCalledOncePerChange)
{
    EchoingDelegate d;
    Terminal t(&d, withStrategy(Ansi256PaletteStrategy::xterm));
    t.setForegroundColor(kRed);
    EXPECT_EQ(d.foregroundCalls, 1);
    EXPECT_EQ(t.foregroundColor(), kRed);
    t.setCursorColor(kRed);
    EXPECT_EQ(d.cursorCalls, 1);

    // Without a delegate the colour is simply kept.
    Terminal lone(nullptr);
    lone.setBackgroundColor(kRed);
    EXPECT_EQ(lone.backgroundColor(), kRed);
}
