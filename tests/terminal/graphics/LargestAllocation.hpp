#pragma once

#include <cstddef>

namespace corvix::test {

// The largest single request to the global operator new while an instance lives (this test
// binary replaces operator new to see it).
class LargestAllocation {
public:
    LargestAllocation();
    ~LargestAllocation();
    size_t bytes() const;
};

} // namespace corvix::test
