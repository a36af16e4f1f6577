#include "terminal/engine/Terminal.hpp"

#include "support/RecordingDelegate.hpp"

#include <gtest/gtest.h>

using namespace corvix;
using corvix::test::RecordingDelegate;

namespace {

using P = MouseProtocolEncoding;

struct Report {
    P protocol;
    int flags, x, y, pixelX, pixelY;
    std::string bytes;
};

} // namespace

TEST(TerminalMouse, ReportBytesPerEncoding)
{
    const Report cases[] = {
        {P::x10, 0, 0, 0, 0, 0, "\x1b[M !!"},
        {P::x10, 0, 300, 2, 0, 0, "\x1b[M \xff#"},
        {P::x10, 240, 1, 1, 0, 0, "\x1b[M\xff\"\""},
        {P::utf8, 0, 93, 0, 0, 0, std::string("\x1b[M ~!")},
        {P::utf8, 0, 94, 0, 0, 0, std::string("\x1b[M \xc1\xbf!")},
        {P::utf8, 0, 2014, 0, 0, 0, std::string("\x1b[M \x00!", 6)},
        {P::utf8, 0, 3000, 0, 0, 0, std::string("\x1b[M \xdf\xbf!")},
        {P::sgr, 2, 9, 4, 0, 0, "\x1b[<2;10;5M"},
        {P::sgr, 3, 9, 4, 0, 0, "\x1b[<0;10;5m"},
        {P::sgr, 3 + 4 + 16, 9, 4, 0, 0, "\x1b[<20;10;5m"}, // modifiers survive a release
        {P::sgr, 3 + 32, 9, 4, 0, 0, "\x1b[<35;10;5M"},     // motion with no button is no release
        {P::sgr, 64, 0, 0, 0, 0, "\x1b[<64;1;1M"},
        {P::sgr, 0, 999, 499, 0, 0, "\x1b[<0;1000;500M"},
        {P::urxvt, 0, 9, 4, 0, 0, "\x1b[32;10;5M"},
        {P::sgrPixel, 0, 9, 4, 95, 70, "\x1b[<0;95;70M"},
        {P::sgrPixel, 3, 9, 4, 95, 70, "\x1b[<0;95;70m"},
        // Negative values from a confused caller do not wrap into arbitrary bytes.
        {P::x10, -5, -1, -7, 0, 0, "\x1b[M !!"},
        {P::sgr, 0, -1, -1, 0, 0, "\x1b[<0;1;1M"},
    };
    for (const Report& c : cases) {
        RecordingDelegate d;
        Terminal t(&d);
        t.mouseProtocol = c.protocol;
        t.sendEvent(c.flags, c.x, c.y, c.pixelX, c.pixelY);
        EXPECT_EQ(d.sent, c.bytes) << int(c.protocol) << " flags " << c.flags << " at " << c.x << "," << c.y;
        EXPECT_EQ(d.callsNamed("send").size(), 1u); // one write per report
    }
}

TEST(TerminalMouse, CellFormUsesTheCellAsPixelsAndMotionAddsItsBit)
{
    RecordingDelegate d;
    Terminal t(&d);
    t.mouseProtocol = P::sgrPixel;
    t.sendEvent(0, 9, 4);
    t.sendMotion(0, 9, 4, 95, 70);
    EXPECT_EQ(d.sent, "\x1b[<0;9;4M\x1b[<32;95;70M");
}

TEST(TerminalMouse, EightBitIntroducer)
{
    RecordingDelegate d;
    Terminal t(&d);
    t.cc.send8bit = true;
    t.sendEvent(0, 0, 0);
    t.mouseProtocol = P::sgr;
    t.sendEvent(0, 0, 0);
    EXPECT_EQ(d.sent, "\x9bM !!\x9b<0;1;1M");
}

TEST(TerminalMouse, ButtonEncodingAddsModifiersOnlyInModesThatReportThem)
{
    RecordingDelegate d;
    Terminal t(&d);
    struct Case {
        int button;
        bool release;
        int bare;
    };
    const Case buttons[] = {{1, false, 1}, {2, false, 2}, {3, false, 0}, {4, false, 64},
                            {5, false, 65}, {0, false, 0}, {9, false, 0}, {2, true, 3}};
    const MouseMode modes[] = {MouseMode::off, MouseMode::x10, MouseMode::vt200, MouseMode::buttonEventTracking,
                               MouseMode::anyEvent};
    for (MouseMode mode : modes) {
        t.setMouseMode(mode);
        const int modifiers = sendsModifiers(mode) ? 4 + 8 + 16 : 0;
        for (const Case& c : buttons) {
            EXPECT_EQ(t.encodeButton(c.button, c.release, false, false, false), c.bare);
            EXPECT_EQ(t.encodeButton(c.button, c.release, true, true, true), c.bare + modifiers)
                << "mode " << int(mode) << " button " << c.button;
        }
    }
    t.setMouseMode(MouseMode::vt200);
    EXPECT_EQ(t.encodeButton(1, false, false, true, true), 1 + 24);
}

TEST(TerminalMouse, SgrPressAndReleaseOfAButtonWithControl)
{
    RecordingDelegate d;
    Terminal t(&d);
    t.setMouseMode(MouseMode::vt200);
    t.mouseProtocol = P::sgr;
    t.sendEvent(t.encodeButton(1, false, false, false, true), 4, 2);
    t.sendEvent(t.encodeButton(1, true, false, false, true), 4, 2);
    EXPECT_EQ(d.sent, "\x1b[<17;5;3M\x1b[<16;5;3m");
}

TEST(TerminalMouse, CursorVisibilityNotifiesOnlyChanges)
{
    RecordingDelegate d;
    Terminal t(&d);
    d.clear();
    t.showCursor();
    EXPECT_TRUE(d.calls.empty());
    t.hideCursor();
    t.hideCursor();
    EXPECT_TRUE(t.cursorHidden);
    t.showCursor();
    t.showCursor();
    EXPECT_FALSE(t.cursorHidden);
    EXPECT_EQ(d.calls, (std::vector<std::string>{"hideCursor", "showCursor"}));
}

TEST(TerminalMouse, NoDelegateSendsNothing)
{
    Terminal t(nullptr);
    t.feed("\x1b[?1000h\x1b[?1006h");
    t.sendEvent(0, 1, 1);
    t.sendFocus = true;
    t.setTerminalFocus(false);
    t.hideCursor();
    EXPECT_TRUE(t.cursorHidden);
    // The terminal goes on reading its output as before.
    t.feed("\x1b[2;3Hlands");
    EXPECT_EQ(t.translateBufferLineToString(t.buffer(), t.buffer().yBase() + 1, 2, 7), "lands");
    EXPECT_EQ(t.buffer().x(), 7);
    EXPECT_EQ(t.buffer().y(), 1);
}
