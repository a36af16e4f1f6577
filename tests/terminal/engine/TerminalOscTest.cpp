#include "terminal/engine/Terminal.hpp"

#include "support/RecordingDelegate.hpp"
#include "terminal/screen/Log.hpp"
#include "terminal/screen/TinyAtom.hpp"

#include <gtest/gtest.h>

#include <any>
#include <string>

using namespace corvix;
using corvix::test::RecordingDelegate;

namespace {

// A host that answers the trust and clipboard questions as the test says.
struct HostDelegate : RecordingDelegate {
    bool trusted = true;
    std::optional<std::vector<uint8_t>> clipboard;
    bool isProcessTrusted(Terminal&) override { return trusted; }
    std::optional<std::vector<uint8_t>> clipboardRead(Terminal&) override
    {
        calls.push_back("clipboardRead");
        return clipboard;
    }
};

struct Fixture {
    HostDelegate delegate;
    Terminal terminal;
    explicit Fixture(TerminalOptions o = TerminalOptions::defaults()) : terminal(&delegate, std::move(o)) {}
    void feed(std::string_view s)
    {
        delegate.clear();
        terminal.feed(s);
    }
};

// The payload text of a cell of the active buffer's ring, "" when it has none.
std::string payloadAt(Terminal& t, int ringRow, int col)
{
    const std::string* s = t.payloads.target(t.buffer().lines()[ringRow][col].payload.code);
    return s ? *s : "";
}

// Every cell of the ring holding `linkChar` carries `payload`, and no other cell carries any.
::testing::AssertionResult linkCoversExactly(Terminal& t, char32_t linkChar, const std::string& payload)
{
    auto& lines = t.buffer().lines();
    int linked = 0;
    for (int r = 0; r < lines.count(); r++) {
        for (int c = 0; c < t.cols; c++) {
            const CharData& cell = lines[r][c];
            const bool isLinkText = cell.code == int32_t(linkChar) || (cell.width == 0 && c > 0 &&
                                                                         lines[r][c - 1].code == int32_t(linkChar));
            const std::string got = payloadAt(t, r, c);
            if (isLinkText != (got == payload) || (!isLinkText && !got.empty()))
                return ::testing::AssertionFailure() << "ring row " << r << " col " << c << " payload '" << got << "'";
            linked += isLinkText;
        }
    }
    if (linked == 0) return ::testing::AssertionFailure() << "no link text found";
    return ::testing::AssertionSuccess();
}

class TerminalOsc : public ::testing::Test {};

} // namespace

// ---- Titles ----------------------------------------------------------------------------------

TEST_F(TerminalOsc, TitlesAreSetSeparately)
{
    Fixture f;
    f.feed("\x1b]0;win\x07\x1b]1;icon\x07");
    EXPECT_EQ(f.terminal.terminalTitle, "win");
    EXPECT_EQ(f.terminal.iconTitle, "icon");
    EXPECT_EQ(f.delegate.calls, (std::vector<std::string>{"setTerminalTitle win", "setTerminalIconTitle icon"}));
    f.feed("\x1b]2;\xc3\x28\x07"); // not UTF-8: an empty title
    EXPECT_EQ(f.terminal.terminalTitle, "");
    EXPECT_EQ(f.terminal.iconTitle, "icon");
}

// ---- OSC 6 and 7 ------------------------------------------------------------------------------

TEST_F(TerminalOsc, DirectoryAndDocumentAreStoredVerbatimOnlyForTrustedProcesses)
{
    Fixture f;
    f.feed("\x1b]7;file://host/tmp/$(touch x);ls\x07");
    EXPECT_EQ(f.terminal.hostCurrentDirectory, "file://host/tmp/$(touch x);ls");
    EXPECT_EQ(f.delegate.calls, std::vector<std::string>{"hostCurrentDirectoryUpdated"});
    f.feed("\x1b]6;file:///doc.txt\x1b\\");
    EXPECT_EQ(f.terminal.hostCurrentDocument, "file:///doc.txt");

    f.feed("\x1b]7;\xff\xfe\x07"); // not UTF-8
    EXPECT_EQ(f.terminal.hostCurrentDirectory, "file://host/tmp/$(touch x);ls");
    f.delegate.trusted = false;
    f.feed("\x1b]7;file://host/other\x07");
    f.feed("\x1b]6;file://host/other\x07");
    EXPECT_EQ(f.terminal.hostCurrentDirectory, "file://host/tmp/$(touch x);ls");
    EXPECT_EQ(f.terminal.hostCurrentDocument, "file:///doc.txt");
    EXPECT_TRUE(f.delegate.callsNamed("host").empty());
}

