#include "terminal/engine/Terminal.hpp"

#include <benchmark/benchmark.h>

#include <string>

using namespace corvix;

namespace {

constexpr size_t kPayloadSize = size_t{1} << 20;

// An editor scrolling a region one line at a time, in both directions: insert or delete a line
// at the region's top, then write the line that came in.
std::string regionScrolling()
{
    std::string out;
    int n = 0;
    while (out.size() < kPayloadSize) {
        out += (n % 64 < 32) ? "\r\x1b[L" : "\r\x1b[M";
        out += "\x1b[1;38:2::200:100:50mline " + std::to_string(n++) + "\x1b[m of the file being paged";
    }
    return out;
}

// Character edits inside a line, as a shell's line editor gives.
std::string lineEditing()
{
    std::string out;
    while (out.size() < kPayloadSize) {
        out += "\recho some command line with arguments\r\x1b[5@abcde\x1b[3P\x1b[2bxyz\x1b[K";
    }
    return out;
}

void feedRepeatedly(benchmark::State& state, const std::string& payload, bool region)
{
    for (auto _ : state) {
        state.PauseTiming();
        TerminalOptions o;
        o.cols = 120;
        o.rows = 40;
        o.scrollback = 1000;
        Terminal t(nullptr, o);
        if (region) {
            t.buffer().setScrollTop(1);
            t.buffer().setScrollBottom(38);
            t.buffer().setY(1);
        }
        state.ResumeTiming();
        t.feed(payload);
        benchmark::DoNotOptimize(t.buffer().x());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(payload.size()));
}

void BM_RegionScrolling(benchmark::State& state)
{
    static const std::string payload = regionScrolling();
    feedRepeatedly(state, payload, true);
}
BENCHMARK(BM_RegionScrolling);

void BM_LineEditing(benchmark::State& state)
{
    static const std::string payload = lineEditing();
    feedRepeatedly(state, payload, false);
}
BENCHMARK(BM_LineEditing);

} // namespace
