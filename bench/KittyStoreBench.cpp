// One-pixel Kitty images shown one to a line into a terminal whose image store is at its count
// cap and whose scroll-back holds 10,000 lines: each new image evicts one, which must cost the
// same however many images and image lines there are.
#include "BenchTerminal.hpp"
#include "terminal/engine/Terminal.hpp"
#include "terminal/graphics/KittyPlacementImage.hpp"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

using namespace corvix;

namespace {

// Images sent by id ("i"), or by number ("I") when `byNumber`.
std::string images(uint32_t first, uint32_t count, bool byNumber)
{
    std::string out;
    for (uint32_t id = first; id < first + count; id++)
        out += std::string("\x1b_Ga=T,q=2,c=1,r=1,f=24,s=1,v=1,") + (byNumber ? "I=" : "i=") + std::to_string(id) +
               ";AAAA\x1b\\";
    return out;
}

void BM_SmallImagesIntoAFullStore(benchmark::State& state)
{
    constexpr uint32_t kImages = 20000;
    bench::PlacingHost host;
    TerminalOptions o;
    o.cols = 80;
    o.rows = 25;
    o.scrollback = 10000;
    Terminal t(&host, o);
    // The store at its cap and the scroll-back full of image lines.
    uint32_t next = 1;
    t.feed(images(next, 12000, state.range(0) == 1));
    next += 12000;
    uint64_t visited = 0;
    for (auto _ : state) {
        const std::string bytes = images(next, kImages, state.range(0) == 1);
        next += kImages;
        const uint64_t before = t.kittyLinesVisited();
        bench::feedInChunks(t, {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
        visited += t.kittyLinesVisited() - before;
    }
    state.SetItemsProcessed(state.iterations() * kImages);
    state.counters["lines_visited_per_image"] = double(visited) / double(state.iterations() * kImages);
    state.counters["stored"] = double(t.kittyGraphicsState().imagesById.size());
}
// Arg 0: images sent by id; 1: by number.
BENCHMARK(BM_SmallImagesIntoAFullStore)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
