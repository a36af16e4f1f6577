#pragma once

#include <cstddef>

namespace corvix::test {

// Counts calls of the global operator new while an instance lives (this test binary replaces
// operator new to do so).
class AllocationCounter {
public:
    AllocationCounter();
    ~AllocationCounter();
    size_t count() const;
};

} // namespace corvix::test
