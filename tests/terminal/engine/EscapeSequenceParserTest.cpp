#include "terminal/engine/EscapeSequenceParser.hpp"
#include "terminal/engine/support/ChunkSplit.hpp"
#include "terminal/engine/support/RecordingParserHandler.hpp"
#include "terminal/screen/Log.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

using namespace corvix;
using namespace corvix::test;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

#define ESC "\x1b"
#define CSI ESC "["
#define OSC ESC "]"
#define APC ESC "_"
#define DCS ESC "P"
#define ST ESC "\\"
#define BEL "\x07"
#define CAN "\x18"
#define SUB "\x1a"

namespace {

struct Case {
    std::string_view input;
    std::vector<std::string> expected;
};

// Feeds the chunks in order to a fresh parser and returns the joined log.
std::vector<std::string> parseLog(const Chunks& chunks, bool withResets = false)
{
    RecordingParserHandler sink;
    EscapeSequenceParser parser(&sink);
    for (auto chunk : chunks) {
        parser.parse(chunk);
    }
    return sink.log(true, withResets);
}

std::vector<std::string> parseLog(std::string_view input)
{
    return parseLog(Chunks{bytesOf(input)});
}

void expectCases(const std::vector<Case>& cases)
{
    for (const Case& c : cases) {
        EXPECT_EQ(parseLog(c.input), c.expected) << "input: " << escapeBytes(bytesOf(c.input));
    }
}

const std::string kEscST = "esc '' \\x5c"; // the '\' of a 7-bit ST: an ESC dispatch

const std::vector<Case> kOscCases = {
    {OSC "0;title" BEL, {"osc 0 'title'"}},
    {OSC "0;title" ST, {"osc 0 'title'", kEscST}},
    {OSC "2;a" CAN "b", {"print 'b'"}},
    {OSC "2;a" SUB "b", {"print 'b'"}},
    {OSC "x;y" BEL OSC ";y" BEL, {}},
    {OSC "104" BEL, {"osc 104 ''"}},
    {OSC "52;c;" BEL, {"osc 52 'c;'"}},
    // UTF-8 titles: "本" is E6 9C AC and "✳" is E2 9C B3; 0x9C inside them is data.
    {OSC "2;\xe6\x9c\xac\xe2\x9c\xb3" BEL, {"osc 2 '\\xe6\\x9c\\xac\\xe2\\x9c\\xb3'"}},
    // No byte from 0x80 to 0x9F ends or restarts a string, 8-bit ST included.
    {OSC "2;a\x9c" "b\x9d\x9b\x90\x85" "c" BEL, {"osc 2 'a\\x9cb\\x9d\\x9b\\x90\\x85c'"}},
    {OSC "2;\x9c" BEL, {"osc 2 '\\x9c'"}},
    // Other C0 bytes inside the string are dropped, EM included.
    {OSC "2;a\x01\x19\x0d" "b" BEL, {"osc 2 'ab'"}},
    // An 8-bit OSC introducer after ESC.
    {ESC "\x9d" "1;i" BEL, {"osc 1 'i'"}},
};

const std::vector<Case> kApcCases = {
    {APC "Ga=q" ST, {"kitty 'a=q'", kEscST}},
    {APC "G" BEL, {"kitty ''"}},
    {APC "Xabc" ST, {"apc X 'abc'", kEscST}},
    {APC ST, {kEscST}},
    {APC "Ga=q" CAN "z", {"print 'z'"}},
    {APC "Ga=\x9c\x9f" BEL, {"kitty 'a=\\x9c\\x9f'"}},
    // SOS and PM bodies are ignored, UTF-8 included (0x9C there is content, not ST).
    {ESC "Xany \xe6\x9c\xac" ST "z", {kEscST, "print 'z'"}},
    {ESC "^h\xc3\xa9llo\x9c" ST "z", {kEscST, "print 'z'"}},
};

const std::vector<Case> kCsiCases = {
    {CSI "99999A", {"csi '' 65535 A"}},
    {"ab" CSI "70000;65536:7m" "c", {"print 'ab'", "csi '' 65535;65535:7 m", "print 'c'"}},
    {CSI "1;2;3;4;5;6;7;8;9;10;11;12;13;14;15;16;17;18;19;20;21;22;23;24m",
     {"csi '' 1;2;3;4;5;6;7;8;9;10;11;12;13;14;15;16;17;18;19;20;21;22;23;24 m"}},
    {CSI "1;2;3;4;5;6;7;8;9;10;11;12;13;14;15;16;17;18;19;20;21;22;23;24;25m" "x",
     {"print 'x'"}},
    {CSI "1;2;3;4;5;6;7;8;9;10;11;12;13;14;15;16;17;18;19;20;21;22;23;24;m", {}},
    {CSI "4:3m", {"csi '' 4:3 m"}},
    {CSI "38:2::10:20:30m", {"csi '' 38:2:0:10:20:30 m"}},
    {CSI ";5H" CSI "H", {"csi '' 0;5 H", "csi '' 0 H"}},
    {CSI ":4m", {"error csiEntry 0x3a", "print '4m'"}},
    {CSI "?25h", {"csi '?' 25 h"}},
    {CSI "1?h" "x", {"print 'x'"}},
    {CSI "1" CAN "2m", {"execute 0x18", "csi '' 12 m"}},
    {CSI "1" SUB "m", {"execute 0x1a", "print 'm'"}},
    {CSI "38;5;1m", {"csi '' 38;5;1 m"}},
    // Parameters of every length, read three digits at a time where they can be: leading zeros,
    // a fourth digit, and numbers ended by ':', ';', the final byte or an intermediate.
    {CSI "7;42;255;1234;65535;007;0000001;99;100m", {"csi '' 7;42;255;1234;65535;7;1;99;100 m"}},
    {CSI "5:12:123:1234:12345:123456H", {"csi '' 5:12:123:1234:12345:65535 H"}},
    {CSI "255 q" CSI "25$p" CSI "3m", {"csi ' ' 255 q", "csi '$' 25 p", "csi '' 3 m"}},
    // The 256-colour opening "38;5;" / "48;5;" and what may follow it.
    {CSI "48;5;255;1m" CSI "38;5;m", {"csi '' 48;5;255;1 m", "csi '' 38;5;0 m"}},
    {CSI "1;38;5;2m" CSI "38;5:3m" CSI "38;6;4m", {"csi '' 1;38;5;2 m", "csi '' 38;5:3 m", "csi '' 38;6;4 m"}},
    {CSI "38;5;1;2;3;4;5;6;7;8;9;10;11;12;13;14;15;16;17;18;19;20;21;22m",
     {"csi '' 38;5;1;2;3;4;5;6;7;8;9;10;11;12;13;14;15;16;17;18;19;20;21;22 m"}},
    {CSI "38;5;1;2;3;4;5;6;7;8;9;10;11;12;13;14;15;16;17;18;19;20;21;22;23m" "x", {"print 'x'"}},
    {CSI ">4;1m" CSI "?$p" CSI "1 q", {"csi '>' 4;1 m", "csi '?$' 0 p", "csi ' ' 1 q"}},
    // Collect is bounded: a sequence with more intermediates than any real one is dropped.
    {CSI "?$$$$p" "x", {"print 'x'"}},
    {CSI "1\x7f" "2m", {"csi '' 12 m"}},
    {CSI "1\xa0m" "x", {"error csiParam 0xa0", "print 'mx'"}},
};

const std::vector<Case> kEscAndTextCases = {
    {"ab\r\ncd", {"print 'ab'", "execute 0x0d", "execute 0x0a", "print 'cd'"}},
    // In text, C1 bytes are UTF-8, not controls.
    {"\x9b" "1m\x90" "q\xc3\xa9", {"print '\\x9b1m\\x90q\\xc3\\xa9'"}},
    // After ESC an 8-bit introducer works.
    {ESC "\x9b" "1m", {"csi '' 1 m"}},
    {ESC "(B" ESC "#8" ESC "c", {"esc '(' B", "esc '#' 8", "esc '' c"}},
    {ESC "(((((B" "x", {"print 'x'"}},
    {ESC ESC "7", {"esc '' 7"}},
    // EM is an error; it never reaches the print path.
    {"abc\x19" "def", {"print 'abc'", "error ground 0x19", "print 'def'"}},
    {ESC "\x85" "x", {"execute 0x85", "print 'x'"}},
};

const std::vector<Case> kDcsCases = {
    {DCS "q#0;2;0;0;0#0~~" ST,
     {"dcs-hook '' [0] q", "dcs-put '#0;2;0;0;0#0~~'", "dcs-unhook", kEscST}},
    {DCS "1;2q" "ab" ESC "\x9c", {"dcs-hook '' [1;2] q", "dcs-put 'ab'", "dcs-unhook"}},
    {DCS "$qm" ST, {"dcs-hook '$' [0] q", "dcs-put 'm'", "dcs-unhook", kEscST}},
    {DCS "q" "a\x7f" "b\x18\x01\xc3\xa9" ST,
     {"dcs-hook '' [0] q", "dcs-put 'ab\\x18\\x01\\xc3\\xa9'", "dcs-unhook", kEscST}},
    {ESC "\x90" "q" "ab\x9c" "x", {"dcs-hook '' [0] q", "dcs-put 'ab'", "dcs-unhook", "print 'x'"}},
    // Abandoned strings: no unhook, and what came before the abandoning byte was handed over.
    {DCS "qab" SUB "x", {"dcs-hook '' [0] q", "dcs-put 'ab'", "dcs-drop", "execute 0x1a", "print 'x'"}},
    {DCS "qab\x85" "x", {"dcs-hook '' [0] q", "dcs-put 'ab'", "dcs-drop", "execute 0x85", "print 'x'"}},
    {DCS "qab\x19" "x",
     {"dcs-hook '' [0] q", "dcs-put 'ab'", "dcs-drop", "error dcsPassthrough 0x19", "print 'x'"}},
    // Malformed introducers are consumed to the terminator without a handler.
    {DCS ":1qab" ST "x", {kEscST, "print 'x'"}},
    {DCS "1?qab" ST "x", {kEscST, "print 'x'"}},
    {DCS "1;2;3;4;5;6;7;8;9;10;11;12;13;14;15;16;17;18;19;20;21;22;23;24;25qab" ST "x",
     {kEscST, "print 'x'"}},
    // A dropped string does not feed the handler of an earlier abandoned one.
    {DCS "qa" SUB DCS "1;2;3;4;5;6;7;8;9;10;11;12;13;14;15;16;17;18;19;20;21;22;23;24;25qb" ST,
     {"dcs-hook '' [0] q", "dcs-put 'a'", "dcs-drop", "execute 0x1a", kEscST}},
};

} // namespace

