#pragma once

// What the terminal benchmarks share: a host that drops every reply, and feeding in the chunk
// size a pseudo-terminal delivers.

#include "Payloads.hpp"

#include "terminal/engine/Terminal.hpp"

#include <algorithm>
#include <span>

namespace corvix::bench {

// Drops every reply, so the figures are the terminal's own.
struct NullDelegate : TerminalDelegate {
    void send(Terminal&, std::span<const uint8_t>) override {}
};

inline void feedInChunks(Terminal& terminal, std::span<const uint8_t> bytes)
{
    for (size_t at = 0; at < bytes.size(); at += kChunkSize)
        terminal.feed(bytes.subspan(at, std::min(kChunkSize, bytes.size() - at)));
}

} // namespace corvix::bench
