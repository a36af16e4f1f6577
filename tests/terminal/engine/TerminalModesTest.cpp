#include "terminal/engine/Terminal.hpp"
#include "terminal/screen/Log.hpp"

#include "support/Options.hpp"
#include "support/RecordingDelegate.hpp"
#include "support/ScreenDump.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace corvix;
using corvix::test::sized;
using corvix::test::dumpRow;
using corvix::test::RecordingDelegate;

namespace {


std::string reply(const std::string& input)
{
    RecordingDelegate d;
    Terminal t(&d);
    t.feed(input);
    return d.sent;
}

} // namespace

TEST(TerminalModes, ModeReportsAnswerInDecimalWithTheModeState)
{
    struct Case {
        const char* input;
        const char* expected;
    };
    const Case cases[] = {
        {"\x1b[?2004h\x1b[?2004$p", "\x1b[?2004;1$y"},
        {"\x1b[?2004$p", "\x1b[?2004;2$y"},
        {"\x1b[?9999$p", "\x1b[?9999;0$y"},
        {"\x1b[20$p", "\x1b[20;2$y"},
        {"\x1b[20h\x1b[20$p", "\x1b[20;1$y"},
        {"\x1b[4h\x1b[4$p", "\x1b[4;1$y"},
        {"\x1b[1$p", "\x1b[1;4$y"},
        {"\x1b[12$p", "\x1b[12;3$y"},
        {"\x1b[$p", "\x1b[;0$y"},
        {"\x1b[?$p", "\x1b[;0$y"},
        // Only the first mode is reported.
        {"\x1b[?2004;25$p", "\x1b[?2004;2$y"},
        {"\x1b[?25$p", "\x1b[?25;1$y"},
        {"\x1b[?25l\x1b[?25$p", "\x1b[?25;2$y"},
        {"\x1b[?7$p", "\x1b[?7;1$y"},
        {"\x1b[?5h\x1b[?5$p", "\x1b[?5;1$y"},
        {"\x1b[?47h\x1b[?47$p", "\x1b[?47;1$y"},
        {"\x1b[?1049h\x1b[?1049$p", "\x1b[?1049;0$y"},
        {"\x1b[?1000h\x1b[?1002$p", "\x1b[?1002;2$y"},
        {"\x1b[?1003h\x1b[?1003$p", "\x1b[?1003;1$y"},
        {"\x1b[?2026h\x1b[?2026$p", "\x1b[?2026;1$y"},
        {"\x1b[?10$p", "\x1b[?10;4$y"},
        {"\x1b G\x1b[?2004$p", "\x9b?2004;2$y"},
        {"\x1b G\x1b[$p", "\x9b;0$y"},
    };
    for (const auto& c : cases) EXPECT_EQ(reply(c.input), c.expected) << ::testing::PrintToString(c.input);
}

TEST(TerminalModes, SetAndResetReachTheFlagAndItsReport)
{
    struct Case {
        int mode;
        bool dec;
        std::function<bool(Terminal&)> flag;
    };
    const Case cases[] = {
        {1, true, [](Terminal& t) { return t.applicationCursor; }},
        {4, true, [](Terminal& t) { return t.smoothScroll; }},
        {6, true, [](Terminal& t) { return t.originMode; }},
        {9, true, [](Terminal& t) { return t.mouseMode() == MouseMode::x10; }},
        {12, true, [](Terminal& t) { return t.cursorBlink; }},
        {40, true, [](Terminal& t) { return t.allow80To132; }},
        {66, true, [](Terminal& t) { return t.applicationKeypad; }},
        {69, true, [](Terminal& t) { return t.marginMode && t.normalBuffer().marginMode && t.altBuffer().marginMode; }},
        {1000, true, [](Terminal& t) { return t.mouseMode() == MouseMode::vt200; }},
        {1002, true, [](Terminal& t) { return t.mouseMode() == MouseMode::buttonEventTracking; }},
        {1003, true, [](Terminal& t) { return t.mouseMode() == MouseMode::anyEvent; }},
        {1005, true, [](Terminal& t) { return t.mouseProtocol == MouseProtocolEncoding::utf8; }},
        {1006, true, [](Terminal& t) { return t.mouseProtocol == MouseProtocolEncoding::sgr; }},
        {1015, true, [](Terminal& t) { return t.mouseProtocol == MouseProtocolEncoding::urxvt; }},
        {1016, true, [](Terminal& t) { return t.mouseProtocol == MouseProtocolEncoding::sgrPixel; }},
        {1243, true, [](Terminal& t) { return t.bidiArrowKeySwap; }},
        {2004, true, [](Terminal& t) { return t.bracketedPasteMode; }},
        {2500, true, [](Terminal& t) { return t.bidiBoxMirroring(); }},
        {2501, true, [](Terminal& t) { return t.bidiAutodetectDirection(); }},
        {4, false, [](Terminal& t) { return t.insertMode && t.normalBuffer().insertMode && t.altBuffer().insertMode; }},
        {20, false, [](Terminal& t) { return t.lineFeedMode; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.dec ? "DEC " : "ANSI ") + std::to_string(c.mode));
        RecordingDelegate d;
        Terminal t(&d);
        const std::string prefix = std::string("\x1b[") + (c.dec ? "?" : "") + std::to_string(c.mode);
        const std::string expectedPrefix = prefix + ";";
        t.feed(prefix + "l" + prefix + "$p");
        EXPECT_FALSE(c.flag(t));
        EXPECT_EQ(d.sent, expectedPrefix + "2$y");
        d.sent.clear();
        t.feed(prefix + "h" + prefix + "$p");
        EXPECT_TRUE(c.flag(t));
        EXPECT_EQ(d.sent, expectedPrefix + "1$y");
        t.feed(prefix + "l");
        EXPECT_FALSE(c.flag(t));
    }
}

