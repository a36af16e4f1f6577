// Requests a hostile child may send to read back planted text or to exhaust the host: each gets
// nothing or a fixed reply, and what the engine holds for it stays bounded.
#include "fuzz/FuzzDriver.hpp"
#include "terminal/engine/Terminal.hpp"

#include "support/RecordingDelegate.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace corvix;
using corvix::test::RecordingDelegate;

namespace {

// Planted by the child in titles and requests; it must never come back.
constexpr std::string_view kMarker = "EVIL";

std::string repeated(std::string_view piece, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}

} // namespace

TEST(HostileInput, RequestsGetNothingOrAFixedReply)
{
    const std::string manyParams = repeated("1;", 5000);
    const struct {
        const char* name;
        std::string input;
        std::string reply;
    } cases[] = {
        {"title report", "\x1b]2;EVIL;\x9b" "6n\x1b\\\x1b[21t", "\x1b]l\x1b\\"},
        {"title report in hex and UTF-8 modes", "\x1b[>1;3t\x1b]2;EVIL\x07\x1b[21t", "\x1b]l\x1b\\"},
        {"icon title report", "\x1b]1;EVIL\n\x07\x1b[20t", "\x1b]L\x1b\\"},
        {"title report with extra parameter", "\x1b]2;EVIL\x07\x1b[21;1t", ""},
        {"DECRQSS unknown selector", "\x1bP$qEVIL\x1b\\", "\x1bP0$r\x1b\\"},
        {"DECRQSS selector with a newline", "\x1bP$qm\nEVIL\x1b\\", "\x1bP0$r\x1b\\"},
        {"DECRQSS selector after a newline", "\x1bP$q\r\nm\x1b\\", "\x1bP0$r\x1b\\"},
        {"DECRQSS overlong selector", "\x1bP$q" + repeated("EVIL", 100000) + "\x1b\\", "\x1bP0$r\x1b\\"},
        {"DECRQSS ended by BEL stays open", "\x1bP$qm\x07EVIL\x1b\\", "\x1bP0$r\x1b\\"},
        {"XTGETTCAP of TN", "\x1bP+q544e\x1b\\", ""},
        {"XTGETTCAP of planted hex", "\x1bP+q4556494c;45564494c\x1b\\", ""},
        {"OSC 50 font query", "\x1b]50;?\x07", ""},
        {"OSC 50 font set", "\x1b]50;#+EVIL\x07\x1b]50;?\x1b\\", ""},
        {"huge repeat count", "x\x1b[2000000000b", ""},
        {"thousands of parameters on a report", "\x1b[" + manyParams + "6n", ""},
        {"thousands of parameters on a DCS", "\x1bP" + manyParams + "$qm\x1b\\", ""},
        {"thousands of parameters on a window report", "\x1b[" + manyParams + "18t", ""},
        {"huge resize request", "\x1b[8;2000000000;2000000000t\x1b[4;99999;99999t", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingDelegate delegate;
        TerminalOptions options = TerminalOptions::defaults();
        options.cols = 80;
        options.rows = 24;
        Terminal terminal(&delegate, options);
        const int scrolledBefore = terminal.buffer().yBase() + terminal.buffer().linesTop;
        terminal.feed(c.input);
        EXPECT_EQ(delegate.sent, c.reply);
        EXPECT_EQ(delegate.sent.find(kMarker), std::string::npos);
        EXPECT_EQ(fuzz::checkTerminal(terminal), std::nullopt);
        // Counts are clamped before they drive work: nothing scrolls more than two screens.
        const int scrolled = terminal.buffer().yBase() + terminal.buffer().linesTop - scrolledBefore;
        EXPECT_LE(scrolled, 2 * terminal.rows + 1);
    }
}

TEST(HostileInput, ResizeRequestsReachTheHostClamped)
{
    RecordingDelegate delegate;
    Terminal terminal(&delegate);
    terminal.feed("\x1b[8;2000000000;2000000000t\x1b[4;2000000000;2000000000t\x1b[8;0;0t");
    const auto cells = std::to_string(Terminal::kMaxWindowCells);
    const auto pixels = std::to_string(Terminal::kMaxWindowPixels);
    using Kind = WindowManipulationCommand::Kind;
    EXPECT_EQ(delegate.callsNamed("windowCommand"),
              (std::vector<std::string>{
                  "windowCommand " + std::to_string(int(Kind::resizeTerminal)) + " " + cells + " " + cells,
                  "windowCommand " + std::to_string(int(Kind::resizeWindowTo)) + " " + pixels + " " + pixels,
                  "windowCommand " + std::to_string(int(Kind::resizeTerminal)) + " 0 0",
              }));
    EXPECT_EQ(terminal.cols, 80); // the engine itself never resizes on a child's request
}

// An unterminated string of 100 MiB: the parser holds at most its bound, drops the string, and
// the terminal works on afterwards.
TEST(HostileInput, UnterminatedHugeStringsStayBounded)
{
    const std::vector<uint8_t> chunk(size_t{1} << 20, 'A');
    const struct {
        const char* opener;
        size_t bound;
    } cases[] = {
        {"\x1b]2;", EscapeSequenceParser::kMaxStringLength},
        {"\x1b]52;c;", EscapeSequenceParser::kMaxLargeStringLength},
        {"\x1b_G", EscapeSequenceParser::kMaxLargeStringLength},
        {"\x1b_X", EscapeSequenceParser::kMaxStringLength},
        {"\x1bP$q", 0},
        {"\x1bP+q", 0},
        {"\x1bPq", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.opener);
        RecordingDelegate delegate;
        Terminal terminal(&delegate);
        terminal.feed(c.opener);
        size_t most = 0;
        for (int i = 0; i < 100; ++i) {
            terminal.feed(chunk);
            most = std::max(most, terminal.parser().stringBufferBytes());
        }
        // Capacity may exceed the bound by the vector's growth step, never by more.
        EXPECT_LE(most, 2 * c.bound + 4096);
        terminal.feed("\x07\x1b\\");
        EXPECT_EQ(terminal.terminalTitle, "");
        EXPECT_TRUE(delegate.callsNamed("clipboardCopy").empty());
        EXPECT_TRUE(delegate.sent.empty() || delegate.sent == "\x1bP0$r\x1b\\") << delegate.sent.substr(0, 40);
        terminal.feed("\x1b[Hok");
        EXPECT_EQ(terminal.getText(Position{0, 0}, Position{2, 0}), "ok");
    }
}
