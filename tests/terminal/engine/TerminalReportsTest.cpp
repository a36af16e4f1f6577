#include "terminal/engine/Terminal.hpp"
#include "terminal/screen/Log.hpp"

#include "support/ChunkSplit.hpp"
#include "support/RecordingDelegate.hpp"

#include <gtest/gtest.h>

using namespace corvix;
using corvix::test::RecordingDelegate;

namespace {

struct Exchange {
    const char* request;
    std::string reply; // empty: no reply at all
};

// What one request sends back to the child on a fresh 80 x 25 terminal.
std::string replyTo(std::string_view request, TerminalOptions options = TerminalOptions::defaults())
{
    RecordingDelegate d;
    Terminal t(&d, options);
    t.feed(request);
    return d.sent;
}

} // namespace

TEST(TerminalReports, RepliesOnAFreshTerminal)
{
    const Exchange cases[] = {
        // Device attributes: no printer port (2), no selective erase (6).
        {"\x1b[c", "\x1b[?65;4;1;21;22;17;28c"},
        {"\x1b[0c", "\x1b[?65;4;1;21;22;17;28c"},
        {"\x1b[>c", "\x1b[>65;20;1c"},
        {"\x1b[>0c", "\x1b[>65;20;1c"},
        {"\x1b[=c", ""},
        {"\x1b[1c", ""},
        {"\x1b[>1c", ""},
        // Device status.
        {"\x1b[5n", "\x1b[0n"},
        {"\x1b[6n", "\x1b[1;1R"},
        {"\x1b[7n", ""},
        {"\x1b[?6n", "\x1b[?1;1;1R"},
        {"\x1b[?15n", "\x1b[?10n"},
        {"\x1b[?25n", "\x1b[?21n"},
        {"\x1b[?26n", "\x1b[?27;1;0;0n"},
        {"\x1b[?55n", "\x1b[?53n"},
        {"\x1b[?56n", "\x1b[?57;1n"},
        {"\x1b[?62n", "\x1b[0*{"},
        {"\x1b[?63n", "\x1bP0!~0000\x1b\\"},
        {"\x1b[?63;7n", "\x1bP7!~0000\x1b\\"},
        {"\x1b[?75n", "\x1b[?70n"},
        {"\x1b[?85n", "\x1b[?83n"},
        {"\x1b[?5n", ""},
        {"\x1b[>6n", ""},
        // Status strings; the reply ends with ST whatever ended the request.
        {"\x1bP$qm\x1b\\", "\x1bP1$r0m\x1b\\"},
        {"\x1bP$qr\x1b\\", "\x1bP1$r1;25r\x1b\\"},
        {"\x1bP$qs\x1b\\", "\x1bP1$r1;80s\x1b\\"},
        {"\x1bP$q q\x1b\\", "\x1bP1$r1 q\x1b\\"}, // a blinking block
        {"\x1bP$q\"q\x1b\\", "\x1bP1$r0\"q\x1b\\"}, // nothing protected
        {"\x1bP$q\"p\x1b\\", "\x1bP1$r65;1\"p\x1b\\"},
        {"\x1bP$qm\x9c", "\x1bP1$r0m\x1b\\"},
        {"\x1bP$qx\x1b\\", "\x1bP0$r\x1b\\"},
        {"\x1bP$q\x1b\\", "\x1bP0$r\x1b\\"},
        {"\x1bP$qmm\x1b\\", "\x1bP0$r\x1b\\"},
        {"\x1bP$qm\xc3\xa9\x1b\\", "\x1bP0$r\x1b\\"},
    };
    for (const Exchange& c : cases) {
        EXPECT_EQ(replyTo(c.request), c.reply) << ::testing::PrintToString(std::string(c.request));
    }
}

TEST(TerminalReports, PrimaryAttributesFollowTheTerminalName)
{
    const std::pair<const char*, std::string> cases[] = {
        {"xterm", "\x1b[?65;1;21;22;17;28c"},
        {"xterm-256color", "\x1b[?65;1;21;22;17;28c"},
        {"screen-256color", "\x1b[?1;2c"},
        {"rxvt-unicode-256color", "\x1b[?1;2c"},
        {"linux", "\x1b[?6c"},
        {"vt100", ""},
    };
    for (auto& [name, reply] : cases) {
        TerminalOptions o;
        o.termName = name;
        o.enableSixelReported = false;
        EXPECT_EQ(replyTo("\x1b[c", o), reply) << name;
        EXPECT_EQ(replyTo("\x1b[>c", o), "\x1b[>65;20;1c") << name;
    }
}

TEST(TerminalReports, CursorPositionCountsFromTheOriginInOriginMode)
{
    RecordingDelegate d;
    Terminal t(&d);
    Buffer& b = t.buffer();
    b.setScrollTop(4);
    b.setScrollBottom(20);
    b.setY(4);
    b.setX(6);
    t.feed("\x1b[6n\x1b[?6n");
    EXPECT_EQ(d.sent, "\x1b[5;7R\x1b[?5;7;1R");

    d.clear();
    t.originMode = true;
    t.feed("\x1b[6n\x1b[?6n");
    EXPECT_EQ(d.sent, "\x1b[1;7R\x1b[?1;7;1R");

    // The left margin counts for the private form only while margin mode is on too.
    d.clear();
    b.setMarginLeft(4);
    t.feed("\x1b[?6n");
    t.marginMode = true;
    t.feed("\x1b[?6n");
    EXPECT_EQ(d.sent, "\x1b[?1;7;1R\x1b[?1;3;1R");
}