TEST(TerminalModes, SeveralModesInOneSequenceAndMouseModeNotifications)
{
    RecordingDelegate d;
    Terminal t(&d);
    d.clear();
    t.feed("\x1b[?1;2004;1000h");
    EXPECT_TRUE(t.applicationCursor);
    EXPECT_TRUE(t.bracketedPasteMode);
    EXPECT_EQ(t.mouseMode(), MouseMode::vt200);
    EXPECT_EQ(d.callsNamed("mouseModeChanged").size(), 1u);
    t.feed("\x1b[?1003l");
    EXPECT_EQ(t.mouseMode(), MouseMode::off); // any mouse-mode reset turns tracking off
    EXPECT_EQ(d.callsNamed("mouseModeChanged").size(), 2u);
}

TEST(TerminalModes, AutowrapAndInsertModeAreWrittenToBothBuffers)
{
    RecordingDelegate d;
    Terminal t(&d, sized(10, 3));
    t.feed("\x1b[?7l");
    EXPECT_FALSE(t.wraparound);
    EXPECT_FALSE(t.normalBuffer().wraparound);
    EXPECT_FALSE(t.altBuffer().wraparound);
    t.feed("\x1b[?7h");
    EXPECT_TRUE(t.normalBuffer().wraparound && t.altBuffer().wraparound);

    // Insert mode set on the normal screen keeps inserting on the alternate one.
    t.feed("\x1b[4h\x1b[?1049habc\r");
    t.feed("X");
    EXPECT_EQ(dumpRow(t, 0), "Xabc");
}

TEST(TerminalModes, ReverseWraparoundNeedsAutowrap)
{
    RecordingDelegate d;
    Terminal t(&d);
    t.feed("\x1b[?7l\x1b[?45h");
    EXPECT_FALSE(t.reverseWraparound);
    t.feed("\x1b[?7h\x1b[?45h");
    EXPECT_TRUE(t.reverseWraparound);
}

TEST(TerminalModes, AlternateScreenSwitches)
{
    RecordingDelegate d;
    Terminal t(&d, sized(10, 4));
    t.feed("normal");
    t.buffer().setX(2);
    t.buffer().setY(1);

    t.feed("\x1b[?1049h");
    ASSERT_TRUE(t.isCurrentBufferAlternate());
    EXPECT_EQ(dumpRow(t, 0), "");
    t.feed("alt");
    t.buffer().setX(7);
    t.buffer().setY(3);
    d.clear();
    t.feed("\x1b[?1049l");
    EXPECT_FALSE(t.isCurrentBufferAlternate());
    EXPECT_EQ(dumpRow(t, 0), "normal");
    EXPECT_EQ(d.calls, std::vector<std::string>{"bufferActivated"});
    EXPECT_EQ(t.getCursorLocation(), std::make_pair(2, 1));

    // 1049 left the alternate screen blank for the next entry.
    t.feed("\x1b[?1049h");
    EXPECT_EQ(dumpRow(t, 0, {.untrimmed = false}), "");
    t.feed("\x1b[?1049l");

    // 47 keeps the alternate screen's contents; 1047 clears them.
    t.feed("\x1b[?47h");
    t.buffer().setX(0);
    t.buffer().setY(0);
    t.feed("kept\x1b[?47l\x1b[?47h");
    EXPECT_EQ(dumpRow(t, 0), "kept");
    t.feed("\x1b[?1047l\x1b[?47h");
    EXPECT_EQ(dumpRow(t, 0), "");
}