// ---- OSC 8 ------------------------------------------------------------------------------------

TEST_F(TerminalOsc, LinkCoversExactlyItsOwnText)
{
    Fixture f;
    f.terminal.feed("ab\x1b]8;id=1;http://a\x07LL\x1b]8;;\x07" "cd");
    EXPECT_TRUE(linkCoversExactly(f.terminal, U'L', "id=1;http://a"));
    EXPECT_FALSE(f.terminal.hyperLinkTracking);

    // Closing right after opening marks nothing.
    Fixture g;
    g.terminal.feed("\x1b]8;;http://b\x07\x1b]8;;\x07xy");
    EXPECT_EQ(payloadAt(g.terminal, 0, 0), "");
    EXPECT_EQ(payloadAt(g.terminal, 0, 1), "");

    // A close that carries parameters but no target ends the link too.
    Fixture h;
    h.terminal.feed("\x1b]8;id=7;http://c\x07L\x1b]8;id=7;\x07x");
    EXPECT_TRUE(linkCoversExactly(h.terminal, U'L', "id=7;http://c"));
}

TEST_F(TerminalOsc, LinkFollowsWrappedWideAndScrolledText)
{
    // Opened at column 78, wrapped over three rows.
    {
        Fixture f;
        f.terminal.buffer().setX(78);
        f.terminal.feed("\x1b]8;;http://w\x07" + std::string(90, 'L') + "\x1b]8;;\x07xyz");
        EXPECT_TRUE(linkCoversExactly(f.terminal, U'L', ";http://w"));
    }
    // Wide characters: both halves carry the link.
    {
        Fixture f;
        f.terminal.feed("\x1b]8;;http://jp\x07\xe6\x97\xa5\xe6\x97\xa5\x1b]8;;\x07" "a");
        EXPECT_TRUE(linkCoversExactly(f.terminal, U'\u65E5', ";http://jp"));
        EXPECT_EQ(payloadAt(f.terminal, 0, 3), ";http://jp");
    }
    // A full scroll-back ring: the start of the link has scrolled away before it closes.
    {
        TerminalOptions o;
        o.cols = 10;
        o.rows = 4;
        o.scrollback = 3;
        Fixture f(o);
        f.terminal.feed("pre\r\n\r\n\x1b]8;;http://s\x07" + std::string(75, 'L') + "\x1b]8;;\x07post\r\nmore");
        EXPECT_GT(f.terminal.buffer().linesTop, 0);
        EXPECT_TRUE(linkCoversExactly(f.terminal, U'L', ";http://s"));
    }
    // The alternate screen.
    {
        Fixture f;
        f.terminal.feed("\x1b[?47h");
        f.terminal.buffer().setX(5);
        f.terminal.feed("\x1b]8;;http://alt\x07" + std::string(100, 'L') + "\x1b]8;;\x07zz");
        EXPECT_TRUE(linkCoversExactly(f.terminal, U'L', ";http://alt"));
    }
}

TEST_F(TerminalOsc, ResetEndsAnOpenLink)
{
    Fixture f;
    f.terminal.feed("\x1b]8;;http://r\x07L\x1b" "cx");
    EXPECT_EQ(payloadAt(f.terminal, 0, 0), "");
    EXPECT_EQ(f.terminal.getCharData(0, 0)->code, 'x');
}

