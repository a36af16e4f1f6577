#include "terminal/engine/Terminal.hpp"
#include "terminal/screen/Log.hpp"

#include "support/RecordingDelegate.hpp"

#include <gtest/gtest.h>

using namespace corvix;
using corvix::test::RecordingDelegate;
using Kind = WindowManipulationCommand::Kind;

namespace {

// How RecordingDelegate writes a window command.
std::string command(Kind kind, int a = 0, int b = 0)
{
    return "windowCommand " + std::to_string(int(kind)) + " " + std::to_string(a) + " " + std::to_string(b);
}

// A host that knows its cell size and may answer reports itself.
class SizedDelegate : public RecordingDelegate {
public:
    std::optional<std::pair<int, int>> cell;
    std::optional<std::vector<uint8_t>> answer;

    std::optional<std::pair<int, int>> cellSizeInPixels(Terminal&) override { return cell; }
    std::optional<std::vector<uint8_t>> windowCommand(Terminal& t, const WindowManipulationCommand& c) override
    {
        RecordingDelegate::windowCommand(t, c);
        return answer;
    }
};

} // namespace

TEST(TerminalWindow, CommandsReachTheDelegate)
{
    const std::pair<const char*, std::string> cases[] = {
        {"\x1b[1t", command(Kind::deiconifyWindow)},
        {"\x1b[2t", command(Kind::iconifyWindow)},
        {"\x1b[3;10;20t", command(Kind::moveWindowTo, 10, 20)},
        {"\x1b[4;300;500t", command(Kind::resizeWindowTo, 500, 300)}, // height first
        {"\x1b[5t", command(Kind::bringToFront)},
        {"\x1b[6t", command(Kind::sendToBack)},
        {"\x1b[7t", command(Kind::refreshWindow)},
        {"\x1b[8;40;120t", command(Kind::resizeTerminal, 120, 40)}, // rows first
        {"\x1b[9;0t", command(Kind::restoreMaximizedWindow)},
        {"\x1b[9;1t", command(Kind::maximizeWindow)},
        {"\x1b[9;2t", command(Kind::maximizeWindowVertically)},
        {"\x1b[9;3t", command(Kind::maximizeWindowHorizontally)},
        {"\x1b[10;0t", command(Kind::undoFullScreen)},
        {"\x1b[10;1t", command(Kind::switchToFullScreen)},
        {"\x1b[10;2t", command(Kind::toggleFullScreen)},
        // Sizes are kept within what a screen can hold before the host sees them; 0 ("keep this
        // dimension") and sizes below the minimum pass as given.
        {"\x1b[4;65535;0t", command(Kind::resizeWindowTo, 0, Terminal::kMaxWindowPixels)},
        {"\x1b[8;0;65535t", command(Kind::resizeTerminal, Terminal::kMaxWindowCells, 0)},
        {"\x1b[8;65535;1t", command(Kind::resizeTerminal, 1, Terminal::kMaxWindowCells)},
        {"\x1b[8;;100t", command(Kind::resizeTerminal, 100, 0)},
    };
    for (auto& [request, call] : cases) {
        RecordingDelegate d;
        Terminal t(&d);
        d.clear();
        t.feed(request);
        EXPECT_EQ(d.calls, std::vector<std::string>{call}) << ::testing::PrintToString(std::string(request));
        EXPECT_TRUE(d.sent.empty());
    }
}

TEST(TerminalWindow, FallbackReportsFromTheTerminalSize)
{
    const std::pair<const char*, std::string> cases[] = {
        {"\x1b[14t", "\x1b[4;400;800t"}, {"\x1b[14;2t", "\x1b[4;400;800t"}, {"\x1b[15t", "\x1b[5;400;800t"},
        {"\x1b[16t", "\x1b[6;16;10t"},   {"\x1b[18t", "\x1b[8;25;80t"},     {"\x1b[19t", "\x1b[9;25;80t"},
        {"\x1b[20t", "\x1b]L\x1b\\"},   {"\x1b[21t", "\x1b]l\x1b\\"},
    };
    for (auto& [request, reply] : cases) {
        RecordingDelegate d;
        Terminal t(&d);
        t.feed(request);
        EXPECT_EQ(d.sent, reply) << ::testing::PrintToString(std::string(request));
    }
}

TEST(TerminalWindow, PixelReportsUseTheHostCellSize)
{
    SizedDelegate d;
    d.cell = std::make_pair(9, 18);
    Terminal t(&d);
    t.feed("\x1b[16t\x1b[15t\x1b[14;2t");
    EXPECT_EQ(d.sent, "\x1b[6;18;9t\x1b[5;450;720t\x1b[4;450;720t");
    EXPECT_EQ(d.callsNamed("windowCommand").front(), command(Kind::reportCellSizeInPixels));
}

