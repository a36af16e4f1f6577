// Feeding whole payloads into an 80x24 terminal with scroll-back, in 64 KiB chunks, as a
// pseudo-terminal delivers them. Reported as bytes per second.
#include "BenchTerminal.hpp"

#include "terminal/engine/Terminal.hpp"

#include <benchmark/benchmark.h>

#include <span>

using namespace corvix;
using bench::NullDelegate;

namespace {

void feedPayload(benchmark::State& state, const std::string& payload)
{
    NullDelegate delegate;
    TerminalOptions options;
    options.cols = 80;
    options.rows = 24;
    options.scrollback = 1000;
    Terminal terminal(&delegate, options);
    auto bytes = std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(payload.data()), payload.size());
    for (auto _ : state) {
        bench::feedInChunks(terminal, bytes);
        terminal.clearUpdateRange();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(payload.size()));
}

void BM_FeedPlainAscii(benchmark::State& state)
{
    static const std::string payload = bench::plainAsciiLines();
    feedPayload(state, payload);
}

void BM_FeedSgrPerCharacter(benchmark::State& state)
{
    static const std::string payload = bench::sgrPerCharacter();
    feedPayload(state, payload);
}

void BM_FeedMixedCjk(benchmark::State& state)
{
    static const std::string payload = bench::mixedCjk();
    feedPayload(state, payload);
}

void BM_FeedAgentScreen(benchmark::State& state)
{
    static const std::string payload = bench::agentScreen();
    feedPayload(state, payload);
}

} // namespace

BENCHMARK(BM_FeedPlainAscii)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FeedSgrPerCharacter)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FeedMixedCjk)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FeedAgentScreen)->Unit(benchmark::kMillisecond);