TEST_F(TerminalOsc, PayloadsAreInternedAndCodesComeBackWhenUnused)
{
    TerminalOptions o;
    o.cols = 10;
    o.rows = 2;
    o.scrollback = 1;
    Fixture f(o);
    f.terminal.feed("\x1b]8;;http://same\x07" "A\x1b]8;;\x07\x1b]8;;http://same\x07" "B\x1b]8;;\x07");
    const uint16_t code = f.terminal.getCharData(0, 0)->payload.code;
    EXPECT_NE(code, 0);
    EXPECT_EQ(f.terminal.getCharData(1, 0)->payload.code, code);
    EXPECT_EQ(f.terminal.payloads.count(), 1u);

    // An open link keeps its code through a collection even before any cell carries it.
    f.terminal.feed("\x1b]8;;http://open\x07");
    f.terminal.collectUnusedCodes();
    EXPECT_EQ(f.terminal.payloads.count(), 2u);
    f.terminal.feed("C\x1b]8;;\x07");
    EXPECT_EQ(payloadAt(f.terminal, f.terminal.buffer().yBase(), 2), ";http://open");

    // Once the linked text has scrolled out of the ring, its code is released and forgotten.
    f.terminal.feed("\r\n\r\n\r\n\r\n");
    f.terminal.collectUnusedCodes();
    EXPECT_EQ(f.terminal.payloads.count(), 0u);
    EXPECT_EQ(f.terminal.payloads.bytes(), 0u);
    EXPECT_EQ(f.terminal.payloads.target(code), nullptr);
    f.terminal.feed("\x1b]8;;http://same\x07" "D\x1b]8;;\x07");
    EXPECT_EQ(payloadAt(f.terminal, f.terminal.buffer().yBase() + f.terminal.buffer().y(), 0), ";http://same");
}

TEST_F(TerminalOsc, ManyDistinctLinksNeverExhaustTheCodes)
{
    Fixture f;
    f.terminal.buffer().setY(1);
    f.terminal.feed("\x1b]8;;http://kept\x07K\x1b]8;;\x07");
    f.terminal.buffer().setY(0);
    for (int i = 0; i < 70000; i++)
        f.terminal.feed("\r\x1b]8;;http://h/" + std::to_string(i) + "\x07x\x1b]8;;\x07");
    EXPECT_EQ(payloadAt(f.terminal, 0, 0), ";http://h/69999");
    EXPECT_EQ(payloadAt(f.terminal, 1, 0), ";http://kept");
    EXPECT_LT(f.terminal.payloads.count(), 10000u);
}

// ---- OSC 52 -----------------------------------------------------------------------------------

TEST_F(TerminalOsc, ClipboardWritesDecodeAndReadsNeedPermission)
{
    {
        Fixture f;
        f.feed("\x1b]52;c;aGVsbG8=\x07");
        EXPECT_EQ(f.delegate.calls, std::vector<std::string>{"clipboardCopy hello"});
        f.feed("\x1b]52;;YWJjZGU=\x07");
        EXPECT_EQ(f.delegate.calls, std::vector<std::string>{"clipboardCopy abcde"});
        for (std::string_view bad : {"\x1b]52;c;a GVsbG8=\x07", "\x1b]52;c;aGVsbG8\x07", "\x1b]52;c\x07", "\x1b]52;\x07"}) {
            f.feed(bad);
            EXPECT_TRUE(f.delegate.calls.empty()) << bad;
        }
        // Reads are off by default, even for a trusted process with a clipboard.
        f.delegate.clipboard = std::vector<uint8_t>{'h', 'i'};
        f.feed("\x1b]52;c;?\x07");
        EXPECT_EQ(f.delegate.sent, "");
        EXPECT_TRUE(f.delegate.callsNamed("clipboardRead").empty());
    }
    {
        TerminalOptions o;
        o.clipboardReadAllowed = true;
        Fixture f(o);
        f.delegate.clipboard = std::vector<uint8_t>{'h', 'i'};
        f.feed("\x1b]52;c;?\x07");
        EXPECT_EQ(f.delegate.sent, "\x1b]52;c;aGk=\x1b\\");
        f.feed("\x1b]52;;?\x07");
        EXPECT_EQ(f.delegate.sent, "\x1b]52;c;aGk=\x1b\\");
        f.feed("\x1b]52;p;?\x07");
        EXPECT_EQ(f.delegate.sent, "\x1b]52;p;aGk=\x1b\\");
        f.feed("\x1b]52;x[1m;?\x07"); // not a selection name: never echoed
        EXPECT_EQ(f.delegate.sent, "\x1b]52;c;aGk=\x1b\\");

        f.delegate.clipboard.reset();
        f.feed("\x1b]52;c;?\x07");
        EXPECT_EQ(f.delegate.sent, "");
        f.delegate.clipboard = std::vector<uint8_t>{'h', 'i'};
        f.delegate.trusted = false;
        f.feed("\x1b]52;c;?\x07");
        EXPECT_EQ(f.delegate.sent, "");
    }
}