TEST(TerminalModes, EnteringTheAlternateScreenShowsAHiddenCursorFirst)
{
    RecordingDelegate d;
    Terminal t(&d);
    d.clear();
    t.feed("\x1b[?25l");
    EXPECT_TRUE(t.cursorHidden);
    t.feed("\x1b[?1049h");
    EXPECT_FALSE(t.cursorHidden);
    EXPECT_EQ(d.calls, (std::vector<std::string>{"hideCursor", "showCursor", "bufferActivated"}));
    // Repeated DECTCEM changes nothing and tells nobody.
    d.clear();
    t.feed("\x1b[?25h");
    EXPECT_TRUE(d.calls.empty());
}

TEST(TerminalModes, FocusModeReportsTheRecordedStateAtOnce)
{
    RecordingDelegate d;
    Terminal t(&d);
    t.setTerminalFocus(false);
    t.feed("\x1b[?1004h");
    EXPECT_EQ(d.sent, "\x1b[O");
    t.setTerminalFocus(true);
    EXPECT_EQ(d.sent, "\x1b[O\x1b[I");
    t.feed("\x1b[?1004l");
    t.setTerminalFocus(false);
    EXPECT_EQ(d.sent, "\x1b[O\x1b[I");
}

TEST(TerminalModes, ColumnModeNeedsPermissionAndKeepsTheModes)
{
    RecordingDelegate d;
    Terminal t(&d);
    t.feed("\x1b[?3h");
    EXPECT_EQ(t.cols, 80);
    EXPECT_TRUE(d.callsNamed("sizeChanged").empty());

    t.feed("\x1b[?40h\x1b[4h\x1b[?3h");
    EXPECT_EQ(t.cols, 132);
    EXPECT_EQ(t.buffer().cols(), 132);
    EXPECT_TRUE(t.insertMode); // not a reset
    EXPECT_TRUE(t.allow80To132);
    EXPECT_EQ(d.callsNamed("sizeChanged").size(), 1u);
    d.sent.clear();
    t.feed("\x1b[?3$p");
    EXPECT_EQ(d.sent, "\x1b[?3;1$y");

    // The permission stays, so the next switch needs no new one.
    t.feed("\x1b[?3l");
    EXPECT_EQ(t.cols, 80);
    EXPECT_EQ(d.callsNamed("sizeChanged").size(), 2u);
}

TEST(TerminalModes, SynchronizedOutputEndsByItselfOneSecondAfterTheLastBegin)
{
    ManualExecutor ex;
    RecordingDelegate d;
    Terminal t(&d, sized(10, 3), &ex);
    t.feed("\x1b[?2026h");
    ex.advance(0.6);
    t.feed("\x1b[?2026h"); // restarts the timeout, no second notification
    EXPECT_EQ(d.callsNamed("synchronizedOutputChanged"), std::vector<std::string>{"synchronizedOutputChanged true"});
    EXPECT_EQ(ex.pendingCount(), 1u);
    ex.advance(0.9);
    EXPECT_TRUE(t.synchronizedOutputActive());
    t.clearUpdateRange();
    ex.advance(0.2);
    EXPECT_FALSE(t.synchronizedOutputActive());
    EXPECT_EQ(d.callsNamed("synchronizedOutputChanged"),
              (std::vector<std::string>{"synchronizedOutputChanged true", "synchronizedOutputChanged false"}));
    EXPECT_EQ(t.getUpdateRange(), std::make_pair(0, 2));
    EXPECT_EQ(ex.pendingCount(), 0u);
}

TEST(TerminalModes, SynchronizedOutputResetEndsAtOnceAndCancelsTheTimer)
{
    ManualExecutor ex;
    RecordingDelegate d;
    {
        Terminal t(&d, sized(10, 3), &ex);
        t.feed("\x1b[?2026h\x1b[?2026l");
        EXPECT_FALSE(t.synchronizedOutputActive());
        EXPECT_EQ(ex.pendingCount(), 0u);
        t.feed("\x1b[?2026l"); // not active: nothing
        EXPECT_EQ(d.callsNamed("synchronizedOutputChanged").size(), 2u);
        t.feed("\x1b[?2026h");
    }
    // The terminal is gone; its pending timeout must not touch it.
    ex.advance(2);
    EXPECT_EQ(d.callsNamed("synchronizedOutputChanged").size(), 3u);
}

