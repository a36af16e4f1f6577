// Programs that try to exhaust the host: whatever they send, what the engine and its process
// host hold for them stays bounded, goes back when no longer needed, and never reaches into
// another terminal.
#include "terminal/engine/HeadlessTerminal.hpp"
#include "terminal/engine/Terminal.hpp"
#include "terminal/screen/Log.hpp"

#include "support/HeadlessSession.hpp"
#include "support/RecordingDelegate.hpp"
#include "support/ScreenDump.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

using namespace corvix;
using corvix::test::RecordingDelegate;
using corvix::test::Session;

namespace {

std::string hyperlink(const std::string& target, const std::string& text)
{
    return "\x1b]8;;" + target + "\x07" + text + "\x1b]8;;\x07";
}

std::string payloadAt(Terminal& t, int col, int row)
{
    auto cell = t.getCharData(col, row);
    const std::string* s = cell ? t.payloads.target(cell->payload.code) : nullptr;
    return s ? *s : "";
}

// A grapheme cluster of its own for every n below 1,000,000: a letter and three combining marks.
std::string cluster(int n)
{
    std::string out = "a";
    for (int mark : {n % 100, n / 100 % 100, n / 10000}) {
        const char32_t c = char32_t(0x300 + mark);
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    }
    return out;
}

} // namespace

TEST(HostileProgram, HyperlinkTargetsAreBoundedAndGivenBack)
{
    RecordingDelegate d;
    Terminal t(&d);
    // A target past the bound is not kept: its text prints without a link.
    t.feed(hyperlink(std::string(Terminal::kMaxHyperlinkPayloadBytes + 1, 'x'), "L"));
    EXPECT_EQ(t.getCharData(0, 0)->payload.code, 0);
    EXPECT_EQ(t.payloads.count(), 0u);

    // Many long targets opened and closed without text: the bytes held stay under the bound,
    // and the codes come back once no cell uses them.
    const std::string longTarget(Terminal::kMaxHyperlinkPayloadBytes - 100, 'y');
    for (int i = 0; i < 2000; ++i) {
        t.feed("\x1b]8;;" + std::to_string(i) + longTarget + "\x07\x1b]8;;\x07");
        ASSERT_LE(t.payloads.bytes(), Terminal::kMaxPayloadBytes) << i;
    }
    t.feed("\r" + hyperlink("http://kept", "K"));
    EXPECT_EQ(payloadAt(t, 0, 0), ";http://kept");
    t.collectUnusedCodes();
    EXPECT_EQ(t.payloads.count(), 1u);
    EXPECT_EQ(t.payloads.bytes(), std::string(";http://kept").size());
}

TEST(HostileProgram, OneTerminalFillingItsLinkTableLeavesAnotherTerminalsLinksWorking)
{
    RecordingDelegate d1;
    RecordingDelegate d2;
    TerminalOptions o = TerminalOptions::defaults();
    o.scrollback = 1000;
    Terminal first(&d1, o);
    Terminal second(&d2);
    // One-cell links filling every code, each still on screen or in the scroll-back (80 x 1,025
    // cells).
    std::string flood;
    for (int i = 0; i < TinyAtomTable::kLastCode; ++i) flood += hyperlink("h/" + std::to_string(i), "x");
    first.feed(flood);
    EXPECT_EQ(first.payloads.count(), size_t(TinyAtomTable::kLastCode));

    // A further link in the full terminal gets no code; after the one collection that found
    // nothing to free, the next failed look-ups go without a scan.
    first.feed(hyperlink("http://more/0", "m"));
    EXPECT_EQ(first.payloadCollectionPause_, Terminal::kPayloadCollectionPause);
    first.feed(hyperlink("http://more/1", "m"));
    EXPECT_EQ(first.payloadCollectionPause_, Terminal::kPayloadCollectionPause - 1);

    // The other terminal's links, old and new, work.
    second.feed(hyperlink("http://second", "S"));
    EXPECT_EQ(payloadAt(second, 0, 0), ";http://second");
    EXPECT_EQ(second.link(LinkLookupLocation::screen({0, 0}), LinkLookupMode::explicitOnly),
              std::optional<std::string>("http://second"));

    // Once the full terminal's scroll-back is cleared its codes come back, and links work again.
    first.feed("\x1b[H\x1b[2J\x1b[3J");
    EXPECT_EQ(first.payloadCollectionPause_, 0);
    first.feed(hyperlink("http://again", "A"));
    EXPECT_EQ(payloadAt(first, 0, 0), ";http://again");
}

TEST(HostileProgram, ChildTriggeredDiagnosticsRespectSilentLogAndAreRateLimited)
{
    const std::vector<std::string> sequences = {
        "\x1b[6m",            // unknown SGR value
        "\x1b[1'z",           // DECELR
        "\x1b[?9999h",        // unknown private mode
        "\x1b]9999;x\x07",    // unknown OSC
        "\x1b_Zx\x1b\\",      // unknown APC
    };
    for (const auto& sequence : sequences) {
        RecordingDelegate d;
        Terminal t(&d);
        log::Capture capture;
        t.feed(sequence);
        EXPECT_TRUE(capture.lines().empty()) << sequence;

        t.silentLog = false;
        std::string flood;
        for (int i = 0; i < 10 * Terminal::kDiagnosticBurst; ++i) flood += sequence;
        t.feed(flood);
        EXPECT_GE(capture.lines().size(), 1u) << sequence;
        EXPECT_LE(capture.lines().size(), size_t(Terminal::kDiagnosticBurst) + 1) << sequence;
    }
}

