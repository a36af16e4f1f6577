#include "terminal/bidi/TerminalBidi.hpp"

#include <algorithm>

namespace corvix {

TerminalBidi::VisualOrder TerminalBidi::computeVisualOrder(size_t begin, size_t end, const BidiResolver& typesetter,
                                                           BidiDirection baseDirection)
{
    end = std::min(end, typesetter.size());
    begin = std::min(begin, end);
    const size_t n = end - begin;
    const std::vector<int8_t> levels = typesetter.lineLevels(begin, n);
    VisualOrder result;
    result.order = BidiResolver::visualOrder(levels);

    // Per local index: 1 right-to-left, 0 left-to-right, -1 not known yet.
    std::vector<int8_t> direction(n);
    for (size_t i = 0; i < n; ++i) direction[i] = levels[i] == BidiResolver::kRemoved ? -1 : int8_t(levels[i] & 1);

    // The nearest neighbour with a known direction decides, the earlier one at equal distance;
    // with none at all, the base direction.
    const auto inferredRTL = [&](size_t i) {
        for (size_t d = 1;; ++d) {
            const bool hasLeft = i >= d;
            const bool hasRight = i + d < n;
            if (hasLeft && direction[i - d] >= 0) return direction[i - d] == 1;
            if (hasRight && direction[i + d] >= 0) return direction[i + d] == 1;
            if (!hasLeft && !hasRight) return baseDirection == BidiDirection::rightToLeft;
        }
    };
    auto& order = result.order;
    const auto positionOf = [&](size_t i) { return std::find(order.begin(), order.end(), int(i)); };
    for (size_t i = 0; i < n; ++i) {
        if (direction[i] >= 0) continue;
        const bool rtl = inferredRTL(i);
        direction[i] = rtl ? 1 : 0;
        // Beside the cell before it (every earlier cell is placed by now), else beside the
        // cell after it, on the side its direction gives.
        if (i > 0) {
            order.insert(positionOf(i - 1) + (rtl ? 0 : 1), int(i));
        } else if (auto next = positionOf(i + 1); i + 1 < n && next != order.end()) {
            order.insert(next + (rtl ? 1 : 0), int(i));
        } else {
            order.push_back(int(i));
        }
    }
    result.rtl.resize(n);
    for (size_t i = 0; i < n; ++i) result.rtl[i] = direction[i] == 1;
    return result;
}

} // namespace corvix