TEST(TerminalReports, CursorPositionAtThePendingWrapColumnIsTheLastColumn)
{
    RecordingDelegate d;
    Terminal t(&d);
    t.feed(std::string(80, 'x'));
    ASSERT_EQ(t.buffer().x(), 80);
    t.feed("\x1b[6n\x1b[?6n");
    EXPECT_EQ(d.sent, "\x1b[1;80R\x1b[?1;80;1R");
}

TEST(TerminalReports, StatusStringsReportTheLiveState)
{
    RecordingDelegate d;
    Terminal t(&d);
    t.curAttr.style.insert(CharacterStyle::bold);
    t.curAttr.fg = Attribute::Color::ansi256(1);
    t.curAttr.bg = Attribute::Color::ansi256(12);
    t.buffer().setScrollTop(2);
    t.buffer().setScrollBottom(9);
    t.buffer().setMarginLeft(4);
    t.buffer().setMarginRight(39);
    t.feed("\x1b[4 q"); // steady underline
    t.feed("\x1bP$qm\x1b\\\x1bP$qr\x1b\\\x1bP$qs\x1b\\\x1bP$q q\x1b\\");
    EXPECT_EQ(d.sent, "\x1bP1$r0;1;31;104m\x1b\\"
                      "\x1bP1$r3;10r\x1b\\"
                      "\x1bP1$r5;40s\x1b\\"
                      "\x1bP1$r4 q\x1b\\");
}

TEST(TerminalReports, EightBitControlsFrameEveryReply)
{
    RecordingDelegate d;
    Terminal t(&d);
    t.cc.send8bit = true;
    const Exchange cases[] = {
        {"\x1b[5n", "\x9b"
                    "0n"},
        {"\x1b[c", "\x9b?65;4;1;21;22;17;28c"},
        {"\x1b[?63;3n", "\x90"
                        "3!~0000\x9c"},
        {"\x1bP$qr\x1b\\", "\x90"
                           "1$r1;25r\x9c"},
        {"\x1bP$qz\x1b\\", "\x90"
                           "0$r\x9c"},
    };
    for (const Exchange& c : cases) {
        d.clear();
        t.feed(c.request);
        EXPECT_EQ(d.sent, c.reply) << ::testing::PrintToString(std::string(c.request));
    }
}

TEST(TerminalReports, StatusStringRequestSplitAnywhereGivesOneReply)
{
    const std::string input = "\x1bP$qr\x1b\\\x1bP$q q\x1b\\\x1bP$qmx\x1b\\";
    auto run = [](const corvix::test::Chunks& chunks) {
        RecordingDelegate d;
        Terminal t(&d);
        for (auto chunk : chunks) t.feed(chunk);
        return d.callsNamed("send").size() == 3 ? d.sent : std::string("wrong number of sends");
    };
    EXPECT_TRUE(corvix::test::sameForEverySplit(
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(input.data()), input.size()), run));
    EXPECT_EQ(run({std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(input.data()), input.size())}),
              "\x1bP1$r1;25r\x1b\\\x1bP1$r1 q\x1b\\\x1bP0$r\x1b\\");
}

TEST(TerminalReports, UnknownStatusStringIsAnsweredWithoutItsBytesAndLoggedSafely)
{
    RecordingDelegate d;
    Terminal t(&d);
    t.silentLog = false;
    log::Capture capture;
    // A long request full of bytes a reply must never carry back.
    t.feed("\x1bP$qAA\x05" + std::string(100000, 'A') + "m\x1b\\");
    EXPECT_EQ(d.sent, "\x1bP0$r\x1b\\");
    ASSERT_EQ(capture.lines().size(), 1u);
    const std::string& line = capture.lines()[0];
    EXPECT_EQ(line.rfind("Info: Unknown DCS + AA\\x05AAA", 0), 0u) << line;
    EXPECT_LT(line.size(), 200u);
    for (char c : line) EXPECT_TRUE(uint8_t(c) >= 0x20 && uint8_t(c) < 0x7f) << line;

    capture.clear();
    t.silentLog = true;
    t.feed("\x1bP$qx\x1b\\");
    EXPECT_TRUE(capture.lines().empty());
}

TEST(TerminalReports, UnsupportedAttributeRequestIsLogged)
{
    RecordingDelegate d;
    Terminal t(&d);
    t.silentLog = false;
    log::Capture capture;
    t.feed("\x1b[>1;2c");
    EXPECT_TRUE(d.sent.empty());
    ASSERT_EQ(capture.lines().size(), 1u);
    EXPECT_EQ(capture.lines()[0], "Info: SendDeviceAttributes got [1, 2] and >");
}

TEST(TerminalReports, NoDelegateNoReply)
{
    Terminal t(nullptr);
    t.feed("\x1b[5n\x1b[6n\x1b[c\x1bP$qm\x1b\\");
    // With nowhere to send the replies the requests still end: text after them prints, where
    // a parser left inside the string would swallow it.
    t.feed("after");
    EXPECT_EQ(t.translateBufferLineToString(t.buffer(), t.buffer().yBase(), 0, 5), "after");
    EXPECT_EQ(t.buffer().x(), 5);
}

TEST(TerminalReportsAfterConformance, EightBitControlsChosenByDecsclReachTheReplies)
{
    corvix::test::RecordingDelegate d;
    corvix::Terminal t(&d);
    t.feed("\x1b[62;2\"p");
    t.feed("\x1b[5n");
    EXPECT_EQ(d.sent, "\x9b\x30\x6e");
    d.sent.clear();
    t.feed("\x1b[62;1\"p\x1b[5n"); // 7-bit again
    EXPECT_EQ(d.sent, "\x1b[0n");
}
