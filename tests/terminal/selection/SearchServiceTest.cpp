#include "terminal/selection/SearchService.hpp"

#include "terminal/engine/Terminal.hpp"
#include "terminal/engine/support/RecordingDelegate.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

using namespace corvix;
using corvix::test::RecordingDelegate;

namespace {

struct Fixture {
    RecordingDelegate delegate;
    Terminal terminal;
    SearchService search;
    explicit Fixture(int cols = 80, int rows = 10)
        : terminal(&delegate,
                   [&] {
                       TerminalOptions o;
                       o.cols = cols;
                       o.rows = rows;
                       return o;
                   }()),
          search(terminal)
    {
    }
};

SearchResult hit(std::string term, int col, int row, int size) { return {std::move(term), col, row, size}; }

} // namespace

TEST(SearchService, HitAcrossASoftWrapCountsBothParts)
{
    Fixture f(20);
    f.terminal.feed(std::string(17, 'x') + "hello world");
    EXPECT_EQ(f.search.findNext("hello"), hit("hello", 17, 0, 5));
    EXPECT_EQ(f.search.lastSelection, (SearchSelection{{17, 0}, {2, 1}}));
    EXPECT_EQ(f.search.findNext("world"), hit("world", 3, 1, 5)) << "the continuation row's own columns";
}

TEST(SearchService, WideCharactersCountAsTwoColumns)
{
    Fixture f(20);
    f.terminal.feed("\xe6\x97\xa5\xe6\x9c\xac foo\r\n");
    EXPECT_EQ(f.search.findNext("foo"), hit("foo", 5, 0, 3));
    // A wide character that did not fit in the last column moves to the next row and leaves a
    // gap, which the joined text leaves out.
    f.terminal.feed(std::string(19, 'x') + "\xe6\x97\xa5" "bar");
    EXPECT_EQ(f.search.findNext("xbar"), std::nullopt);
    EXPECT_EQ(f.search.findNext("x\xe6\x97\xa5" "bar"), hit("x\xe6\x97\xa5" "bar", 18, 1, 7));
    EXPECT_EQ(f.search.findNext("bar"), hit("bar", 2, 2, 3));
}

TEST(SearchService, LiteralAndRegularExpressionTerms)
{
    Fixture f;
    f.terminal.feed("Foo fxo a( \xc3\x89t\xc3\xa9 (lookbehind) 42px");
    struct Case {
        const char* term;
        SearchOptions options;
        std::optional<SearchResult> expected;
    } cases[] = {
        {"foo", {}, hit("foo", 0, 0, 3)},
        {"foo", {.caseSensitive = true}, std::nullopt},
        {"f.o", {.regex = true}, hit("Foo", 0, 0, 3)},
        {"f.o", {}, std::nullopt},
        {"a(", {.regex = true}, std::nullopt}, // does not compile
        {"a(", {}, hit("a(", 8, 0, 2)},
        {"\xc3\xa9t\xc3\xa9", {}, hit("\xc3\xa9t\xc3\xa9", 11, 0, 3)},
        {"(?<=\\d)px", {.regex = true}, hit("px", 30, 0, 2)},
        {"\\w+\\)", {.regex = true}, hit("lookbehind)", 16, 0, 11)},
    };
    for (const auto& c : cases) {
        f.search.reset();
        EXPECT_EQ(f.search.findNext(c.term, c.options), c.expected) << c.term;
    }
}

TEST(SearchService, WholeWordKeepsLookingPastAPartialHit)
{
    Fixture f;
    f.terminal.feed("foobar baz bar");
    const SearchOptions whole{.wholeWord = true};
    EXPECT_EQ(f.search.findNext("bar", whole), hit("bar", 11, 0, 3));
    f.search.reset();
    EXPECT_EQ(f.search.findNext("baz", whole), hit("baz", 7, 0, 3));
    f.search.reset();
    EXPECT_EQ(f.search.findNext("oba", whole), std::nullopt);
    EXPECT_EQ(f.search.findAll("bar", whole, 10), std::vector{hit("bar", 11, 0, 3)});
    f.search.reset();
    EXPECT_EQ(f.search.findPrevious("bar", whole), hit("bar", 11, 0, 3));
}

TEST(SearchService, FindNextAndPreviousWalkAndWrapAround)
{
    Fixture f;
    f.terminal.feed("foo one\r\n\r\nfoo two foo\r\n");
    auto& s = f.search;
    EXPECT_EQ(s.findNext("foo"), hit("foo", 0, 0, 3));
    EXPECT_EQ(s.findNext("foo"), hit("foo", 0, 2, 3));
    EXPECT_EQ(s.findNext("foo"), hit("foo", 8, 2, 3));
    EXPECT_EQ(s.findNext("foo"), hit("foo", 0, 0, 3)) << "wraps to row 0";
    EXPECT_EQ(s.findPrevious("foo"), hit("foo", 8, 2, 3)) << "wraps to the last hit";
    EXPECT_EQ(s.findPrevious("foo"), hit("foo", 0, 2, 3));
    EXPECT_EQ(s.findPrevious("foo"), hit("foo", 0, 0, 3));
    // A longer term is refined where the last hit began: the hit stays put.
    EXPECT_EQ(s.findNext("foo "), hit("foo ", 0, 0, 4));
    EXPECT_EQ(s.findNext("foo t"), hit("foo t", 0, 2, 5));
    EXPECT_EQ(s.findPrevious("foo tw"), hit("foo tw", 0, 2, 6));
    // An empty term forgets everything; the next search starts again at row 0.
    EXPECT_EQ(s.findNext(""), std::nullopt);
    EXPECT_EQ(s.state.cachedSearchTerm, std::nullopt);
    EXPECT_EQ(s.lastSelection, std::nullopt);
    EXPECT_EQ(s.findNext("foo"), hit("foo", 0, 0, 3));
    EXPECT_EQ(s.findNext("absent"), std::nullopt);
    EXPECT_EQ(s.lastSelection, std::nullopt);
}