TEST_F(TerminalOsc, ClipboardWritesAreBounded)
{
    Fixture f;
    // 5592405 full groups and one padded group: exactly 16 MiB, then one byte more.
    const std::string groups(size_t{5592405} * 4, 'A');
    f.feed("\x1b]52;c;" + groups + "AA==\x07");
    ASSERT_EQ(f.delegate.calls.size(), 1u);
    EXPECT_EQ(f.delegate.calls[0].size(), std::string("clipboardCopy ").size() + (size_t{16} << 20));
    f.feed("\x1b]52;c;" + groups + "AAA=\x07");
    EXPECT_TRUE(f.delegate.calls.empty());
}

// ---- OSC 777, OSC 9 ---------------------------------------------------------------------------

TEST_F(TerminalOsc, Notifications)
{
    Fixture f;
    f.feed("\x1b]777;notify;T;a;b\x07");
    EXPECT_EQ(f.delegate.calls, std::vector<std::string>{"notify T | a;b"});
    for (std::string_view ignored : {"\x1b]777;notify;T\x07", "\x1b]777;other;T;b\x07", "\x1b]777;notify;\xff;b\x07"}) {
        f.feed(ignored);
        EXPECT_TRUE(f.delegate.calls.empty()) << ignored;
    }
}

TEST_F(TerminalOsc, ProgressReports)
{
    Fixture f;
    using S = ProgressReportState;
    const std::pair<std::string_view, std::optional<ProgressReport>> cases[] = {
        {"4;1;150", ProgressReport{S::set, 100}},
        {"4;1;-5", ProgressReport{S::set, 0}},
        {"4;0;50", ProgressReport{S::remove, std::nullopt}},
        {"4;1", ProgressReport{S::set, 0}},
        {"4;1;", ProgressReport{S::set, 0}},
        {"4;3", ProgressReport{S::indeterminate, std::nullopt}},
        {"4;4;+30;extra", ProgressReport{S::pause, 30}},
        {"4;2;99999999999999999999", std::nullopt},
        {"4;12", std::nullopt},
        {"4;5", std::nullopt},
        {"4;1;abc", std::nullopt},
        {"4;1;+-5", std::nullopt},
        {"4", std::nullopt},
        {"3;1", std::nullopt},
    };
    for (auto [text, expected] : cases) {
        f.delegate.calls.clear();
        f.feed("\x1b]9;" + std::string(text) + "\x07");
        std::vector<std::string> calls;
        if (expected)
            calls.push_back("progressReport " + std::to_string(int(expected->state)) + " " +
                            (expected->progress ? std::to_string(*expected->progress) : std::string("nil")));
        EXPECT_EQ(f.delegate.calls, calls) << text;
    }
    f.delegate.calls.clear();

    f.feed("\x1b]9;4;1;150\x07");
    EXPECT_EQ(f.delegate.calls, std::vector<std::string>{"progressReport 1 100"});
    log::Capture capture;
    f.terminal.silentLog = false;
    f.feed("\x1b]9;4;12\x07");
    EXPECT_TRUE(f.delegate.calls.empty());
    EXPECT_EQ(capture.lines(), std::vector<std::string>{"Info: Corvix: Unknown OSC code: 9"});
}

// ---- OSC 1337 ---------------------------------------------------------------------------------