TEST(EscapeSequenceParser, OscStrings) { expectCases(kOscCases); }
TEST(EscapeSequenceParser, ApcSosAndPmStrings) { expectCases(kApcCases); }
TEST(EscapeSequenceParser, CsiParametersAndCollect) { expectCases(kCsiCases); }
TEST(EscapeSequenceParser, TextControlsAndEscSequences) { expectCases(kEscAndTextCases); }
TEST(EscapeSequenceParser, DcsStrings) { expectCases(kDcsCases); }

TEST(EscapeSequenceParser, StringsAcrossTwoFeeds)
{
    struct TwoFeeds {
        std::string_view first;
        std::string_view second;
        std::vector<std::string> expected;
    };
    const std::vector<TwoFeeds> cases = {
        {OSC "2;a", "b" BEL, {"osc 2 'ab'"}},
        // A byte that starts a chunk is string data just as it is mid-chunk.
        {OSC "2;\xe6", "\x9c\xac" BEL, {"osc 2 '\\xe6\\x9c\\xac'"}},
        {APC "Ga", "\x9c" "b" ST, {"kitty 'a\\x9cb'", kEscST}},
        {OSC "2;a", "\x19" "b" BEL, {"osc 2 'ab'"}},
        {OSC "2;a" ESC, "\\", {"osc 2 'a'", kEscST}},
    };
    for (const TwoFeeds& c : cases) {
        EXPECT_EQ(parseLog(Chunks{bytesOf(c.first), bytesOf(c.second)}), c.expected)
            << escapeBytes(bytesOf(c.first)) << " | " << escapeBytes(bytesOf(c.second));
    }
}

