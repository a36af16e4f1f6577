// libFuzzer target: random bytes in random chunks into a Terminal, invariants after each chunk.
#include "fuzz/FuzzDriver.hpp"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (auto failure = corvix::fuzz::runInput({data, size})) {
        std::fprintf(stderr, "invariant broken: %s\n", failure->c_str());
        std::abort();
    }
    return 0;
}
