#include "tests/support/AllocationCounter.hpp"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<bool> gWatching{false};
std::atomic<size_t> gAllocations{0};
std::atomic<size_t> gLargest{0};
} // namespace

void* operator new(std::size_t size)
{
    if (gWatching.load(std::memory_order_relaxed)) {
        gAllocations.fetch_add(1, std::memory_order_relaxed);
        size_t seen = gLargest.load(std::memory_order_relaxed);
        while (size > seen && !gLargest.compare_exchange_weak(seen, size, std::memory_order_relaxed)) {
        }
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

namespace corvix::test {

AllocationCounter::AllocationCounter()
{
    gAllocations = 0;
    gLargest = 0;
    gWatching = true;
}

AllocationCounter::~AllocationCounter()
{
    gWatching = false;
}

size_t AllocationCounter::count() const
{
    return gAllocations.load();
}

size_t AllocationCounter::largest() const
{
    return gLargest.load();
}

} // namespace corvix::test
