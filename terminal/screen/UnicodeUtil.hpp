#pragma once

#include "terminal/screen/UnicodeProperties.hpp"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace corvix {

// Column widths of Unicode scalars and the text-presentation helper of the view.
struct UnicodeUtil {
    UnicodeUtil() = delete;

    // An inclusive range of code points.
    struct LH {
        uint32_t lo;
        uint32_t hi;
    };

    // Two-column ranges: East Asian Wide and Fullwidth, and emoji with default emoji
    // presentation. A fixed list, independent of the Unicode version of the other tables.
    static const std::array<LH, 123> wideTable;

    // Widths of U+0000-U+1FFF by the rule of computeColumnWidth, built once at start-up.
    static const std::array<int8_t, 8192> lowPlaneWidths;

    // Width of any scalar in one table look-up: the same answer as computeColumnWidth.
    static int columnWidth(char32_t scalar) noexcept
    {
        return UnicodeProperties::of(scalar).width();
    }

    // Width by the rule: -1 control, 0 joins the previous cell, 1, or 2.
    static int computeColumnWidth(char32_t rune) noexcept;

    // 1 when rune lies inside one of table[0 ... max], else 0. An empty table, or max outside
    // the table, answers 0 (max is clamped to the last index).
    static int bisearch(char32_t rune, std::span<const LH> table, int max) noexcept;

    // One user-perceived character (UTF-8). A lone scalar from U+0100 up that is an emoji
    // without default emoji presentation gets U+FE0E appended so that it draws as text;
    // anything else comes back unchanged.
    static std::string textPresentationAdjusted(std::string_view character);
};

} // namespace corvix