TEST(EscapeSequenceParser, DcsDataReachesTheHandlerOncePerChunk)
{
    RecordingParserHandler sink;
    EscapeSequenceParser parser(&sink);
    for (std::string_view chunk : {DCS "q#0;2", ";0;0;0", "#0~~", "~" ST}) {
        parser.parse(bytesOf(chunk));
    }
    EXPECT_THAT(sink.log(false),
                ElementsAre("dcs-hook '' [0] q", "dcs-put '#0;2'", "dcs-put ';0;0;0'",
                            "dcs-put '#0~~'", "dcs-put '~'", "dcs-unhook", kEscST));
}

TEST(EscapeSequenceParser, PrintStateResetWhenSequencesClearOrEnd)
{
    EXPECT_THAT(parseLog(Chunks{bytesOf("a" CSI "m" OSC "0;t" BEL DCS "qx" ST)}, true),
                ElementsAre("print 'a'", "reset", "reset", "csi '' 0 m", "reset", "osc 0 't'",
                            "reset", "reset", "reset", "dcs-hook '' [0] q", "dcs-put 'x'",
                            "dcs-unhook", "reset", kEscST));
}

TEST(EscapeSequenceParser, RegisteredOscHandlerTakesPrecedence)
{
    RecordingParserHandler sink;
    EscapeSequenceParser parser(&sink);
    std::string seen;
    parser.oscHandlers[7] = [&](std::span<const uint8_t> data) {
        seen.assign(reinterpret_cast<const char*>(data.data()), data.size());
    };
    parser.parse(bytesOf(OSC "7;file:///tmp" BEL OSC "8;;" BEL));
    EXPECT_EQ(seen, "file:///tmp");
    EXPECT_THAT(sink.log(), ElementsAre("osc 8 ';'"));
}