TEST_F(TerminalOsc, InlineImagesAndOtherContent)
{
    Fixture f;
    // Kinds: 0 cells, 1 pixels, 2 percent, 3 auto.
    f.feed("\x1b]1337;File=inline=1;width=50%;height=10px:aGVsbG8=\x07");
    EXPECT_EQ(f.delegate.calls, std::vector<std::string>{"createImage 5 2:50 1:10"});

    const std::pair<std::string_view, std::string_view> widths[] = {
        {"width=0", "3:0"},    {"width=200", "3:0"}, {"width=199", "0:199"}, {"width=+7", "0:7"},
        {"width=auto", "3:0"}, {"width=", "3:0"},    {"width=px", "3:0"},    {"width=4095px", "1:4095"},
        {"width=4096px", "3:0"}, {"width=101%", "3:0"}, {"width=-5", "3:0"}, {"width=5x", "3:0"},
    };
    for (auto [arg, kind] : widths) {
        f.feed("\x1b]1337;File=" + std::string(arg) + ";inline=1:aGVsbG8=\x07");
        EXPECT_EQ(f.delegate.calls, std::vector<std::string>{"createImage 5 " + std::string(kind) + " 3:0"}) << arg;
    }

    // Parsing stops at the first malformed segment, so a later inline=1 is not seen.
    const std::string content[] = {"File=name=a;inline=0:aGk=", "File=bogus;inline=1:aGk=", "SetMark=1",
                                   "File=size=2:aGk="};
    for (const std::string& c : content) {
        f.feed("\x1b]1337;" + c + "\x07");
        EXPECT_EQ(f.delegate.calls, std::vector<std::string>{"iTermContent " + c}) << c;
    }
    for (std::string_view nothing : {"\x1b]1337;NoEquals\x07", "\x1b]1337;File=inline=1\x07",
                                     "\x1b]1337;File=inline=1:not base64\x07", "\x1b]1337;\x07"}) {
        f.feed(nothing);
        EXPECT_TRUE(f.delegate.calls.empty()) << nothing;
    }
}

namespace {
struct AspectDelegate : RecordingDelegate {
    std::vector<bool> preserved;
    bool createImage(Terminal&, std::span<const uint8_t>, ImageSizeRequest, ImageSizeRequest, bool keep) override
    {
        preserved.push_back(keep);
        return false;
    }
};
} // namespace

TEST_F(TerminalOsc, InlineImagesKeepTheirAspectRatioUnlessToldOtherwise)
{
    AspectDelegate d;
    Terminal t(&d);
    t.feed("\x1b]1337;File=inline=1:aGk=\x07");
    t.feed("\x1b]1337;File=inline=1;preserveAspectRatio=1:aGk=\x07");
    t.feed("\x1b]1337;File=inline=1;preserveAspectRatio=0:aGk=\x07");
    EXPECT_EQ(d.preserved, (std::vector<bool>{true, true, false}));
}

namespace {
// Defers every other inline image it is handed, as the view does with one past its budget.
struct DeferringDelegate : RecordingDelegate {
    int offered = 0;
    std::string taken;
    int takenAtColumn = -1;
    bool createImage(Terminal& t, std::span<const uint8_t> data, ImageSizeRequest, ImageSizeRequest, bool) override
    {
        if (offered++ % 2 == 0) {
            t.deferCurrentString();
            return false;
        }
        taken.assign(data.begin(), data.end());
        takenAtColumn = t.getCursorLocation().first;
        return true;
    }
};
} // namespace

TEST_F(TerminalOsc, ADeferredStringStopsTheFeedAndIsHandedOverAgain)
{
    // The feed stops before the string's terminator (BEL, or ESC of ST, also across chunks); fed
    // on from there, the string comes again whole and the text after it follows.
    const struct {
        const char* name;
        std::vector<std::string> chunks;
    } cases[] = {
        {"BEL", {"a\x1b]1337;File=inline=1:aGk=\x07" "b"}},
        {"ST", {"a\x1b]1337;File=inline=1:aGk=\x1b\\b"}},
        {"ST split after ESC", {"a\x1b]1337;File=inline=1:aGk=\x1b", "\\b"}},
        {"split inside the payload", {"a\x1b]1337;File=inline=1:a", "Gk=\x07" "b"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DeferringDelegate d;
        Terminal t(&d);
        size_t stops = 0;
        for (const std::string& chunk : c.chunks) {
            std::string_view rest = chunk;
            while (!rest.empty()) {
                const size_t taken = t.feed(rest);
                ASSERT_LE(taken, rest.size());
                if (taken < rest.size()) stops++;
                rest.remove_prefix(taken);
            }
        }
        EXPECT_EQ(stops, 1u);
        EXPECT_EQ(d.offered, 2);
        EXPECT_EQ(d.taken, "hi");
        EXPECT_EQ(d.takenAtColumn, 1);
        EXPECT_EQ(t.getText(Position{0, 0}, Position{2, 0}), "ab");
    }
}