TEST(HostileProgram, TheClusterTableGivesMemoryBack)
{
    struct Case {
        const char* name;
        std::string clear; // sent after the clusters; "" relies on the automatic collection
        size_t atMost;     // clusters left
    };
    const Case cases[] = {
        {"full reset", "\x1b" "c", 0},
        {"scroll-back clear", "\x1b[H\x1b[2J\x1b[3J", 0},
        {"automatic", "", 2 * GraphemeClusterTable::kClusterCollectionMinimum},
    };
    for (const auto& c : cases) {
        RecordingDelegate d;
        TerminalOptions o = TerminalOptions::defaults();
        o.scrollback = 100;
        Terminal t(&d, o);
        const int count = c.clear.empty() ? 3 * int(GraphemeClusterTable::kClusterCollectionMinimum) : 20000;
        std::string text;
        for (int i = 0; i < count; ++i) text += cluster(i);
        t.feed(text);
        t.feed(c.clear);
        EXPECT_LE(t.clusters().size(), c.atMost) << c.name;

        // Clusters still on screen keep their text; new ones work after a collection.
        t.feed("\x1b[H" + cluster(1) + cluster(777777));
        t.collectClusters();
        EXPECT_EQ(test::dumpRow(t, 0).substr(0, cluster(1).size() + cluster(777777).size()),
                  cluster(1) + cluster(777777))
            << c.name;
        EXPECT_LE(t.clusters().size(), size_t(t.cols) * size_t(t.rows + 100)) << c.name;
    }
}

TEST(HostileProgram, LongStringsDoNotKeepTheirBuffers)
{
    const std::string payload(size_t{4} << 20, 'A');
    const std::vector<std::string> strings = {
        "\x1b]52;c;" + payload + "\x07",                                     // clipboard
        "\x1b_Ga=t,f=100,q=2;" + payload + "\x1b\\",                        // image
        "\x1b]52;c;" + payload + "\x18",                                     // cancelled
        "\x1b]8;;" + std::string(size_t{9} << 20, 'x') + "\x07",            // past the bound
    };
    for (const auto& s : strings) {
        RecordingDelegate d;
        Terminal t(&d);
        t.feed(s);
        EXPECT_LE(t.parser().stringBufferBytes(), 2 * EscapeSequenceParser::kKeptStringCapacity) << s.substr(0, 8);
        // Short strings still work afterwards.
        t.feed(hyperlink("http://after", "a"));
        EXPECT_EQ(payloadAt(t, 0, 0), ";http://after") << s.substr(0, 8);
    }
}

// A pty child floods colour queries and reads nothing for a while: the replies waiting for it
// stay bounded because reading its output pauses, and once it reads, every reply and every key
// typed meanwhile arrives and the rest of its output is shown.
TEST(HostileProgram, RepliesToAChildThatDoesNotReadStayBounded)
{
    constexpr int kQueries = 300000;
    RecordingDelegate probe;
    Terminal reference(&probe);
    reference.feed("\x1b]4;1;?\x07");
    const size_t replySize = probe.sent.size();
    ASSERT_GT(replySize, 10u);
    const std::string typed = "typed\n";

    // The reader starts once the host has paused, told by a file; a background job's input
    // would be /dev/null, hence descriptor 3 for the terminal.
    const std::string go = ::testing::TempDir() + "corvix-hostile-go-" + std::to_string(::getpid());
    std::remove(go.c_str());
    Session s;
    s.onQueue([&] {
        s.headless->process().startProcess(
            "/bin/sh", {"-c", "stty -echo -icanon; exec 3<&0; "
                              "{ while [ ! -e '" + go + "' ]; do sleep 0.05; done; exec cat <&3 >/dev/null; } & "
                              "yes \"$(printf '\\033]4;1;?\\007')\" | head -n " + std::to_string(kQueries) +
                                  "; printf 'DONE\\n'; wait"});
    });
    ASSERT_TRUE(s.eventually([&] { return s.headless->process().flowStats().unsentPauses > 0; }));
    s.onQueue([&] { s.headless->send(typed); });
    std::ofstream(go).put('1');
    ASSERT_TRUE(s.eventually([&] {
        Terminal& t = s.headless->terminal();
        for (int row = 0; row < t.rows; ++row)
            if (test::dumpRow(t, row).find("DONE") != std::string::npos) return true;
        return false;
    }));
    const int64_t expected = int64_t(kQueries) * int64_t(replySize) + int64_t(typed.size());
    ASSERT_TRUE(s.eventually([&] { return s.headless->process().total() == expected; }));
    const auto stats = s.onQueue([&] { return s.headless->process().flowStats(); });
    EXPECT_EQ(s.onQueue([&] { return s.headless->process().sendCount(); }), kQueries + 1);
    // Far below the replies' total (about 8 MB).
    EXPECT_LE(stats.highestUnsent, LocalProcess::kUnsentHighWaterBytes + (int64_t{1} << 20));
    std::remove(go.c_str());
}