TEST(EscapeSequenceParser, ResetDropsUnfinishedStateWithoutUnhook)
{
    RecordingParserHandler sink;
    EscapeSequenceParser parser(&sink);
    parser.parse(bytesOf(DCS "qab"));
    parser.reset();
    EXPECT_EQ(parser.currentState, ParserState::ground);
    parser.parse(bytesOf("cd" ST));
    EXPECT_THAT(sink.log(true, true),
                ElementsAre("reset", "reset", "dcs-hook '' [0] q", "dcs-put 'ab'", "dcs-drop",
                            "reset", "print 'cd'", "reset", kEscST));

    sink.events.clear();
    parser.parse(bytesOf(OSC "2;half"));
    parser.reset();
    parser.parse(bytesOf(CSI "1;2"));
    parser.reset();
    parser.parse(bytesOf("rest" BEL "m"));
    EXPECT_THAT(sink.log(), ElementsAre("print 'rest'", "execute 0x07", "print 'm'"));
}

TEST(EscapeSequenceParser, ErrorHandlerAbortStopsTheChunk)
{
    RecordingParserHandler sink;
    sink.abortOnError = true;
    EscapeSequenceParser parser(&sink);
    parser.parse(bytesOf("ab" CSI ":4m" "cd"));
    EXPECT_THAT(sink.log(), ElementsAre("print 'ab'", "error csiEntry 0x3a"));
    ASSERT_EQ(sink.events.back().position, 4);
    EXPECT_EQ(parser.currentState, ParserState::csiEntry);
}

TEST(EscapeSequenceParser, WithoutTerminalOnlyTheDefaultsRun)
{
    log::Capture capture;
    EscapeSequenceParser parser;
    parser.parse(bytesOf("text" CSI "1m" ESC "7" OSC "2;t" BEL APC "Gx" ST DCS "qx" ST "\x19"));
    EXPECT_THAT(capture.lines(), ElementsAre("Cannot handle ESC-109"));
}

