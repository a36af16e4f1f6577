#include "terminal/engine/Terminal.hpp"
#include "terminal/engine/TerminalLinks.hpp"

#include "support/RecordingDelegate.hpp"

#include <gtest/gtest.h>

#include <string>

using namespace corvix;
using corvix::test::RecordingDelegate;

namespace {

struct Fixture {
    RecordingDelegate delegate;
    Terminal terminal;
    explicit Fixture(int cols = 80, int rows = 25, int64_t scrollback = 500)
        : terminal(&delegate, [&] {
              TerminalOptions o;
              o.cols = cols;
              o.rows = rows;
              o.scrollback = scrollback;
              return o;
          }())
    {
    }
    std::optional<std::string> link(int col, int row, LinkLookupMode mode = LinkLookupMode::explicitAndImplicit)
    {
        return terminal.link(LinkLookupLocation::buffer({col, row}), mode);
    }
    std::optional<LinkMatch> implicit(int col, int row)
    {
        return terminal.implicitLinkMatch({col, row}, terminal.buffer());
    }
    // Stamps an OSC 8 payload on columns [from, to) of a buffer row.
    void stamp(int row, int from, int to, const std::string& payload)
    {
        auto atom = terminal.payloads.lookup(payload);
        ASSERT_TRUE(atom);
        BufferLine& line = terminal.buffer().lines()[row];
        for (int c = from; c < to; ++c) line.mutableCell(c).payload = *atom;
    }
};

using Ranges = std::vector<LinkMatch::RowRange>;

} // namespace

// What the URL and path pattern picks out of a row, looked up on a cell inside the link. The
// expectation is the whole link text, or "" for no link.
TEST(TerminalLinks, PatternFindsUrlsAndPaths)
{
    struct Case {
        const char* row;
        int col;
        const char* link;
    } cases[] = {
        {"see https://example.com/a?b=1&c=2#top now", 8, "https://example.com/a?b=1&c=2#top"},
        {"open https://example.com/docs, then", 10, "https://example.com/docs"},
        {"visit https://example.com.", 10, "https://example.com"},
        {"ssh://git@host:22/repo.git", 3, "ssh://git@host:22/repo.git"},
        {"wiki https://en.example.org/wiki/Foo_(bar) end", 10, "https://en.example.org/wiki/Foo_(bar)"},
        {"http://[fe80::1]:8080/x here", 4, "http://[fe80::1]:8080/x"},
        {"edit ./src/main.cpp please", 7, "./src/main.cpp"},
        {"edit ../lib/util.h, too", 7, "../lib/util.h"},
        {"cd ~/notes/todo.txt.", 5, "~/notes/todo.txt."},
        {"log $HOME/logs/app.log", 6, "$HOME/logs/app.log"},
        {"log $/tmp/app.log", 8, ""},
        {"cfg .config/app/settings.json", 6, ".config/app/settings.json"},
        {"at /var/log/syslog", 6, "/var/log/syslog"},
        {"rel src/engine/Terminal.cpp ok", 6, "src/engine/Terminal.cpp"},
        {"doc /home/me/My Documents/report.pdf", 8, "/home/me/My Documents/report.pdf"},
        {"path /home/me/my file.txt", 20, "/home/me/my file.txt"},
        {"plain words only", 3, ""},
        {"a//b", 1, ""},
    };
    for (const auto& c : cases) {
        Fixture f;
        f.terminal.feed(c.row);
        auto found = f.link(c.col, 0);
        EXPECT_EQ(found.value_or(""), c.link) << c.row;
    }
}

TEST(TerminalLinks, JapanesePathCountsWideCells)
{
    Fixture f;
    // "ls /tmp/日本語/ファイル.txt": the path starts at column 3; every Japanese character is wide.
    f.terminal.feed("ls /tmp/\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e/\xe3\x83\x95\xe3\x82\xa1\xe3\x82\xa4\xe3\x83\xab.txt x");
    const std::string path = "/tmp/\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e/\xe3\x83\x95\xe3\x82\xa1\xe3\x82\xa4\xe3\x83\xab.txt";
    // 5 columns "/tmp/", 6 for three wide characters, "/", 8 for four, ".txt": 3 + 5 + 6 + 1 + 8 + 4.
    for (int col : {3, 9, 10, 20, 26}) {
        auto m = f.implicit(col, 0);
        ASSERT_TRUE(m) << col;
        EXPECT_EQ(m->text, path);
        EXPECT_EQ(m->range, (ColumnRange{3, 27}));
    }
    EXPECT_FALSE(f.implicit(27, 0)) << "the space after the path";
}

