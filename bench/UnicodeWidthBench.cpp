#include "terminal/screen/GraphemeBreakState.hpp"
#include "terminal/screen/UnicodeUtil.hpp"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

using namespace corvix;

namespace {

// Scalars in the mix a terminal sees: mostly ASCII, some Latin-1 and box drawing, CJK, emoji.
std::vector<char32_t> sampleScalars()
{
    std::mt19937 rng(42);
    const std::pair<char32_t, char32_t> ranges[] = {
        {0x20, 0x7E}, {0x20, 0x7E}, {0x20, 0x7E}, {0xA0, 0x17F}, {0x2500, 0x257F},
        {0x4E00, 0x9FFF}, {0x1F300, 0x1F64F}, {0x0300, 0x036F}};
    std::vector<char32_t> out(4096);
    for (auto& c : out) {
        auto [lo, hi] = ranges[rng() % std::size(ranges)];
        c = lo + rng() % (hi - lo + 1);
    }
    return out;
}

void BM_ColumnWidthTable(benchmark::State& state)
{
    auto scalars = sampleScalars();
    for (auto _ : state) {
        int sum = 0;
        for (char32_t c : scalars) sum += UnicodeUtil::columnWidth(c);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * int64_t(scalars.size()));
}
BENCHMARK(BM_ColumnWidthTable);

// The low-plane array followed by the rule above U+2000, as the width path was first described.
void BM_ColumnWidthLowPlaneThenRule(benchmark::State& state)
{
    auto scalars = sampleScalars();
    for (auto _ : state) {
        int sum = 0;
        for (char32_t c : scalars)
            sum += c < 0x2000 ? UnicodeUtil::lowPlaneWidths[c] : UnicodeUtil::computeColumnWidth(c);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * int64_t(scalars.size()));
}
BENCHMARK(BM_ColumnWidthLowPlaneThenRule);

void BM_GraphemeBreakAppend(benchmark::State& state)
{
    auto scalars = sampleScalars();
    for (auto _ : state) {
        GraphemeBreakState breaks;
        int clusters = 0;
        for (char32_t c : scalars) clusters += breaks.append(c);
        benchmark::DoNotOptimize(clusters);
    }
    state.SetItemsProcessed(state.iterations() * int64_t(scalars.size()));
}
BENCHMARK(BM_GraphemeBreakAppend);

} // namespace