TEST(EscapeSequenceParser, OscAndApcStringsAreBounded)
{
    // Records sizes only: the payloads here are tens of MiB.
    struct Sizes : ParserHandler {
        std::vector<std::string> log;
        void printHandler(std::span<const uint8_t> data) override
        {
            log.push_back("print " + std::string(data.begin(), data.end()));
        }
        void dispatchOsc(int64_t code, std::span<const uint8_t> data) override
        {
            log.push_back("osc " + std::to_string(code) + " " + std::to_string(data.size()));
        }
        void handleKittyGraphics(std::span<const uint8_t> data) override
        {
            log.push_back("kitty " + std::to_string(data.size()));
        }
        void apcHandlerFallback(uint8_t letter, std::span<const uint8_t> data) override
        {
            log.push_back("apc " + std::to_string(data.size()));
        }
    };
    const size_t limit = EscapeSequenceParser::kMaxStringLength;
    const size_t largeLimit = EscapeSequenceParser::kMaxLargeStringLength;
    struct Bound {
        std::string prefix;   // introducer and code
        size_t payload;       // data bytes after the prefix
        std::string dispatch; // what the string dispatches, empty when it is abandoned
    };
    // The bound counts the whole string: code, ';' and data (or letter and data).
    const std::vector<Bound> bounds = {
        {OSC "2;", limit - 2, "osc 2 " + std::to_string(limit - 2)},
        {OSC "2;", limit - 1, ""},
        {OSC "52;", limit, "osc 52 " + std::to_string(limit)},
        {OSC "0052;", largeLimit - 5, "osc 52 " + std::to_string(largeLimit - 5)},
        {OSC "1337;", largeLimit - 4, ""},
        {APC "G", largeLimit - 1, "kitty " + std::to_string(largeLimit - 1)},
        {APC "X", limit, ""},
    };
    const std::string block(1 << 20, 'A');
    for (const Bound& bound : bounds) {
        Sizes sink;
        EscapeSequenceParser parser(&sink);
        parser.parse(bytesOf(bound.prefix));
        for (size_t left = bound.payload; left > 0;) {
            const size_t n = std::min(left, block.size());
            parser.parse(bytesOf(std::string_view(block).substr(0, n)));
            left -= n;
        }
        parser.parse(bytesOf(BEL "after" OSC "2;next" BEL));
        // An abandoned string dispatches nothing, its bytes are not printed, and the parser
        // goes on normally after its terminator.
        std::vector<std::string> expected = {"print after", "osc 2 4"};
        if (!bound.dispatch.empty()) {
            expected.insert(expected.begin(), bound.dispatch);
        }
        EXPECT_EQ(sink.log, expected) << escapeBytes(bytesOf(bound.prefix));
    }
}

TEST(EscapeSequenceParser, DcsDataIsBoundedPerHandler)
{
    struct Counting : ParserHandler {
        struct Handler : DcsHandler {
            explicit Handler(Counting& owner) : owner(owner) {}
            void hook(std::span<const uint8_t>, std::span<const int32_t>, uint8_t) override {}
            void put(std::span<const uint8_t> data) override { owner.received += data.size(); }
            void unhook() override { ++owner.unhooks; }
            ~Handler() override { ++owner.released; }
            Counting& owner;
        };
        std::unique_ptr<DcsHandler> createDcsHandler(std::span<const uint8_t>, uint8_t) override
        {
            return std::make_unique<Handler>(*this);
        }
        size_t received = 0;
        int unhooks = 0;
        int released = 0;
    };
    Counting sink;
    EscapeSequenceParser parser(&sink);
    const std::string block((1 << 20) + 7, 'A'); // chunks that do not meet the bound exactly
    parser.parse(bytesOf(DCS "q"));
    while (sink.released == 0 && sink.received < 2 * EscapeSequenceParser::kMaxDcsLength) {
        parser.parse(bytesOf(block));
    }
    parser.parse(bytesOf(block));
    parser.parse(bytesOf(ST DCS "qab" ST));
    EXPECT_EQ(sink.received, EscapeSequenceParser::kMaxDcsLength + 2);
    EXPECT_EQ(sink.unhooks, 1);
    EXPECT_EQ(sink.released, 2);
}

