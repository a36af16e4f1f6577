#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

// Arithmetic on numbers read from other programs' files: results stick at the ends of the 64-bit
// range instead of wrapping (signed overflow and out-of-range double conversions are undefined).
namespace brisvane::Saturating {

inline int64_t add(int64_t a, int64_t b)
{
    int64_t sum = 0;
    if (!__builtin_add_overflow(a, b, &sum)) return sum;
    return b > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
}

inline int64_t subtract(int64_t a, int64_t b)
{
    int64_t difference = 0;
    if (!__builtin_sub_overflow(a, b, &difference)) return difference;
    return b < 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
}

// The double truncated toward zero; NaN gives 0 and a value beyond the range its nearer end.
inline int64_t toInt64(double value)
{
    constexpr double kTwoToThe63 = 9223372036854775808.0;
    if (std::isnan(value)) return 0;
    if (value >= kTwoToThe63) return std::numeric_limits<int64_t>::max();
    if (value < -kTwoToThe63) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(value);
}

} // namespace brisvane::Saturating
