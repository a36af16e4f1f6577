#include "terminal/bidi/BidiResolver.hpp"

#include <algorithm>
#include <array>

namespace corvix {

namespace {

using C = BidiClass;

bool isIsolateInitiator(C c) { return c == C::LRI || c == C::RLI || c == C::FSI; }
bool isRemovedByX9(C c)
{
    return c == C::LRE || c == C::RLE || c == C::LRO || c == C::RLO || c == C::PDF || c == C::BN;
}
// Neutral and isolate types, which N1 and N2 resolve.
bool isNeutralOrIsolate(C c)
{
    return c == C::B || c == C::S || c == C::WS || c == C::ON || isIsolateInitiator(c) || c == C::PDI;
}
C directionOfLevel(int level) { return (level & 1) ? C::R : C::L; }
// The strong direction a resolved type stands for in N0 and N1 (numbers count as R); ON when
// it has none.
C strongDirection(C c)
{
    if (c == C::L) return C::L;
    if (c == C::R || c == C::EN || c == C::AN) return C::R;
    return C::ON;
}

} // namespace

BidiResolver::BidiResolver(std::u32string_view text, std::optional<BidiDirection> base)
{
    const size_t n = text.size();
    classes_.resize(n);
    for (size_t i = 0; i < n; ++i) classes_[i] = BidiProperties::of(text[i]).bidiClass();

    // BD9: the matching PDI of each isolate initiator (-1: none).
    std::vector<int> matchingPdi(n, -1);
    {
        std::vector<int> open;
        for (size_t i = 0; i < n; ++i) {
            if (isIsolateInitiator(classes_[i])) {
                open.push_back(int(i));
            } else if (classes_[i] == C::PDI && !open.empty()) {
                matchingPdi[size_t(open.back())] = int(i);
                open.pop_back();
            }
        }
    }

    if (base) {
        paragraphLevel_ = *base == BidiDirection::rightToLeft ? 1 : 0;
    } else {
        paragraphLevel_ = firstStrongLevel(0, n, matchingPdi);
    }

    std::vector<BidiClass> types = classes_;
    levels_.assign(n, 0);
    resolveExplicit(types, matchingPdi);

    // X10: level runs over the units that X9 keeps, chained into isolating run sequences
    // through isolate initiators and their matching PDIs.
    std::vector<std::pair<int, int>> runs; // first and last unit
    for (size_t i = 0; i < n; ++i) {
        if (levels_[i] == kRemoved) continue;
        if (runs.empty() || levels_[size_t(runs.back().second)] != levels_[i]) {
            runs.emplace_back(int(i), int(i));
        } else {
            runs.back().second = int(i);
        }
    }
    std::vector<int> runStartingAt(n, -1);
    for (size_t r = 0; r < runs.size(); ++r) runStartingAt[size_t(runs[r].first)] = int(r);

    std::vector<bool> chained(runs.size(), false);
    std::vector<int> sequence;
    std::vector<BidiClass> scratch;
    for (size_t r = 0; r < runs.size(); ++r) {
        if (chained[r]) continue;
        sequence.clear();
        for (size_t s = r;;) {
            for (int i = runs[s].first; i <= runs[s].second; ++i) {
                if (levels_[size_t(i)] != kRemoved) sequence.push_back(i);
            }
            const auto last = size_t(runs[s].second);
            if (!isIsolateInitiator(classes_[last]) || matchingPdi[last] < 0) break;
            const int next = runStartingAt[size_t(matchingPdi[last])];
            if (next < 0) break;
            s = size_t(next);
            chained[s] = true;
        }
        resolveSequence(text, types, sequence, scratch);
    }

    // I1, I2.
    for (size_t i = 0; i < n; ++i) {
        if (levels_[i] == kRemoved) continue;
        const C t = types[i];
        if ((levels_[i] & 1) == 0) {
            if (t == C::R) levels_[i] += 1;
            else if (t == C::AN || t == C::EN) levels_[i] += 2;
        } else if (t == C::L || t == C::EN || t == C::AN) {
            levels_[i] += 1;
        }
    }
}

// P2 and P3 over [begin, end), skipping isolates: 1 when the first strong unit is R or AL,
// else 0.
int BidiResolver::firstStrongLevel(size_t begin, size_t end, const std::vector<int>& matchingPdi) const
{
    for (size_t i = begin; i < end; ++i) {
        const C c = classes_[i];
        if (c == C::L) return 0;
        if (c == C::R || c == C::AL) return 1;
        if (isIsolateInitiator(c)) {
            if (matchingPdi[i] < 0) return 0;
            i = size_t(matchingPdi[i]);
        }
    }
    return 0;
}

// X1-X9: explicit levels, overrides applied to the types; removed units get kRemoved.
void BidiResolver::resolveExplicit(std::vector<BidiClass>& types, const std::vector<int>& matchingPdi)
{
    struct Status {
        int level;
        C override; // ON: none
        bool isolate;
    };
    // The deepest stack: the paragraph entry plus one per level up to kMaxDepth.
    std::array<Status, kMaxDepth + 2> stack;
    size_t depth = 0;
    stack[depth++] = {paragraphLevel_, C::ON, false};
    int overflowIsolates = 0;
    int overflowEmbeddings = 0;
    int validIsolates = 0;

    const size_t n = classes_.size();
    for (size_t i = 0; i < n; ++i) {
        const C c = classes_[i];
        const Status& top = stack[depth - 1];
        switch (c) {
        case C::RLE:
        case C::LRE:
        case C::RLO:
        case C::LRO: {
            const bool rtl = c == C::RLE || c == C::RLO;
            const int level = rtl ? (top.level + 1) | 1 : (top.level + 2) & ~1;
            if (level <= kMaxDepth && overflowIsolates == 0 && overflowEmbeddings == 0) {
                const C override = c == C::RLO ? C::R : c == C::LRO ? C::L : C::ON;
                stack[depth++] = {level, override, false};
            } else if (overflowIsolates == 0) {
                ++overflowEmbeddings;
            }
            levels_[i] = kRemoved;
            break;
        }
        case C::RLI:
        case C::LRI:
        case C::FSI: {
            levels_[i] = int8_t(top.level);
            if (top.override != C::ON) types[i] = top.override;
            bool rtl = c == C::RLI;
            if (c == C::FSI) {
                const size_t end = matchingPdi[i] >= 0 ? size_t(matchingPdi[i]) : n;
                rtl = firstStrongLevel(i + 1, end, matchingPdi) == 1;
            }
            const int level = rtl ? (top.level + 1) | 1 : (top.level + 2) & ~1;
            if (level <= kMaxDepth && overflowIsolates == 0 && overflowEmbeddings == 0) {
                ++validIsolates;
                stack[depth++] = {level, C::ON, true};
            } else {
                ++overflowIsolates;
            }
            break;
        }
        case C::PDI:
            if (overflowIsolates > 0) {
                --overflowIsolates;
            } else if (validIsolates > 0) {
                overflowEmbeddings = 0;
                while (!stack[depth - 1].isolate) --depth;
                --depth;
                --validIsolates;
            }
            levels_[i] = int8_t(stack[depth - 1].level);
            if (stack[depth - 1].override != C::ON) types[i] = stack[depth - 1].override;
            break;
        case C::PDF:
            if (overflowIsolates > 0) {
            } else if (overflowEmbeddings > 0) {
                --overflowEmbeddings;
            } else if (!top.isolate && depth >= 2) {
                --depth;
            }
            levels_[i] = kRemoved;
            break;
        case C::B:
            levels_[i] = int8_t(paragraphLevel_);
            break;
        case C::BN:
            levels_[i] = kRemoved;
            break;
        default:
            levels_[i] = int8_t(top.level);
            if (top.override != C::ON) types[i] = top.override;
            break;
        }
    }
}

// W1-W7, N0-N2 over one isolating run sequence (its units in order); writes the resolved
// types back.
void BidiResolver::resolveSequence(std::u32string_view text, std::vector<BidiClass>& types,
                                   const std::vector<int>& sequence, std::vector<BidiClass>& t)
{
    const size_t len = sequence.size();
    if (len == 0) return;
    const auto unit = [&](size_t k) { return size_t(sequence[k]); };
    const int level = levels_[unit(0)];
    const C embedding = directionOfLevel(level);

    int before = paragraphLevel_;
    for (size_t j = unit(0); j-- > 0;) {
        if (levels_[j] != kRemoved) {
            before = levels_[j];
            break;
        }
    }
    int after = paragraphLevel_;
    if (!isIsolateInitiator(classes_[unit(len - 1)])) {
        for (size_t j = unit(len - 1) + 1; j < levels_.size(); ++j) {
            if (levels_[j] != kRemoved) {
                after = levels_[j];
                break;
            }
        }
    }
    const C sos = directionOfLevel(std::max(before, level));
    const C eos = directionOfLevel(std::max(after, level));

    t.resize(len);
    for (size_t k = 0; k < len; ++k) t[k] = types[unit(k)];

    // W1: marks take the type before them (ON after an isolate initiator or PDI).
    for (size_t k = 0; k < len; ++k) {
        if (t[k] != C::NSM) continue;
        if (k == 0) t[k] = sos;
        else t[k] = isIsolateInitiator(t[k - 1]) || t[k - 1] == C::PDI ? C::ON : t[k - 1];
    }
    // W2, W3: European numbers after Arabic letters are Arabic numbers; AL is R.
    C lastStrong = sos;
    for (size_t k = 0; k < len; ++k) {
        if (t[k] == C::L || t[k] == C::R || t[k] == C::AL) lastStrong = t[k];
        else if (t[k] == C::EN && lastStrong == C::AL) t[k] = C::AN;
    }
    for (auto& c : t) {
        if (c == C::AL) c = C::R;
    }
    // W4: one separator between two numbers of the same kind joins them.
    for (size_t k = 1; k + 1 < len; ++k) {
        if (t[k] == C::ES && t[k - 1] == C::EN && t[k + 1] == C::EN) t[k] = C::EN;
        else if (t[k] == C::CS && t[k - 1] == C::EN && t[k + 1] == C::EN) t[k] = C::EN;
        else if (t[k] == C::CS && t[k - 1] == C::AN && t[k + 1] == C::AN) t[k] = C::AN;
    }
    // W5: terminators next to a European number become part of it.
    for (size_t k = 0; k < len;) {
        if (t[k] != C::ET) {
            ++k;
            continue;
        }
        size_t end = k;
        while (end < len && t[end] == C::ET) ++end;
        if ((k > 0 && t[k - 1] == C::EN) || (end < len && t[end] == C::EN)) {
            std::fill(t.begin() + std::ptrdiff_t(k), t.begin() + std::ptrdiff_t(end), C::EN);
        }
        k = end;
    }
    // W6, W7.
    lastStrong = sos;
    for (auto& c : t) {
        if (c == C::ES || c == C::ET || c == C::CS) c = C::ON;
        if (c == C::L || c == C::R) lastStrong = c;
        else if (c == C::EN && lastStrong == C::L) c = C::L;
    }

    // N0, BD16: bracket pairs, found with a stack of 63 openers; an opener beyond that ends the
    // search (the pairs found so far stay).
    struct Opener {
        char32_t closer;
        size_t position;
    };
    std::array<Opener, 63> openers;
    size_t openCount = 0;
    std::vector<std::pair<size_t, size_t>> pairs;
    for (size_t k = 0; k < len; ++k) {
        if (t[k] != C::ON) continue;
        const char32_t cp = text[unit(k)];
        const auto props = BidiProperties::of(cp);
        if (props.bracketType() == BracketType::open) {
            if (openCount == openers.size()) break;
            openers[openCount++] = {BidiProperties::canonicalBracket(char32_t(int32_t(cp) + props.mirrorOffset())), k};
        } else if (props.bracketType() == BracketType::close) {
            const char32_t key = BidiProperties::canonicalBracket(cp);
            for (size_t s = openCount; s-- > 0;) {
                if (openers[s].closer == key) {
                    pairs.emplace_back(openers[s].position, k);
                    openCount = s;
                    break;
                }
            }
        }
    }
    std::sort(pairs.begin(), pairs.end());
    const auto setBracket = [&](size_t k, C direction) {
        t[k] = direction;
        // Marks that followed the bracket took its old type in W1; they follow it again.
        for (size_t j = k + 1; j < len && classes_[unit(j)] == C::NSM; ++j) t[j] = direction;
    };
    for (const auto& [open, close] : pairs) {
        bool sameInside = false;
        bool oppositeInside = false;
        for (size_t k = open + 1; k < close; ++k) {
            const C d = strongDirection(t[k]);
            if (d == embedding) {
                sameInside = true;
                break;
            }
            if (d != C::ON) oppositeInside = true;
        }
        C direction = C::ON;
        if (sameInside) {
            direction = embedding;
        } else if (oppositeInside) {
            C context = sos;
            for (size_t k = open; k-- > 0;) {
                const C d = strongDirection(t[k]);
                if (d != C::ON) {
                    context = d;
                    break;
                }
            }
            direction = context != embedding ? context : embedding;
        }
        if (direction != C::ON) {
            setBracket(open, direction);
            setBracket(close, direction);
        }
    }

    // N1, N2: a run of neutrals between two units of one direction takes it, else the
    // embedding direction.
    for (size_t k = 0; k < len;) {
        if (!isNeutralOrIsolate(t[k])) {
            ++k;
            continue;
        }
        size_t end = k;
        while (end < len && isNeutralOrIsolate(t[end])) ++end;
        const C leading = k == 0 ? sos : strongDirection(t[k - 1]);
        const C trailing = end == len ? eos : strongDirection(t[end]);
        const C direction = leading == trailing ? leading : embedding;
        std::fill(t.begin() + std::ptrdiff_t(k), t.begin() + std::ptrdiff_t(end), direction);
        k = end;
    }

    for (size_t k = 0; k < len; ++k) types[unit(k)] = t[k];
}

std::vector<int8_t> BidiResolver::lineLevels(size_t start, size_t count) const
{
    start = std::min(start, levels_.size());
    count = std::min(count, levels_.size() - start);
    std::vector<int8_t> out(levels_.begin() + std::ptrdiff_t(start),
                            levels_.begin() + std::ptrdiff_t(start + count));
    // L1, from the end backwards: white space and isolate controls (and removed units among
    // them) before a separator or the line's end go back to the paragraph level.
    bool trailing = true;
    for (size_t k = count; k-- > 0;) {
        const C c = classes_[start + k];
        if (c == C::S || c == C::B) {
            out[k] = int8_t(paragraphLevel_);
            trailing = true;
        } else if (isRemovedByX9(c)) {
            // Keeps the run going.
        } else if (trailing && (c == C::WS || isIsolateInitiator(c) || c == C::PDI)) {
            out[k] = int8_t(paragraphLevel_);
        } else {
            trailing = false;
        }
    }
    return out;
}

std::vector<int> BidiResolver::visualOrder(std::span<const int8_t> lineLevels)
{
    std::vector<int> order;
    std::vector<int8_t> levels;
    order.reserve(lineLevels.size());
    levels.reserve(lineLevels.size());
    int highest = 0;
    int lowestOdd = 127;
    for (size_t k = 0; k < lineLevels.size(); ++k) {
        const int level = lineLevels[k];
        if (level == kRemoved) continue;
        order.push_back(int(k));
        levels.push_back(int8_t(level));
        highest = std::max(highest, level);
        if (level & 1) lowestOdd = std::min(lowestOdd, level);
    }
    // L2: from the highest level down to the lowest odd one, reverse every run at that level
    // or above.
    for (int level = highest; level >= lowestOdd; --level) {
        for (size_t k = 0; k < order.size();) {
            if (levels[k] < level) {
                ++k;
                continue;
            }
            size_t end = k;
            while (end < order.size() && levels[end] >= level) ++end;
            std::reverse(order.begin() + std::ptrdiff_t(k), order.begin() + std::ptrdiff_t(end));
            std::reverse(levels.begin() + std::ptrdiff_t(k), levels.begin() + std::ptrdiff_t(end));
            k = end;
        }
    }
    return order;
}

} // namespace corvix