TEST(SearchService, SelectionOfAHitPastTheRowEndEndsOnTheNextRow)
{
    Fixture f;
    f.terminal.feed(std::string(78, '.') + "abc");
    EXPECT_EQ(f.search.findNext("abc"), hit("abc", 78, 0, 3));
    EXPECT_EQ(f.search.lastSelection, (SearchSelection{{78, 0}, {1, 1}}));
}

TEST(SearchService, FindAllIsInBufferOrderAndRespectsItsLimit)
{
    Fixture f(20);
    f.terminal.feed("ab ab\r\n" + std::string(18, '-') + "ab ab\r\nab");
    const std::vector<SearchResult> all{hit("ab", 0, 0, 2), hit("ab", 3, 0, 2), hit("ab", 18, 1, 2),
                                        hit("ab", 1, 2, 2), hit("ab", 0, 3, 2)};
    EXPECT_EQ(f.search.findAll("ab", {}, 100), all);
    EXPECT_EQ(f.search.findAll("ab", {}, 1), std::vector{all[0]});
    EXPECT_EQ(f.search.findAll("ab", {}, 3), std::vector(all.begin(), all.begin() + 3));
    EXPECT_TRUE(f.search.findAll("ab", {}, 0).empty());
    EXPECT_TRUE(f.search.findAll("zz", {}, 10).empty());
    EXPECT_TRUE(f.search.findAll("", {}, 10).empty());
    EXPECT_EQ(f.search.findAll("b*", {.regex = true}, 100).size(), 5u) << "empty matches are skipped";
    EXPECT_EQ(f.search.lastResult, std::nullopt) << "findAll changes no state";
}

TEST(SearchService, InvalidateSeesChangedRows)
{
    Fixture f;
    f.terminal.feed("alpha");
    EXPECT_EQ(f.search.findNext("alpha"), hit("alpha", 0, 0, 5));
    f.terminal.feed("\r\x1b[2Kbeta"); // same line count, new text
    f.search.invalidate();
    EXPECT_EQ(f.search.findNext("alpha"), std::nullopt);
    EXPECT_EQ(f.search.findNext("beta"), hit("beta", 0, 0, 4));
}

// A catastrophic pattern over a long line gives up within a bounded amount of work.
TEST(SearchService, PathologicalPatternDoesNotHang)
{
    Fixture f(80, 40);
    f.terminal.feed(std::string(80 * 30, 'a'));
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(f.search.findNext("(a+)+b", {.regex = true}), std::nullopt);
    EXPECT_TRUE(f.search.findAll("(a|aa)+$x", {.regex = true}, 10).empty());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

// A soft-wrapped line is searched as one text: hits on its continuation rows come in order,
// and find previous also finds a hit that crosses a wrap in a line above.
TEST(SearchService, WrappedLinesAreSearchedAsOneText)
{
    Fixture f(10);
    f.terminal.feed("ab......ab" "cd..ab...." "..ab\r\nzz");
    auto& s = f.search;
    const std::vector<SearchResult> hits{hit("ab", 0, 0, 2), hit("ab", 8, 0, 2), hit("ab", 4, 1, 2),
                                         hit("ab", 2, 2, 2)};
    for (int round = 0; round < 2; ++round)
        for (const auto& expected : hits) EXPECT_EQ(s.findNext("ab"), expected);
    s.reset();
    for (auto it = hits.rbegin(); it != hits.rend(); ++it) EXPECT_EQ(s.findPrevious("ab"), *it);
    s.reset();
    EXPECT_EQ(s.findPrevious("abcd"), hit("abcd", 8, 0, 4));
}

// Each logical line's text is built once, for its first row only: a line of thousands of rows
// costs one text, not one per row.
TEST(SearchService, LongWrappedLineIsJoinedOnce)
{
    Fixture f(80, 24);
    f.terminal.feed(std::string(80 * 400, 'x') + "\r\nend");
    auto& s = f.search;
    EXPECT_EQ(s.findNext("absent"), std::nullopt);
    EXPECT_EQ(s.findPrevious("absent"), std::nullopt);
    auto& lines = f.terminal.buffer().lines();
    ASSERT_EQ(lines.count(), 401);
    ASSERT_TRUE(lines[399].isWrapped());
    ASSERT_TRUE(s.lineCache.linesCache);
    int built = 0;
    for (const auto& entry : *s.lineCache.linesCache) built += entry.has_value();
    EXPECT_EQ(built, 2);
}
