#pragma once

#include "terminal/screen/UnicodeUtil.hpp"

#include <array>

namespace corvix {

// Generated width-related sets that the print path searches with UnicodeUtil::bisearch.
struct UnicodeWidthData {
    UnicodeWidthData() = delete;

    // Base characters of the emoji variation sequences (those that may take U+FE0E or U+FE0F),
    // merged into ranges.
    static const std::array<UnicodeUtil::LH, 183> emojiVs16Base;
};

} // namespace corvix
