#include "terminal/screen/UnicodeProperties.hpp"

#include <algorithm>

namespace corvix {

char32_t UnicodeProperties::simpleLowercase(char32_t scalar) noexcept
{
    using unicode_tables::kLowercase;
    using unicode_tables::kLowercaseCount;
    const auto* end = kLowercase + kLowercaseCount;
    const auto* it = std::lower_bound(kLowercase, end, uint32_t(scalar),
        [](const unicode_tables::LowercasePair& p, uint32_t cp) { return p.from < cp; });
    return it != end && it->from == uint32_t(scalar) ? char32_t(it->to) : scalar;
}

} // namespace corvix
