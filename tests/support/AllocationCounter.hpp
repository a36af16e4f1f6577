#pragma once

#include <cstddef>

namespace corvix::test {

// Watches the global operator new while an instance lives: how many calls, and the largest
// single request. A test binary that links tests/support/AllocationCounter.cpp replaces
// operator new to see them (see brisvane_test_dir's ALLOCATIONS in tests/CMakeLists.txt).
class AllocationCounter {
public:
    AllocationCounter();
    ~AllocationCounter();
    size_t count() const;
    size_t largest() const;
};

} // namespace corvix::test
