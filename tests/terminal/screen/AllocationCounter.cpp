#include "tests/terminal/screen/AllocationCounter.hpp"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<bool> gCounting{false};
std::atomic<size_t> gAllocations{0};
} // namespace

void* operator new(std::size_t size)
{
    if (gCounting.load(std::memory_order_relaxed)) {
        gAllocations.fetch_add(1, std::memory_order_relaxed);
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
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
    gCounting = true;
}

AllocationCounter::~AllocationCounter()
{
    gCounting = false;
}

size_t AllocationCounter::count() const
{
    return gAllocations.load();
}

} // namespace corvix::test