TEST(TerminalWindow, HostAnswerIsSentAsItIs)
{
    SizedDelegate d;
    d.answer = std::vector<uint8_t>{'x', 'y'};
    Terminal t(&d);
    t.feed("\x1b[18t\x1b[14t");
    EXPECT_EQ(d.sent, "xyxy");
    EXPECT_EQ(d.callsNamed("windowCommand"),
              (std::vector<std::string>{command(Kind::reportTextAreaCharacters),
                                        command(Kind::reportTextAreaPixelDimension)}));
}

TEST(TerminalWindow, EightBitReplies)
{
    RecordingDelegate d;
    Terminal t(&d);
    t.cc.send8bit = true;
    t.feed("\x1b[18t\x1b[21t");
    EXPECT_EQ(d.sent, "\x9b"
                      "8;25;80t\x9dl\x9c");
}

TEST(TerminalWindow, UnrecognisedParameterListsOnlyLog)
{
    const char* requests[] = {"\x1b[22t", "\x1b[23t",    "\x1b[14;1t", "\x1b[11t", "\x1b[13t",
                              "\x1b[9t",  "\x1b[3;10t", "\x1b[t",     "\x1b[1;1t"};
    for (const char* request : requests) {
        RecordingDelegate d;
        Terminal t(&d);
        d.clear();
        t.silentLog = false;
        log::Capture capture;
        t.feed(request);
        EXPECT_TRUE(d.calls.empty()) << ::testing::PrintToString(std::string(request));
        ASSERT_EQ(capture.lines().size(), 1u);
        EXPECT_EQ(capture.lines()[0].rfind("Info: Unhandled Window command: [", 0), 0u) << capture.lines()[0];
    }
    RecordingDelegate d;
    Terminal t(&d);
    t.silentLog = false;
    log::Capture capture;
    t.feed("\x1b[14;1t");
    EXPECT_EQ(capture.lines(), std::vector<std::string>{"Info: Unhandled Window command: [14, 1]"});
}

TEST(TerminalWindow, TitlePushCallsNothingAndPopRestores)
{
    RecordingDelegate d;
    Terminal t(&d);
    t.feed("\x1b]2;one\x07\x1b]1;icon\x07");
    d.clear();

    t.feed("\x1b[22;0t");
    EXPECT_TRUE(d.calls.empty());
    t.feed("\x1b]2;two\x07\x1b]1;other\x07");
    d.clear();

    t.feed("\x1b[23;0t");
    EXPECT_EQ(d.calls, (std::vector<std::string>{"setTerminalTitle one", "setTerminalIconTitle icon"}));
    EXPECT_EQ(t.terminalTitle, "one");
    EXPECT_EQ(t.iconTitle, "icon");

    // Popping an empty stack changes nothing.
    d.clear();
    t.feed("\x1b[23;2t\x1b[23;1t");
    EXPECT_TRUE(d.calls.empty());
    EXPECT_EQ(t.terminalTitle, "one");

    // The title and the icon label have stacks of their own.
    t.feed("\x1b[22;2t\x1b]2;three\x07");
    d.clear();
    t.feed("\x1b[23;1t\x1b[23;2t");
    EXPECT_EQ(d.calls, std::vector<std::string>{"setTerminalTitle one"});
}

TEST(TerminalWindow, TitleStackKeepsOnlyTheNewestEntries)
{
    RecordingDelegate d;
    Terminal t(&d);
    const int pushes = int(Terminal::kMaxTitleStackDepth) + 5;
    for (int i = 0; i < pushes; i++) {
        t.terminalTitle = "t" + std::to_string(i);
        t.feed("\x1b[22;2t");
    }
    EXPECT_EQ(t.terminalTitleStack.size(), Terminal::kMaxTitleStackDepth);
    for (int i = 0; i < pushes; i++) t.feed("\x1b[23;2t");
    auto pops = d.callsNamed("setTerminalTitle");
    ASSERT_EQ(pops.size(), Terminal::kMaxTitleStackDepth);
    EXPECT_EQ(pops.front(), "setTerminalTitle t" + std::to_string(pushes - 1));
    EXPECT_EQ(pops.back(), "setTerminalTitle t5");
}

TEST(TerminalWindow, WithoutADelegateNothingHappens)
{
    Terminal t(nullptr);
    t.terminalTitle = "kept";
    t.feed("\x1b[22;0t\x1b[18t");
    EXPECT_TRUE(t.terminalTitleStack.empty());
    EXPECT_TRUE(t.terminalIconStack.empty());
}

TEST(TerminalWindow, TitleModeFlagsAreOnlySet)
{
    RecordingDelegate d;
    Terminal t(&d);
    d.clear();
    t.feed("\x1b[>2;3;7t");
    EXPECT_TRUE(t.xtermTitleSetUtf);
    EXPECT_TRUE(t.xtermTitleQueryUtf);
    EXPECT_FALSE(t.xtermTitleSetHex);
    EXPECT_FALSE(t.xtermTitleQueryHex);

    t.silentLog = false;
    log::Capture capture;
    t.feed("\x1b[=1t");
    EXPECT_EQ(capture.lines(), std::vector<std::string>{"Info: Unhandled csiT [61]"});
    EXPECT_TRUE(d.calls.empty());
}
