#pragma once

#include <atomic>
#include <cstdint>

namespace corvix {

// Process-wide identity numbers for lines and buffers. Caches key on these rather than on
// addresses, which the allocator reuses.
inline uint64_t nextSerial()
{
    static std::atomic<uint64_t> counter{0};
    return counter.fetch_add(1, std::memory_order_relaxed) + 1;
}

} // namespace corvix
