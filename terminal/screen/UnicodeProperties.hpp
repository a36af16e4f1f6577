#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace corvix {

// Unicode general category; the numbering is the generator's (tools/gen_unicode_tables.mjs).
enum class GeneralCategory : uint8_t {
    UppercaseLetter, LowercaseLetter, TitlecaseLetter, ModifierLetter, OtherLetter,
    NonspacingMark, SpacingMark, EnclosingMark,
    DecimalNumber, LetterNumber, OtherNumber,
    ConnectorPunctuation, DashPunctuation, OpenPunctuation, ClosePunctuation,
    InitialPunctuation, FinalPunctuation, OtherPunctuation,
    MathSymbol, CurrencySymbol, ModifierSymbol, OtherSymbol,
    SpaceSeparator, LineSeparator, ParagraphSeparator,
    Control, Format, Surrogate, PrivateUse, Unassigned,
};

// Grapheme_Cluster_Break property values.
enum class GraphemeBreak : uint8_t {
    Other, CR, LF, Control, Extend, ZWJ, RegionalIndicator, Prepend, SpacingMark,
    L, V, T, LV, LVT,
};
inline constexpr int kGraphemeBreakCount = 14;

// Indic_Conjunct_Break property values (they keep conjuncts such as KA VIRAMA SSA together).
enum class IndicConjunctBreak : uint8_t { None, Consonant, Extend, Linker };

namespace unicode_tables {
inline constexpr int kBlockShift = 8;
using Stage1Entry = uint8_t;
using Stage2Entry = uint8_t;
struct LowercasePair {
    uint32_t from;
    uint32_t to;
};
extern const char kUnicodeVersion[];
extern const Stage1Entry kStage1[];
extern const Stage2Entry kStage2[];
extern const uint32_t kRecords[];
extern const LowercasePair kLowercase[];
extern const size_t kLowercaseCount;
} // namespace unicode_tables

// Every Unicode property the terminal core consults, packed in one 32-bit record per scalar so
// that the print path gets width, grapheme-break class and the extender flag from one look-up.
// Bits: 0-1 width + 1, 2-5 GraphemeBreak, 6 extender, 7 Extended_Pictographic,
// 8-9 IndicConjunctBreak, 10-14 GeneralCategory, 15 Emoji, 16 Emoji_Presentation,
// 17 White_Space, 24-31 canonical combining class.
struct UnicodeProperties {
    uint32_t bits = 0;

    // The record of a scalar. A value past U+10FFFF reads as U+10FFFF (a noncharacter of
    // width 1), so callers need no range check.
    static UnicodeProperties of(char32_t scalar) noexcept
    {
        using namespace unicode_tables;
        uint32_t cp = scalar < 0x110000 ? uint32_t(scalar) : 0x10FFFFu;
        uint32_t block = kStage1[cp >> kBlockShift];
        uint32_t index = kStage2[(block << kBlockShift) | (cp & ((1u << kBlockShift) - 1))];
        return UnicodeProperties{kRecords[index]};
    }

    // Column width: -1 (control, not printed), 0 (joins the previous cell), 1 or 2.
    int width() const noexcept { return int(bits & 3u) - 1; }
    GraphemeBreak graphemeBreak() const noexcept { return GraphemeBreak((bits >> 2) & 15u); }
    // The print path attaches an extender to the previous cell: width 0, joiners, variation
    // selectors, skin-tone modifiers and combining marks from U+0300 up.
    bool isExtender() const noexcept { return (bits >> 6) & 1u; }
    bool isExtendedPictographic() const noexcept { return (bits >> 7) & 1u; }
    IndicConjunctBreak indicConjunctBreak() const noexcept
    {
        return IndicConjunctBreak((bits >> 8) & 3u);
    }
    GeneralCategory generalCategory() const noexcept
    {
        return GeneralCategory((bits >> 10) & 31u);
    }
    bool isEmoji() const noexcept { return (bits >> 15) & 1u; }
    bool isEmojiPresentation() const noexcept { return (bits >> 16) & 1u; }
    bool isWhiteSpace() const noexcept { return (bits >> 17) & 1u; }
    int combiningClass() const noexcept { return int(bits >> 24); }

    bool isLetter() const noexcept
    {
        return generalCategory() <= GeneralCategory::OtherLetter;
    }
    bool isNumber() const noexcept
    {
        auto gc = generalCategory();
        return gc >= GeneralCategory::DecimalNumber && gc <= GeneralCategory::OtherNumber;
    }

    // Simple (one-to-one) lower-case mapping; the scalar itself when it has none.
    static char32_t simpleLowercase(char32_t scalar) noexcept;

    // The Unicode version the tables were generated from, e.g. "17.0.0".
    static const char* unicodeVersion() noexcept { return unicode_tables::kUnicodeVersion; }
};

} // namespace corvix
