#include "terminal/screen/Buffer.hpp"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

using namespace corvix;

namespace {

// A 200x50 buffer with 1000 lines of scroll-back whose scroll hook scrolls the whole screen the
// way the terminal does: push while the ring has room, recycle once it is full.
struct ScrollingBuffer {
    Buffer buffer{200, 50, 8, 1000, BidiPresentationState{}};

    ScrollingBuffer()
    {
        buffer.wraparound = true;
        buffer.scroll = [this](bool isWrapped) {
            CircularBufferLineList& lines = buffer.lines();
            if (lines.count() == lines.maxLength()) {
                lines.recycle(Attribute{});
            } else {
                lines.push(buffer.getBlankLine(Attribute{}));
                buffer.setYBase(buffer.yBase() + 1);
            }
            lines[buffer.yBase() + buffer.y()].setIsWrapped(isWrapped);
        };
        buffer.fillViewportRows();
        buffer.setY(49);
    }
};

void BM_InsertAsciiRun(benchmark::State& state)
{
    ScrollingBuffer s;
    const std::string text(4096, 'x');
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    for (auto _ : state) {
        benchmark::DoNotOptimize(s.buffer.insertAsciiRun(bytes, Attribute{}));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_InsertAsciiRun);

void BM_InsertCharacter(benchmark::State& state)
{
    ScrollingBuffer s;
    CharData c;
    c.code = 0x3042;
    c.width = 2;
    for (auto _ : state) {
        for (int i = 0; i < 1024; ++i) {
            s.buffer.insertCharacter(c);
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 1024);
}
BENCHMARK(BM_InsertCharacter);

// Narrowing and widening back a 200x50 screen whose scroll-back (state.range(0) lines) is full of
// 300-character lines, each wrapped over two rows: the cost must grow linearly with the
// scroll-back.
void BM_ResizeReflow(benchmark::State& state)
{
    const int scrollback = static_cast<int>(state.range(0));
    Buffer buffer(200, 50, 8, scrollback, BidiPresentationState{});
    buffer.wraparound = true;
    buffer.scroll = [&buffer](bool isWrapped) {
        CircularBufferLineList& lines = buffer.lines();
        if (lines.count() == lines.maxLength()) {
            lines.recycle(Attribute{});
        } else {
            lines.push(buffer.getBlankLine(Attribute{}));
            buffer.setYBase(buffer.yBase() + 1);
            buffer.setYDisp(buffer.yBase());
        }
        lines[buffer.yBase() + buffer.y()].setIsWrapped(isWrapped);
    };
    buffer.fillViewportRows();
    buffer.setY(49);
    const std::string text(300, 'x');
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    for (int i = 0; i < (scrollback + 50) / 2; ++i) {
        buffer.insertAsciiRun(bytes, Attribute{});
        buffer.setX(0);
        buffer.scroll(false);
    }
    for (auto _ : state) {
        buffer.resize(120, 50);
        buffer.resize(200, 50);
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ResizeReflow)->RangeMultiplier(10)->Range(1000, 100000)->Complexity(benchmark::oN);

} // namespace
