#include "BenchTerminal.hpp"
#include "terminal/engine/Terminal.hpp"

#include <benchmark/benchmark.h>

#include <string>

using namespace corvix;
using bench::NullDelegate;

namespace {

// An 80-column terminal holding one logical line of `rows` soft-wrapped rows: words of path-like
// text with a URL every few rows. Lookups point at the middle row.
struct WrappedLine {
    NullDelegate delegate;
    Terminal terminal;
    int middleRow = 0;

    explicit WrappedLine(int rows)
        : terminal(&delegate, [&] {
              TerminalOptions o;
              o.cols = 80;
              o.rows = 24;
              o.scrollback = rows + 24;
              return o;
          }())
    {
        // One row of words, every fourth row a URL; each exactly 80 columns.
        std::string words = "lorem ipsum dolor sit amet consectetur adipiscing elit sed do eiusmod tempor";
        std::string url = "see https://example.com/some/long/path/to/a/resource.html?query=value&x=1 ok";
        words.resize(80, ' ');
        url.resize(80, ' ');
        std::string text;
        for (int r = 0; r < rows; ++r) text += (r % 4 == 2) ? url : words;
        terminal.feed(text);
        middleRow = rows / 2;
        while (middleRow % 4 != 2) ++middleRow;
    }
};

void linkAtPointer(benchmark::State& state, int rows, int col)
{
    WrappedLine w(rows);
    const auto location = LinkLookupLocation::buffer({col, w.middleRow});
    bool found = false;
    for (auto _ : state) {
        auto link = w.terminal.link(location, LinkLookupMode::explicitAndImplicit);
        found = link.has_value();
        benchmark::DoNotOptimize(link);
    }
    state.SetLabel(found ? "on a URL" : "no link");
}

// A pointer on a URL and on plain words, in a 10,000-row line and in a 4-row line: the hover
// window keeps the huge line's cost near the short line's.
void BM_LinkAtPointer_10000Rows_OnUrl(benchmark::State& s) { linkAtPointer(s, 10000, 20); }
void BM_LinkAtPointer_10000Rows_OnWords(benchmark::State& s) { linkAtPointer(s, 10000, 79); }
void BM_LinkAtPointer_4Rows_OnUrl(benchmark::State& s) { linkAtPointer(s, 4, 20); }

BENCHMARK(BM_LinkAtPointer_10000Rows_OnUrl)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LinkAtPointer_10000Rows_OnWords)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LinkAtPointer_4Rows_OnUrl)->Unit(benchmark::kMicrosecond);

} // namespace
