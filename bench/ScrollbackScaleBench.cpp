// The agent payload fed into a fresh terminal with 1,000 and with 100,000 lines of scroll-back,
// at 80x24, 200x60 and 400x120: the large ring fills during the feed and then recycles, so the
// figure includes what storing and dropping lines costs at scale. Each terminal's best of three
// feeds counts; building and destroying the terminal is outside the timing.
#include "BenchTerminal.hpp"

#include "terminal/engine/Terminal.hpp"

#include <benchmark/benchmark.h>

#include <chrono>
#include <limits>
#include <memory>
#include <span>

using namespace corvix;
using bench::NullDelegate;

namespace {

void BM_FeedWithScrollback(benchmark::State& state)
{
    static const std::string payload = bench::agentScreen();
    const auto bytes = std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(payload.data()), payload.size());
    double best = std::numeric_limits<double>::infinity();
    for (auto _ : state) {
        NullDelegate delegate;
        TerminalOptions options;
        options.cols = int(state.range(0));
        options.rows = int(state.range(1));
        options.scrollback = state.range(2);
        auto terminal = std::make_unique<Terminal>(&delegate, options);
        const auto start = std::chrono::steady_clock::now();
        bench::feedInChunks(*terminal, bytes);
        terminal->clearUpdateRange();
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
        best = std::min(best, seconds);
        terminal.reset();
    }
    state.counters["best_MiB/s"] = double(payload.size()) / double(1 << 20) / best;
}

} // namespace

BENCHMARK(BM_FeedWithScrollback)
    ->ArgNames({"cols", "rows", "scrollback"})
    ->Args({80, 24, 1000})
    ->Args({80, 24, 100000})
    ->Args({200, 60, 1000})
    ->Args({200, 60, 100000})
    ->Args({400, 120, 1000})
    ->Args({400, 120, 100000})
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
