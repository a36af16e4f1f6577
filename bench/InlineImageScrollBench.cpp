// 32 MiB of text fed through a full ring that holds an inline image the whole time: one Kitty
// placement, or one Sixel image. Either should cost what the text costs alone, since a scroll
// follows only the Kitty placements, through their own lines.
#include "BenchTerminal.hpp"
#include "terminal/engine/Terminal.hpp"
#include "terminal/graphics/KittyPlacementImage.hpp"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

using namespace corvix;

namespace {

// The text, with the image placed again every 5000 lines (a ring of 10000 keeps it throughout):
// arg 0 none, 1 Kitty (the same placement each time), 2 Sixel.
std::string payload(int64_t image)
{
    const std::string text = bench::plainAsciiLines();
    const char* command = image == 1 ? "\x1b_Ga=T,q=2,i=1,p=1,c=1,r=1,f=24,s=1,v=1;AAAA\x1b\\"
        : image == 2                 ? "\x1bPq#0;2;100;0;0~\x1b\\"
                                     : "";
    std::string out;
    out.reserve(text.size() + 4096);
    int lines = 0;
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find('\n', at) + 1;
        if (lines++ % 5000 == 0) out += command;
        out.append(text, at, end - at);
        at = end;
    }
    return out;
}

void BM_TextPastAnInlineImage(benchmark::State& state)
{
    bench::PlacingHost host;
    TerminalOptions o;
    o.cols = 80;
    o.rows = 25;
    o.scrollback = 10000;
    Terminal t(&host, o);
    const std::string bytes = payload(state.range(0));
    // A full ring from the start.
    t.feed(std::string(10100, '\n'));
    for (auto _ : state) bench::feedInChunks(t, {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
    state.SetBytesProcessed(state.iterations() * int64_t(bytes.size()));
}
BENCHMARK(BM_TextPastAnInlineImage)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

} // namespace
