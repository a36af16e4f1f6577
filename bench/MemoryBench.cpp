// Memory of a terminal with 200 columns and 10,000 lines of full scroll-back: bytes per cell,
// heap bytes in use, and the resident memory the terminal adds to the process. Then the memory of
// 100,000 stored lines of 80-character text at 80 and at 400 columns: it should follow the text,
// not the width.
#include "BenchTerminal.hpp"
#include "terminal/engine/Terminal.hpp"
#include "terminal/screen/CellArena.hpp"

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

// Heap bytes in use plus the blocks that hold compacted scroll-back lines (mapped apart from
// the heap, so its statistics miss them).
size_t heldBytes()
{
    return mallinfo2().uordblks + CellArena::bytesInBlocks();
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
        size_t heapBefore = heldBytes();
        {
            NullDelegate delegate;
            TerminalOptions options;
            options.cols = kCols;
            options.rows = kRows;
            options.scrollback = kScrollback;
            Terminal terminal(&delegate, options);
            // Full-width lines of varied letters (a run of equal cells would be stored once)
            // until the scroll-back is full and has recycled lines.
            std::string line;
            for (int c = 0; c < kCols; ++c) line += char('a' + c % 26);
            line += "\r\n";
            std::string text;
            for (int i = 0; i < kScrollback + kRows + 100; ++i) text += line;
            terminal.feed(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
            text = {};
            size_t heap = heldBytes() - heapBefore;
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

// 100,000 lines of 80 characters in a terminal `state.range(0)` columns wide with 100,000 lines
// of scroll-back: bytes held per stored character (the screen's own lines included).
void BM_MemoryStoredText(benchmark::State& state)
{
    const int cols = int(state.range(0));
    constexpr int kRows = 24;
    constexpr int kLines = 100000;
    for (auto _ : state) {
        malloc_trim(0);
        size_t heapBefore = heldBytes();
        {
            NullDelegate delegate;
            TerminalOptions options;
            options.cols = cols;
            options.rows = kRows;
            options.scrollback = kLines;
            Terminal terminal(&delegate, options);
            std::string text;
            for (int i = 0; i < kLines + kRows; ++i) {
                for (int c = 0; c < 80; ++c) text += char('a' + (i + c) % 26);
                text += "\r\n";
            }
            terminal.feed(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
            text = {};
            size_t heap = heldBytes() - heapBefore;
            state.counters["heap_MiB"] = double(heap) / double(1 << 20);
            state.counters["bytes_per_char"] = double(heap) / (80.0 * double(kLines + kRows));
            benchmark::DoNotOptimize(terminal);
        }
    }
}

} // namespace

BENCHMARK(BM_MemoryStoredText)->Arg(80)->Arg(400)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemoryFullScrollback)->Iterations(1)->Unit(benchmark::kMillisecond);
