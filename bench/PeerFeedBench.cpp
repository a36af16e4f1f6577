// The same payloads fed into Corvix and into libvterm in one run, 64 KiB chunks each, reported as
// MiB/s of each engine and their ratio (Corvix / libvterm).
//
// libvterm setup, as close in spirit to the Corvix terminal as its public API allows: an 80x24
// UTF-8 terminal with its screen layer (the layer that keeps cells, like Corvix's buffer), damage
// merged to whole scrolls so that no per-cell damage work is counted, and an `sb_pushline`
// callback that copies each line scrolled off the top into a 1000-line scroll-back ring, as
// Corvix keeps 1000 lines of scroll-back. Nothing else is hooked up.
#include "BenchTerminal.hpp"

#include "terminal/engine/Terminal.hpp"

#include <benchmark/benchmark.h>
#include <vterm.h>

#include <algorithm>
#include <chrono>
#include <limits>
#include <span>
#include <vector>

using namespace corvix;
using bench::NullDelegate;

namespace {

constexpr int kCols = 80;
constexpr int kRows = 24;
constexpr int kScrollback = 1000;

// libvterm's scroll-back: a ring of copied lines, like Corvix's line ring.
struct VtermScrollback {
    std::vector<VTermScreenCell> cells = std::vector<VTermScreenCell>(size_t{kScrollback} * kCols);
    size_t next = 0;

    static int pushLine(int cols, const VTermScreenCell* line, void* user)
    {
        auto* self = static_cast<VtermScrollback*>(user);
        int n = cols < kCols ? cols : kCols;
        std::copy(line, line + n, self->cells.begin() + ptrdiff_t((self->next % kScrollback) * kCols));
        ++self->next;
        return 1;
    }
};

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double feedCorvix(const std::string& payload)
{
    NullDelegate delegate;
    TerminalOptions options;
    options.cols = kCols;
    options.rows = kRows;
    options.scrollback = kScrollback;
    Terminal terminal(&delegate, options);
    auto bytes = std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(payload.data()), payload.size());
    auto start = std::chrono::steady_clock::now();
    bench::feedInChunks(terminal, bytes);
    terminal.clearUpdateRange();
    return secondsSince(start);
}

double feedVterm(const std::string& payload)
{
    VtermScrollback scrollback;
    VTermScreenCallbacks callbacks{};
    callbacks.sb_pushline = &VtermScrollback::pushLine;
    VTerm* vt = vterm_new(kRows, kCols);
    vterm_set_utf8(vt, 1);
    VTermScreen* screen = vterm_obtain_screen(vt);
    vterm_screen_set_callbacks(screen, &callbacks, &scrollback);
    vterm_screen_set_damage_merge(screen, VTERM_DAMAGE_SCROLL);
    vterm_screen_reset(screen, 1);
    auto start = std::chrono::steady_clock::now();
    for (size_t at = 0; at < payload.size(); at += bench::kChunkSize)
        vterm_input_write(vt, payload.data() + at, std::min(bench::kChunkSize, payload.size() - at));
    vterm_screen_flush_damage(screen);
    double seconds = secondsSince(start);
    vterm_free(vt);
    return seconds;
}

// The engines take turns, and each one's fastest feed counts: this machine is shared, and a
// burst of other work during one feed would otherwise decide the ratio.
void comparePeers(benchmark::State& state, const std::string& payload)
{
    double corvixBest = std::numeric_limits<double>::infinity();
    double vtermBest = std::numeric_limits<double>::infinity();
    for (auto _ : state) {
        double corvix = feedCorvix(payload);
        double vterm = feedVterm(payload);
        corvixBest = std::min(corvixBest, corvix);
        vtermBest = std::min(vtermBest, vterm);
        state.SetIterationTime(corvix + vterm);
    }
    double mib = double(payload.size()) / double(1 << 20);
    state.counters["corvix_MiB/s"] = mib / corvixBest;
    state.counters["libvterm_MiB/s"] = mib / vtermBest;
    state.counters["ratio"] = vtermBest / corvixBest;
}

void BM_PeerPlainAscii(benchmark::State& state)
{
    static const std::string payload = bench::plainAsciiLines();
    comparePeers(state, payload);
}

void BM_PeerSgrPerCharacter(benchmark::State& state)
{
    static const std::string payload = bench::sgrPerCharacter();
    comparePeers(state, payload);
}

void BM_PeerMixedCjk(benchmark::State& state)
{
    static const std::string payload = bench::mixedCjk();
    comparePeers(state, payload);
}

void BM_PeerAgentScreen(benchmark::State& state)
{
    static const std::string payload = bench::agentScreen();
    comparePeers(state, payload);
}

} // namespace

BENCHMARK(BM_PeerPlainAscii)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeerSgrPerCharacter)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeerMixedCjk)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeerAgentScreen)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
