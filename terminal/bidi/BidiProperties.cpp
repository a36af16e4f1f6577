#include "terminal/bidi/BidiProperties.hpp"

namespace corvix {

char32_t BidiProperties::canonicalBracket(char32_t bracket) noexcept
{
    for (size_t i = 0; i < bidi_tables::kBracketEquivalentCount; ++i) {
        if (bidi_tables::kBracketEquivalents[i].from == uint32_t(bracket)) {
            return char32_t(bidi_tables::kBracketEquivalents[i].to);
        }
    }
    return bracket;
}

} // namespace corvix
