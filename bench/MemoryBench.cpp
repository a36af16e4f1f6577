// Memory of a terminal with 200 columns and 10,000 lines of full scroll-back: bytes per cell,
// heap bytes in use, and the resident memory the terminal adds to the process.
#include "BenchTerminal.hpp"
#include "terminal/engine/Terminal.hpp"

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <span>
#include <string>

using namespace corvix;
using bench::NullDelegate;

namespace {

size_t residentBytes()
{
    long pages = 0;
    long resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return size_t(resident) * size_t(sysconf(_SC_PAGESIZE));
}

void BM_MemoryFullScrollback(benchmark::State& state)
{
    constexpr int kCols = 200;
    constexpr int kRows = 50;
    constexpr int kScrollback = 10000;
    for (auto _ : state) {
        // Give back what earlier benchmarks freed, so the resident growth is this terminal's.
        malloc_trim(0);
        size_t residentBefore = residentBytes();
        size_t heapBefore = mallinfo2().uordblks;
        {
            NullDelegate delegate;
            TerminalOptions options;
            options.cols = kCols;
            options.rows = kRows;
            options.scrollback = kScrollback;
            Terminal terminal(&delegate, options);
            // Full-width lines until the scroll-back is full and has recycled lines.
            std::string line(kCols, 'x');
            line += "\r\n";
            std::string text;
            for (int i = 0; i < kScrollback + kRows + 100; ++i) text += line;
            terminal.feed(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
            text = {};
            size_t heap = mallinfo2().uordblks - heapBefore;
            size_t resident = residentBytes() - residentBefore;
            double cells = double(kCols) * double(kScrollback + kRows);
            state.counters["cell_bytes"] = double(sizeof(CharData));
            state.counters["heap_MiB"] = double(heap) / double(1 << 20);
            state.counters["resident_MiB"] = double(resident) / double(1 << 20);
            state.counters["heap_bytes_per_cell"] = double(heap) / cells;
            benchmark::DoNotOptimize(terminal);
        }
    }
}

} // namespace

BENCHMARK(BM_MemoryFullScrollback)->Iterations(1)->Unit(benchmark::kMillisecond);
