// Line feeds at the bottom of a scrolling region, per region layout: the cost every scrolled
// line of output pays.
#include "BenchTerminal.hpp"
#include "terminal/engine/Terminal.hpp"

#include <benchmark/benchmark.h>

#include <string>

using namespace corvix;
using bench::NullDelegate;

namespace {

// arg 0: whole screen; 1: region at the top ending above a status row; 2: region in the middle;
// 3: region in the middle with left/right margins (column-restricted scroll).
void BM_LineFeedAtRegionBottom(benchmark::State& state)
{
    NullDelegate delegate;
    TerminalOptions o;
    o.cols = 80;
    o.rows = 25;
    o.scrollback = 10000;
    Terminal t(&delegate, o);
    // Fill the ring so every scroll runs in its steady state.
    std::string fill;
    for (int i = 0; i < 10100; i++) fill += "some line of text\r\n";
    t.feed(fill);
    switch (state.range(0)) {
    case 0: t.feed("\e[r\e[25;1H"); break;
    case 1: t.feed("\e[1;24r\e[24;1H"); break;
    case 2: t.feed("\e[5;20r\e[20;1H"); break;
    case 3:
        t.marginMode = true;
        t.normalBuffer().marginMode = true;
        t.feed("\e[5;20r\e[10;70s\e[20;20H");
        break;
    }
    const std::string chunk(1000, '\n');
    for (auto _ : state) t.feed(chunk);
    state.SetItemsProcessed(state.iterations() * int64_t(chunk.size()));
}
BENCHMARK(BM_LineFeedAtRegionBottom)->DenseRange(0, 3);

// Reverse index at the top of a region: how a pager scrolls back.
void BM_ReverseIndexAtRegionTop(benchmark::State& state)
{
    NullDelegate delegate;
    TerminalOptions o;
    o.cols = 80;
    o.rows = 25;
    Terminal t(&delegate, o);
    t.feed("\e[1;24r\e[1;1H");
    std::string chunk;
    for (int i = 0; i < 1000; i++) chunk += "\eM";
    for (auto _ : state) t.feed(chunk);
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_ReverseIndexAtRegionTop);

} // namespace
