#pragma once

#include "terminal/bidi/BidiProperties.hpp"
#include "terminal/screen/BidiPresentationState.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace corvix {

// The Unicode Bidirectional Algorithm (UAX #9) over one paragraph: the paragraph level (P2, P3
// or given), explicit levels (X1-X10), weak and neutral types (W1-W7, N0 with bracket pairs,
// N1, N2) and implicit levels (I1, I2) are resolved once over the whole text; each line is then
// reordered by itself (L1, L2). The text is taken as one paragraph: a paragraph separator
// inside it does not split it.
//
// Allocates per paragraph (a few arrays of the text's length), not per character.
class BidiResolver {
public:
    // The level of a unit that X9 removes (embedding and override controls, PDF, boundary
    // neutrals): it has no place of its own in the visual order.
    static constexpr int8_t kRemoved = -1;
    static constexpr int kMaxDepth = 125;

    // With no base direction, rules P2 and P3 choose it (left-to-right when nothing decides).
    explicit BidiResolver(std::u32string_view text, std::optional<BidiDirection> base = std::nullopt);

    size_t size() const { return levels_.size(); }
    int paragraphLevel() const { return paragraphLevel_; }
    BidiDirection baseDirection() const
    {
        return paragraphLevel_ ? BidiDirection::rightToLeft : BidiDirection::leftToRight;
    }
    // The resolved level of every unit before the line rules; kRemoved for removed units.
    std::span<const int8_t> levels() const { return levels_; }

    // The levels of the line [start, start + count) after L1 (trailing white space, and white
    // space before segment and paragraph separators, back at the paragraph level). A range past
    // the end is cut to the text.
    std::vector<int8_t> lineLevels(size_t start, size_t count) const;

    // L2 over one line's levels: the line's local indexes from left to right; removed units are
    // left out.
    static std::vector<int> visualOrder(std::span<const int8_t> lineLevels);

private:
    void resolveExplicit(std::vector<BidiClass>& types, const std::vector<int>& matchingPdi);
    void resolveSequence(std::u32string_view text, std::vector<BidiClass>& types,
                         const std::vector<int>& sequence, std::vector<BidiClass>& scratch);
    int firstStrongLevel(size_t begin, size_t end, const std::vector<int>& matchingPdi) const;

    std::vector<BidiClass> classes_; // as the data gives them; L1 needs them
    std::vector<int8_t> levels_;
    int paragraphLevel_ = 0;
};

} // namespace corvix