TEST(TerminalModes, SoftResetRestoresModesAndKeepsTheRest)
{
    RecordingDelegate d;
    Terminal t(&d, sized(10, 4));
    t.feed("ab");
    t.feed("\x1b[?25l\x1b[?6h\x1b[?7l\x1b[?1h\x1b[?66h\x1b[20h\x1b[?5h");
    t.feed("\x1b[?2004h\x1b[?1000h\x1b[?69h\x1b[>1u\x1b[6 q\x1b[?2500s");
    t.feed("\x1b[62;2\"p");
    t.buffer().setScrollTop(1);
    t.buffer().setScrollBottom(2);
    t.buffer().setX(5);
    t.buffer().setY(2);
    d.clear();

    t.feed("\x1b[!p");
    EXPECT_FALSE(t.cursorHidden);
    EXPECT_FALSE(t.originMode);
    EXPECT_TRUE(t.wraparound && t.normalBuffer().wraparound && t.altBuffer().wraparound);
    EXPECT_FALSE(t.applicationCursor);
    EXPECT_FALSE(t.applicationKeypad);
    EXPECT_FALSE(t.lineFeedMode);
    EXPECT_EQ(t.curAttr, Attribute{});
    EXPECT_EQ(t.conformance, TerminalConformance::vt500);
    EXPECT_TRUE(t.savedBidiPrivateModes.empty());
    EXPECT_EQ(t.buffer().scrollTop(), 0);
    EXPECT_EQ(t.buffer().scrollBottom(), 3);
    EXPECT_FALSE(t.marginMode || t.normalBuffer().marginMode || t.altBuffer().marginMode);
    EXPECT_EQ(d.calls, (std::vector<std::string>{"colorChanged nil", "showCursor"}));

    // Left alone.
    EXPECT_EQ(dumpRow(t, 0), "ab");
    EXPECT_EQ(t.getCursorLocation(), std::make_pair(5, 2));
    EXPECT_TRUE(t.bracketedPasteMode);
    EXPECT_EQ(t.mouseMode(), MouseMode::vt200);
    EXPECT_EQ(t.keyboardEnhancementFlags().rawValue, 1);
    EXPECT_EQ(t.options.cursorStyle, CursorStyle::steadyBar);
    EXPECT_TRUE(t.cc.send8bit);
}

TEST(TerminalModes, SoftResetTurnsInsertModeOffWhereThePrintPathReadsIt)
{
    RecordingDelegate d;
    Terminal t(&d, sized(10, 2));
    t.feed("\x1b[4habc\r\x1b[!p");
    EXPECT_FALSE(t.normalBuffer().insertMode);
    EXPECT_FALSE(t.altBuffer().insertMode);
    t.feed("X");
    EXPECT_EQ(dumpRow(t, 0), "Xbc");
    t.feed("\x1b[4$p");
    EXPECT_EQ(d.sent, "\x1b[4;2$y");
}

TEST(TerminalModes, ConformanceLevelSelectsTheControlForm)
{
    struct Case {
        const char* pars;
        TerminalConformance level;
        bool send8bit;
    };
    const Case cases[] = {
        {"62;1", TerminalConformance::vt200, false}, {"61;2", TerminalConformance::vt100, false},
        {"64;2", TerminalConformance::vt400, true},  {"63;0", TerminalConformance::vt300, true},
        {"99;2", TerminalConformance::vt500, true},  {"62", TerminalConformance::vt200, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pars);
        RecordingDelegate d;
        Terminal t(&d);
        t.feed(std::string("\x1b[") + c.pars + "\"p");
        EXPECT_EQ(t.conformance, c.level);
        EXPECT_EQ(t.cc.send8bit, c.send8bit);
    }

    // With one parameter the control form stays as it was.
    RecordingDelegate d;
    Terminal t(&d);
    t.feed("\x1b G\x1b[63\"p\x1b[?2004$p");
    EXPECT_EQ(d.sent, "\x9b?2004;2$y");
}

