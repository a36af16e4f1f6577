#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace corvix::test {

using Chunks = std::vector<std::span<const uint8_t>>;

// Feeds `input` whole and then split in every way the runner tries: into two chunks at every
// byte boundary, into three chunks at every pair of boundaries (inputs up to
// kThreeWayLimit bytes), and one byte at a time. `run` gets the chunks, feeds them in order to a
// fresh object and returns what it observed (anything comparable with == that gtest can print).
// Succeeds when every split gives what the whole input gives.
inline constexpr size_t kThreeWayLimit = 96;

template <typename Run>
::testing::AssertionResult sameForEverySplit(std::span<const uint8_t> input, Run run)
{
    const auto whole = run(Chunks{input});
    auto differs = [&](const Chunks& chunks) { return !(run(chunks) == whole); };
    auto failure = [&](const Chunks& chunks, const std::string& how) {
        return ::testing::AssertionFailure()
               << "split " << how << " gives\n"
               << ::testing::PrintToString(run(chunks)) << "\nbut the whole input gives\n"
               << ::testing::PrintToString(whole);
    };

    const size_t n = input.size();
    for (size_t a = 1; a < n; ++a) {
        const Chunks two{input.first(a), input.subspan(a)};
        if (differs(two)) {
            return failure(two, "at " + std::to_string(a));
        }
    }
    if (n <= kThreeWayLimit) {
        for (size_t a = 1; a < n; ++a) {
            for (size_t b = a + 1; b < n; ++b) {
                const Chunks three{input.first(a), input.subspan(a, b - a), input.subspan(b)};
                if (differs(three)) {
                    return failure(three, "at " + std::to_string(a) + " and " + std::to_string(b));
                }
            }
        }
    }
    Chunks single;
    for (size_t a = 0; a < n; ++a) {
        single.push_back(input.subspan(a, 1));
    }
    if (differs(single)) {
        return failure(single, "into single bytes");
    }
    return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult sameForEverySplit(std::string_view input, auto run)
{
    return sameForEverySplit(
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(input.data()), input.size()),
        run);
}

} // namespace corvix::test
