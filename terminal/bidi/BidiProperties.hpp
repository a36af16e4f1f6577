#pragma once

#include <cstddef>
#include <cstdint>

namespace corvix {

// Bidi_Class values; the numbering is the generator's (tools/gen_unicode_tables.mjs).
enum class BidiClass : uint8_t {
    L, R, AL, EN, ES, ET, AN, CS, NSM, BN, B, S, WS, ON,
    LRE, LRO, RLE, RLO, PDF, LRI, RLI, FSI, PDI,
};

// Joining_Type values, in the order of the Unicode data's one-byte numbering.
enum class JoiningType : uint8_t {
    nonJoining, transparent, joinCausing, rightJoining, leftJoining, dualJoining,
};

// Bidi_Paired_Bracket_Type values.
enum class BracketType : uint8_t { none, open, close };

// The presentation forms of one Arabic letter; 0 where the letter has no such form.
struct ArabicForms {
    uint16_t letter;
    uint16_t iso;
    uint16_t fin;
    uint16_t ini;
    uint16_t med;
};

namespace bidi_tables {
inline constexpr int kBlockShift = 7;
using Stage1Entry = uint8_t;
using Stage2Entry = uint8_t;
struct BracketEquivalent {
    uint32_t from;
    uint32_t to;
};
extern const Stage1Entry kStage1[];
extern const Stage2Entry kStage2[];
extern const uint32_t kRecords[];
extern const ArabicForms kArabicForms[];
extern const BracketEquivalent kBracketEquivalents[];
extern const size_t kBracketEquivalentCount;
} // namespace bidi_tables

// The properties the bidi layout consults, one 32-bit record per scalar, generated like
// UnicodeProperties (general category and combining class are read there, not here).
// Bits: 0-4 BidiClass, 5-7 JoiningType (Unicode's derived values: unlisted marks and format
// characters are transparent), 8 Alphabetic, 9-10 BracketType, 11-17 index into kArabicForms
// (0: none), 18-31 signed offset to the Bidi_Mirroring_Glyph (0: none). A bracket's pair is
// always its mirror.
struct BidiProperties {
    uint32_t bits = 0;

    // The record of a scalar. A value past U+10FFFF reads as U+10FFFF, so callers need no
    // range check.
    static BidiProperties of(char32_t scalar) noexcept
    {
        using namespace bidi_tables;
        uint32_t cp = scalar < 0x110000 ? uint32_t(scalar) : 0x10FFFFu;
        uint32_t block = kStage1[cp >> kBlockShift];
        uint32_t index = kStage2[(block << kBlockShift) | (cp & ((1u << kBlockShift) - 1))];
        return BidiProperties{kRecords[index]};
    }

    BidiClass bidiClass() const noexcept { return BidiClass(bits & 31u); }
    JoiningType joiningType() const noexcept { return JoiningType((bits >> 5) & 7u); }
    bool isAlphabetic() const noexcept { return (bits >> 8) & 1u; }
    BracketType bracketType() const noexcept { return BracketType((bits >> 9) & 3u); }
    // The presentation forms when the scalar is one of the 76 letters that have them.
    const ArabicForms* arabicForms() const noexcept
    {
        uint32_t index = (bits >> 11) & 127u;
        return index ? &bidi_tables::kArabicForms[index] : nullptr;
    }
    // Added to the scalar it gives the mirrored glyph; 0 when there is none.
    int mirrorOffset() const noexcept { return int32_t(bits) >> 18; }

    // The bracket a bracket is canonically equivalent to (U+2329 is U+3008), else itself.
    static char32_t canonicalBracket(char32_t bracket) noexcept;
};

} // namespace corvix
