#include "terminal/screen/GraphemeBreakState.hpp"

namespace corvix {

namespace {

using Table = std::array<std::array<uint8_t, kGraphemeBreakCount>, kGraphemeBreakCount>;

// The context-free part of the rules, for every pair of classes. Pairs that the rules on
// conjuncts, emoji ZWJ sequences and regional indicators may still join are marked for a look
// at the state.
constexpr Table makePairs()
{
    using G = GraphemeBreak;
    Table t{};
    auto at = [&t](G a, G b) -> uint8_t& { return t[size_t(a)][size_t(b)]; };
    auto isControl = [](G g) { return g == G::CR || g == G::LF || g == G::Control; };
    for (int a = 0; a < kGraphemeBreakCount; ++a) {
        for (int b = 0; b < kGraphemeBreakCount; ++b) {
            G p = G(a);
            G n = G(b);
            uint8_t rule = 0; // 0 kBreak, 1 kJoin, 2 kBreakUnlessContext
            if (p == G::CR && n == G::LF)
                rule = 1;
            else if (isControl(p) || isControl(n))
                rule = 0;
            else if (p == G::L && (n == G::L || n == G::V || n == G::LV || n == G::LVT))
                rule = 1;
            else if ((p == G::LV || p == G::V) && (n == G::V || n == G::T))
                rule = 1;
            else if ((p == G::LVT || p == G::T) && n == G::T)
                rule = 1;
            else if (n == G::Extend || n == G::ZWJ || n == G::SpacingMark || p == G::Prepend)
                rule = 1;
            else
                rule = 2;
            at(p, n) = rule;
        }
    }
    return t;
}

} // namespace

const Table GraphemeBreakState::kPairs = makePairs();

size_t GraphemeBreakState::nextBoundary(std::u32string_view text, size_t from) noexcept
{
    GraphemeBreakState state;
    state.append(text[from]);
    size_t i = from + 1;
    while (i < text.size() && !state.append(text[i])) ++i;
    return i;
}

bool GraphemeBreakState::isSingleGrapheme(std::u32string_view text) noexcept
{
    return !text.empty() && nextBoundary(text, 0) == text.size();
}

} // namespace corvix