TEST(TerminalModes, CursorStyleChangesOnlyWithTheSpaceAndAKnownValue)
{
    struct Case {
        const char* input;
        CursorStyle expected;
        size_t notifications;
    };
    const Case cases[] = {
        {"\x1b[2 q", CursorStyle::steadyBlock, 1},
        {"\x1b[6 q", CursorStyle::steadyBar, 1},
        {"\x1b[3 q", CursorStyle::blinkUnderline, 1},
        {"\x1b[7 q", CursorStyle::blinkBlock, 0},
        {"\x1b[ q", CursorStyle::blinkBlock, 0}, // already a blinking block
        {"\x1b[1 q", CursorStyle::blinkBlock, 0},
        {"\x1b[2q", CursorStyle::blinkBlock, 0},
        {"\x1b[6 q\x1b[ q", CursorStyle::blinkBlock, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.input));
        RecordingDelegate d;
        Terminal t(&d);
        t.feed(c.input);
        EXPECT_EQ(t.options.cursorStyle, c.expected);
        EXPECT_EQ(d.callsNamed("cursorStyleChanged").size(), c.notifications);
    }
}

TEST(TerminalModes, SavedBidiModesComeBackAndReachBothBuffers)
{
    RecordingDelegate d;
    Terminal t(&d);
    t.feed("\x1b[?2500h\x1b[?1243h\x1b[?2500;1243s\x1b[?2500l\x1b[?1243l\x1b[?2501l");
    EXPECT_FALSE(t.bidiBoxMirroring());
    EXPECT_FALSE(t.altBuffer().defaultBidiState.boxMirroring);
    t.clearUpdateRange();
    t.feed("\x1b[?2500;1243;2501r");
    EXPECT_TRUE(t.bidiBoxMirroring());
    EXPECT_TRUE(t.bidiArrowKeySwap);
    EXPECT_FALSE(t.bidiAutodetectDirection()); // never saved: ignored
    EXPECT_TRUE(t.normalBuffer().defaultBidiState.boxMirroring);
    EXPECT_TRUE(t.altBuffer().defaultBidiState.boxMirroring);
    EXPECT_EQ(t.getUpdateRange(), std::make_pair(0, t.rows));
    // Entries stay stored.
    t.feed("\x1b[?2500l\x1b[?2500r");
    EXPECT_TRUE(t.bidiBoxMirroring());
}

TEST(TerminalModes, BidiModeChangesApplyToTheParagraphTheCursorStarts)
{
    RecordingDelegate d;
    Terminal t(&d, sized(10, 4));
    BufferLine& first = *t.getLine(0);
    const uint64_t generation = first.generation();
    t.feed("\x1b[8l");
    EXPECT_FALSE(t.bidiSupportEnabled());
    EXPECT_EQ(first.bidiState().supportMode, BidiSupportMode::explicit_);
    EXPECT_GT(first.generation(), generation);
    EXPECT_EQ(t.normalBuffer().defaultBidiState.supportMode, BidiSupportMode::explicit_);

    // Away from column 0 only the terminal and the buffers' defaults change.
    t.feed("ab\x1b[8h");
    EXPECT_TRUE(t.bidiSupportEnabled());
    EXPECT_EQ(first.bidiState().supportMode, BidiSupportMode::explicit_);
    EXPECT_EQ(t.altBuffer().defaultBidiState.supportMode, BidiSupportMode::implicit);
    t.feed("\x1b[8$p");
    EXPECT_EQ(d.sent, "\x1b[8;1$y");
}

TEST(TerminalModes, DecanmDropsEveryDesignatedCharacterSet)
{
    RecordingDelegate d;
    Terminal t(&d);
    t.feed("\x1b(0\x1b)0");
    ASSERT_NE(t.gCharsets[0], nullptr);
    t.feed("\x1b[?2h");
    for (auto* set : t.gCharsets) EXPECT_EQ(set, nullptr);
}

TEST(TerminalModes, UnhandledModesAreLoggedOnlyWhenNotSilent)
{
    log::Capture capture;
    RecordingDelegate d;
    Terminal t(&d);
    t.feed("\x1b[?8h\x1b[99h");
    EXPECT_TRUE(capture.lines().empty());
    t.silentLog = false;
    t.feed("\x1b[?8h\x1b[?8l\x1b[?63l\x1b[?63h\x1b[99h\x1b[99l\x1b[>5h\x1b[1#p");
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{
                                   "Info: Unhandled DEC Private Mode Set (DECSET) with 8",
                                   "Info: Unhandled DEC Private Mode Reset (DECRST) with 8",
                                   "Info: Unhandled DEC Private Mode Reset (DECRST) with 63",
                                   "Info: Unhandled verbatim setMode with 99 and []",
                                   "Info: Unhandled setMode (SM) with 5 and [62]",
                                   "Info: Unhandled CSI 35 with pars=[1]",
                               }));
}