TEST(TerminalLinks, ExplicitLinkCoversItsPayloadRun)
{
    Fixture f;
    f.terminal.feed("0123456789abcdef");
    f.stamp(0, 4, 10, "id=1;https://example.com/x");
    auto m = f.terminal.explicitLinkMatch({6, 0}, f.terminal.buffer());
    ASSERT_TRUE(m);
    EXPECT_EQ(m->text, "https://example.com/x");
    EXPECT_TRUE(m->isExplicit);
    EXPECT_EQ(m->range, (ColumnRange{4, 10}));
    EXPECT_EQ(m->rowRanges, (Ranges{{0, {4, 10}}}));
    for (int col : {4, 9}) EXPECT_EQ(f.link(col, 0, LinkLookupMode::explicitOnly), "https://example.com/x");
    EXPECT_FALSE(f.link(3, 0));
    EXPECT_FALSE(f.link(10, 0));
}

TEST(TerminalLinks, LinkFedThroughOsc8IsFoundOnExactlyItsText)
{
    Fixture f;
    f.terminal.feed("0123\x1b]8;id=7;https://example.com/x\x07" "456789\x1b]8;;\x07" "abc");
    auto m = f.terminal.explicitLinkMatch({6, 0}, f.terminal.buffer());
    ASSERT_TRUE(m);
    EXPECT_EQ(m->text, "https://example.com/x");
    EXPECT_EQ(m->range, (ColumnRange{4, 10}));
    EXPECT_EQ(m->rowRanges, (Ranges{{0, {4, 10}}}));
    EXPECT_FALSE(f.link(10, 0, LinkLookupMode::explicitOnly));
}

TEST(TerminalLinks, ExplicitLinkFoundFromTheRightHalfOfAWideCharacter)
{
    Fixture f;
    f.terminal.feed("ab\xe6\x97\xa5" "cd"); // the wide character on columns 2-3
    f.stamp(0, 0, 3, "params;file:///x");   // the right half carries no payload of its own
    EXPECT_EQ(f.link(3, 0, LinkLookupMode::explicitOnly), "file:///x");
    // A payload without ";" names no target.
    f.stamp(0, 4, 6, "no-separator");
    EXPECT_FALSE(f.link(4, 0, LinkLookupMode::explicitOnly));
}

TEST(TerminalLinks, ExplicitWinsAndExplicitOnlyIgnoresText)
{
    Fixture f;
    f.terminal.feed("https://text.example/");
    EXPECT_EQ(f.link(2, 0), "https://text.example/");
    EXPECT_FALSE(f.link(2, 0, LinkLookupMode::explicitOnly));
    f.stamp(0, 0, 21, ";https://declared.example/");
    EXPECT_EQ(f.link(2, 0), "https://declared.example/");
}

TEST(TerminalLinks, SoftWrappedUrlIsOneLinkWithTwoRowRanges)
{
    Fixture f(20, 5);
    // 11 columns of prefix, then a 24-character URL: 9 columns on row 0, 15 on row 1.
    f.terminal.feed("prefix go: https://example.com/abcdef z");
    ASSERT_TRUE(f.terminal.buffer().lines()[1].isWrapped());
    for (Position p : {Position{12, 0}, Position{3, 1}}) {
        auto m = f.implicit(p.col, p.row);
        ASSERT_TRUE(m);
        EXPECT_EQ(m->text, "https://example.com/abcdef");
        EXPECT_EQ(m->rowRanges, (Ranges{{0, {11, 20}}, {1, {0, 17}}}));
        EXPECT_EQ(m->range, p.row == 0 ? (ColumnRange{11, 20}) : (ColumnRange{0, 17}));
    }
    // OSC 8 over the same two rows is found per row, each row's own run.
    f.stamp(0, 11, 20, ";https://example.com/abcdef");
    f.stamp(1, 0, 17, ";https://example.com/abcdef");
    auto e = f.terminal.explicitLinkMatch({3, 1}, f.terminal.buffer());
    ASSERT_TRUE(e);
    EXPECT_EQ(e->rowRanges, (Ranges{{1, {0, 17}}}));
}

TEST(TerminalLinks, ContinuationRowLeadingSpacesAreNotPartOfTheLine)
{
    Fixture f(20, 5);
    f.terminal.feed("list of files here:    ./x/y.txt");
    ASSERT_TRUE(f.terminal.buffer().lines()[1].isWrapped());
    EXPECT_FALSE(f.link(1, 1));
    EXPECT_EQ(f.link(5, 1), "./x/y.txt");
    EXPECT_FALSE(f.link(15, 1)) << "a null cell after the end of the text";
}