// Parameters are read several digits at a time where four bytes follow: every number of one to
// four digits, ended by each kind of byte that ends one, reads as its value.
TEST(EscapeSequenceParser, EveryShortParameterReadsAsItsValue)
{
    struct Ender {
        std::string_view text;
        std::string_view collect;
        std::string_view rest; // what the log shows after the number
    };
    const Ender enders[] = {{"m", "", " m"}, {";1m", "", ";1 m"}, {":2m", "", ":2 m"}, {" q", " ", " q"}, {"$p", "$", " p"}};
    for (const Ender& ender : enders) {
        std::string input;
        std::vector<std::string> expected;
        for (int n = 0; n < 10000; n++) {
            input += CSI + std::to_string(n) + std::string(ender.text);
            expected.push_back("csi '" + std::string(ender.collect) + "' " + std::to_string(n) + std::string(ender.rest));
        }
        EXPECT_EQ(parseLog(input), expected) << "ended by " << escapeBytes(bytesOf(ender.text));
    }
}

TEST(EscapeSequenceParser, OnlyPrintableAsciiRunsTakeTheAsciiCall)
{
    // Which call each run takes; the terminal writes an "ascii" run without looking at its bytes.
    struct Calls : ParserHandler {
        std::vector<std::string> log;
        void printHandler(std::span<const uint8_t> data) override { log.push_back("print " + escapeBytes(data)); }
        void printAsciiHandler(std::span<const uint8_t> data) override { log.push_back("ascii " + escapeBytes(data)); }
        void dispatchExecute(uint8_t code) override { log.push_back("execute " + std::to_string(code)); }
    };
    const std::string longText(40, 'x');
    struct TextCase {
        std::string input; // built from `longText`: a view would dangle
        std::vector<std::string> expected;
    };
    const std::vector<TextCase> cases = {
        {"ab\r\n", {"ascii ab", "execute 13", "execute 10"}},
        {longText + "~ \r\ncd", {"ascii " + longText + "~ ", "execute 13", "execute 10", "ascii cd"}},
        // A single letter takes the general call.
        {"a" CSI "m" "b", {"print a", "print b"}},
        // DEL, UTF-8 and 0xFF are no printable ASCII, wherever they sit in the run.
        {"a\x7f", {"print a\\x7f"}},
        {longText + "\x7f" + longText, {"print " + longText + "\\x7f" + longText}},
        {longText + "\xff\n", {"print " + longText + "\\xff", "execute 10"}},
        {"\xc3\xa9t\xc3\xa9", {"print \\xc3\\xa9t\\xc3\\xa9"}},
    };
    for (const TextCase& c : cases) {
        Calls sink;
        EscapeSequenceParser parser(&sink);
        parser.parse(bytesOf(c.input));
        EXPECT_EQ(sink.log, c.expected) << escapeBytes(bytesOf(c.input));
    }
}

TEST(EscapeSequenceParser, ParseDecimal)
{
    const std::vector<std::pair<std::string_view, std::optional<int64_t>>> cases = {
        {"", std::nullopt},         {"0", 0},
        {"104", 104},               {"0052", 52},
        {"1x", std::nullopt},       {"-1", std::nullopt},
        {"9223372036854775807", INT64_MAX},
        {"9223372036854775808", std::nullopt},
    };
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(EscapeSequenceParser::parseDecimal(bytesOf(text)), value) << text;
    }
}

TEST(EscapeSequenceParser, CorpusGivesTheSameLogForEverySplit)
{
    std::vector<std::string_view> corpus;
    for (const auto* cases : {&kOscCases, &kApcCases, &kCsiCases, &kEscAndTextCases, &kDcsCases}) {
        for (const Case& c : *cases) {
            corpus.push_back(c.input);
        }
    }
    const std::string mixed = std::string("plain \xe6\x9c\xac text\r\n") + CSI "38;5;196m" "red"
                              CSI "0m" OSC "2;\xe2\x9c\xb3 title" ST DCS "q#0;2;0;0;0#0!10~" ST
                              APC "Ga=T,f=100;AAAA" ST CSI "3" "8;5;1m" "\x19" ESC "^pm" ST "end";
    corpus.push_back(mixed);
    for (std::string_view input : corpus) {
        EXPECT_TRUE(sameForEverySplit(input,
                                      [](const Chunks& chunks) { return parseLog(chunks, true); }))
            << "input: " << escapeBytes(bytesOf(input));
    }
}
