#pragma once

#include "terminal/screen/UnicodeProperties.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace corvix {

// Extended grapheme cluster boundaries (the default rules of the Unicode version the property
// tables come from), one scalar at a time. The state describes the cluster so far in 16 bits,
// so the print path can ask "does this scalar start a new cell?" without re-reading the text.
struct GraphemeBreakState {
    // 0 means "nothing yet". Bits 0-3: class of the last scalar + 1; bit 4: the run of regional
    // indicators ending there is odd; bits 5-6: emoji state (1 pictographic Extend*, 2 that
    // followed by ZWJ); bits 7-8: conjunct state (1 consonant [Extend|Linker]*, 2 with a linker).
    uint16_t bits = 0;

    // Adds a scalar; returns true when a cluster boundary lies before it (always true for the
    // first scalar).
    bool append(UnicodeProperties next) noexcept
    {
        auto cls = unsigned(next.graphemeBreak());
        unsigned prev = bits & 15u;
        bool boundary = prev == 0 || isBoundary(prev - 1, cls, next);
        bits = nextBits(cls, next);
        return boundary;
    }
    bool append(char32_t next) noexcept { return append(UnicodeProperties::of(next)); }

    // End of the cluster that starts at text[from] (from must be a boundary and below size()).
    static size_t nextBoundary(std::u32string_view text, size_t from) noexcept;

    // True when the text is exactly one extended grapheme cluster (false when it is empty).
    static bool isSingleGrapheme(std::u32string_view text) noexcept;

private:
    enum PairRule : uint8_t { kBreak, kJoin, kBreakUnlessContext };
    static const std::array<std::array<uint8_t, kGraphemeBreakCount>, kGraphemeBreakCount> kPairs;

    bool isBoundary(unsigned prev, unsigned cls, UnicodeProperties next) const noexcept
    {
        uint8_t rule = kPairs[prev][cls];
        if (rule != kBreakUnlessContext) return rule == kBreak;
        // Consonant + (Extend|Linker)* with a Linker, then a consonant: one conjunct.
        if (((bits >> 7) & 3u) == 2 && next.indicConjunctBreak() == IndicConjunctBreak::Consonant)
            return false;
        // Pictographic Extend* ZWJ, then a pictographic: one emoji ZWJ sequence.
        if (prev == unsigned(GraphemeBreak::ZWJ) && ((bits >> 5) & 3u) == 2 &&
            next.isExtendedPictographic())
            return false;
        // Regional indicators pair up from the start of their run.
        if (prev == unsigned(GraphemeBreak::RegionalIndicator) &&
            cls == unsigned(GraphemeBreak::RegionalIndicator) && (bits & 16u))
            return false;
        return true;
    }

    uint16_t nextBits(unsigned cls, UnicodeProperties next) const noexcept
    {
        unsigned ri = 0;
        if (cls == unsigned(GraphemeBreak::RegionalIndicator)) {
            bool prevOdd = (bits & 15u) == cls + 1 && (bits & 16u);
            ri = prevOdd ? 0 : 1;
        }
        unsigned emoji = 0;
        unsigned emojiState = (bits >> 5) & 3u;
        if (next.isExtendedPictographic())
            emoji = 1;
        else if (emojiState == 1 && cls == unsigned(GraphemeBreak::Extend))
            emoji = 1;
        else if (emojiState == 1 && cls == unsigned(GraphemeBreak::ZWJ))
            emoji = 2;
        unsigned conjunct = 0;
        unsigned conjunctState = (bits >> 7) & 3u;
        switch (next.indicConjunctBreak()) {
        case IndicConjunctBreak::Consonant: conjunct = 1; break;
        case IndicConjunctBreak::Extend: conjunct = conjunctState; break;
        case IndicConjunctBreak::Linker: conjunct = conjunctState ? 2 : 0; break;
        case IndicConjunctBreak::None: break;
        }
        return uint16_t((cls + 1) | (ri << 4) | (emoji << 5) | (conjunct << 7));
    }
};

} // namespace corvix
