#include "terminal/screen/UnicodeUtil.hpp"

#include "terminal/screen/Utf8.hpp"

#include <algorithm>

namespace corvix {

namespace {

std::array<int8_t, 8192> buildLowPlaneWidths()
{
    std::array<int8_t, 8192> widths;
    widths.fill(1);
    for (char32_t i = 0; i < widths.size(); ++i) widths[i] = int8_t(UnicodeUtil::computeColumnWidth(i));
    return widths;
}

} // namespace

const std::array<int8_t, 8192> UnicodeUtil::lowPlaneWidths = buildLowPlaneWidths();

int UnicodeUtil::computeColumnWidth(char32_t rune) noexcept
{
    if (rune == 0) return 0;
    if (rune <= 31) return -1;
    if (rune <= 126) return 1;
    if (rune <= 159) return -1;
    switch (UnicodeProperties::of(rune).generalCategory()) {
    case GeneralCategory::NonspacingMark:
    case GeneralCategory::SpacingMark:
    case GeneralCategory::EnclosingMark:
    case GeneralCategory::LineSeparator:
    case GeneralCategory::ParagraphSeparator:
        return 0;
    case GeneralCategory::Format:
        return rune == 0xAD ? 1 : 0;
    case GeneralCategory::ModifierSymbol:
        if (rune >= 0x1F3FB && rune <= 0x1F3FF) return 0;
        if (rune == 0xFF3E || rune == 0xFF40 || rune == 0xFFE3) return 2;
        break;
    default:
        break;
    }
    if ((rune >= 0x1160 && rune <= 0x11FF) || (rune >= 0xD7B0 && rune <= 0xD7FF)) return 0;
    if (rune >= 0x1F1E6 && rune <= 0x1F1FF) return 2;
    return bisearch(rune, wideTable, int(wideTable.size()) - 1) ? 2 : 1;
}

int UnicodeUtil::bisearch(char32_t rune, std::span<const LH> table, int max) noexcept
{
    if (table.empty() || max < 0) return 0;
    max = std::min(max, int(table.size()) - 1);
    if (rune < table[0].lo || rune > table[size_t(max)].hi) return 0;
    int lo = 0;
    int hi = max;
    while (lo <= hi) {
        int mid = (lo + hi) / 2;
        if (table[size_t(mid)].hi < rune)
            lo = mid + 1;
        else if (table[size_t(mid)].lo <= rune)
            return 1;
        else
            hi = mid - 1;
    }
    return 0;
}

std::string UnicodeUtil::textPresentationAdjusted(std::string_view character)
{
    std::string text(character);
    if (character.empty()) return text;
    size_t pos = 0;
    char32_t scalar = Utf8::decodeNext(character, pos);
    if (pos != character.size() || scalar < 0x100) return text;
    auto props = UnicodeProperties::of(scalar);
    if (props.isEmoji() && !props.isEmojiPresentation()) Utf8::append(text, 0xFE0E);
    return text;
}

} // namespace corvix