// A URL broken by the program itself (a hard newline) at column 70 of 80 joins the next row
// only when its text reaches the edge zone, both characters at the break are URL characters
// and a match crosses the break.
TEST(TerminalLinks, HardBrokenUrlJoinsOnlyUnderTheEdgeAndSeamRules)
{
    const std::string head = "https://example.com/" + std::string(40, 'p'); // 60 columns
    const std::string pad(10, ' ');
    struct Case {
        std::string upper;
        std::string lower;
        bool joins;
    } cases[] = {
        // Last column 69 is in the edge zone (from column 64): joined.
        {pad + head, "qqqq/end.html tail", true},
        // Last column 63 is outside it.
        {std::string(4, ' ') + head, "qqqq/end.html", false},
        // The lower row starts with a character that cannot continue a URL.
        {pad + head, "<qqqq/end.html", false},
        // The upper row ends with a character that cannot continue a URL.
        {std::string(9, ' ') + head + "^", "qqqq/end.html", false},
        // Plain words on both sides: no match crosses the break.
        {pad + std::string(59, 'w') + " a", "b c", false},
    };
    for (const auto& c : cases) {
        Fixture f;
        f.terminal.feed(c.upper + "\r\n" + c.lower);
        ASSERT_FALSE(f.terminal.buffer().lines()[1].isWrapped());
        EXPECT_EQ(TerminalLinks(f.terminal).canJoinImplicitRows(0, 1, f.terminal.buffer()), c.joins) << c.upper;
        if (c.upper.find(head) == std::string::npos) continue;
        const int headStart = int(c.upper.find(head));
        auto m = f.implicit(40, 0);
        ASSERT_TRUE(m) << c.upper;
        if (c.joins) {
            EXPECT_EQ(m->text, head + "qqqq/end.html");
            EXPECT_EQ(m->rowRanges, (Ranges{{0, {10, 70}}, {1, {0, 13}}}));
            EXPECT_EQ(f.link(2, 1), head + "qqqq/end.html") << "seen from the lower row";
        } else {
            EXPECT_EQ(m->text, head);
            EXPECT_EQ(m->rowRanges, (Ranges{{0, {headStart, headStart + 60}}})) << c.upper;
        }
    }
}

TEST(TerminalLinks, LookupsAreClampedToTheBuffer)
{
    Fixture f(20, 3);
    f.terminal.feed("\r\n\r\nxx /a/b.txt");
    // Past the right end of the row and below the last line: the last column of the last line.
    EXPECT_FALSE(f.link(500, 2));
    f.terminal.feed("\r\nxxxxxxxxxxx /a/b.txt");
    const int last = f.terminal.buffer().lines().count() - 1;
    EXPECT_EQ(f.link(500, last + 10), "/a/b.txt");
    EXPECT_EQ(f.terminal.link(LinkLookupLocation::screen({19, 2}), LinkLookupMode::explicitAndImplicit),
              "/a/b.txt");
}

// The hover window: inside a soft-wrapped line of 10,000 rows a lookup reads only the rows
// around the pointer, and a link in that window comes out exactly as in a short line.
TEST(TerminalLinks, HugeWrappedLineGivesTheSameLinksAsAShortOne)
{
    Fixture f(80, 24, 12000);
    std::string filler;
    for (int i = 0; i < 5000; ++i) filler += std::string(79, 'w') + " ";
    const std::string url = "https://example.com/" + std::string(100, 'u'); // 120 columns
    f.terminal.feed(filler + url + " " + filler);
    auto& lines = f.terminal.buffer().lines();
    ASSERT_GE(lines.count(), 10000);
    int row = -1;
    for (int r = 0; r < lines.count(); ++r) {
        if (lines[r][0].code == 'h') {
            row = r;
            break;
        }
    }
    ASSERT_NE(row, -1);
    auto m = f.implicit(30, row + 1);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->text, url);
    EXPECT_EQ(m->rowRanges, (Ranges{{row, {0, 80}}, {row + 1, {0, 40}}}));
    // The filler words are not links.
    EXPECT_FALSE(f.implicit(10, row - 3000));
}

// A long run of word characters makes the pattern's work grow with the square of its length;
// the link after it is still found within the work allowed.
TEST(TerminalLinks, LinkAfterALongRunOfLettersIsFound)
{
    Fixture f;
    f.terminal.feed(std::string(3000, 'w') + " https://x.example/a.html");
    const int row = 3000 / 80;
    ASSERT_EQ(f.terminal.buffer().lines()[row][41].code, 'h');
    EXPECT_EQ(f.link(45, row), "https://x.example/a.html");
}
