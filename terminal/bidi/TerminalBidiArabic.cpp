#include "terminal/bidi/TerminalBidi.hpp"

namespace corvix {

namespace {

constexpr char32_t kZeroWidthNonJoiner = 0x200C;
constexpr char32_t kLam = 0x0644;

char32_t firstScalar(const TerminalBidi::Cell& cell) { return cell.text.empty() ? U' ' : cell.text[0]; }

// Unicode's derived joining type: marks and format characters that the shaping data does not
// list are transparent. Surrogates and values past U+10FFFF read as non-joining.
JoiningType joiningType(char32_t scalar) { return BidiProperties::of(scalar).joiningType(); }

bool joinsTowardsNext(JoiningType type)
{
    return type == JoiningType::leftJoining || type == JoiningType::dualJoining || type == JoiningType::joinCausing;
}

// The form followed by the marks that shared the given cells (every scalar after the first).
std::u32string withMarks(char32_t form, std::span<const TerminalBidi::Cell> cells)
{
    std::u32string out(1, form);
    for (const auto& cell : cells) {
        if (cell.text.size() > 1) out.append(cell.text, 1);
    }
    return out;
}

} // namespace

const ArabicForms* TerminalBidi::unicode17Forms(char32_t letter)
{
    return BidiProperties::of(letter).arabicForms();
}

std::optional<TerminalBidi::LamAlefForms> TerminalBidi::lamAlef(char32_t alef)
{
    switch (alef) {
    case 0x0622: return LamAlefForms{0xFEF5, 0xFEF6};
    case 0x0623: return LamAlefForms{0xFEF7, 0xFEF8};
    case 0x0625: return LamAlefForms{0xFEF9, 0xFEFA};
    case 0x0627: return LamAlefForms{0xFEFB, 0xFEFC};
    default: return std::nullopt;
    }
}

std::vector<std::optional<std::u32string>> TerminalBidi::shapeArabic(std::span<const Cell> cells)
{
    const size_t n = cells.size();
    std::vector<std::optional<std::u32string>> shaped(n);
    for (size_t i = 0; i < n; ++i) {
        const char32_t s = firstScalar(cells[i]);
        if (s == kZeroWidthNonJoiner) continue;
        const JoiningType type = joiningType(s);
        if (type == JoiningType::nonJoining) {
            // U+0621, which never joins, still has a form of its own.
            if (const auto* forms = unicode17Forms(s)) shaped[i] = withMarks(forms->iso, cells.subspan(i, 1));
            continue;
        }
        if (type != JoiningType::rightJoining && type != JoiningType::dualJoining) continue;

        bool joinsPrev = false;
        for (size_t j = i; j-- > 0;) {
            const char32_t p = firstScalar(cells[j]);
            if (p == kZeroWidthNonJoiner) break;
            const JoiningType previous = joiningType(p);
            if (previous == JoiningType::transparent) continue;
            joinsPrev = joinsTowardsNext(previous);
            break;
        }

        if (s == kLam && i + 1 < n) {
            if (const auto ligature = lamAlef(firstScalar(cells[i + 1]))) {
                shaped[i] = withMarks(joinsPrev ? ligature->fin : ligature->iso, cells.subspan(i, 2));
                shaped[i + 1].emplace(1, U' ');
                ++i;
                continue;
            }
        }

        const auto* forms = unicode17Forms(s);
        if (!forms) continue;
        char32_t form = joinsPrev ? forms->fin : forms->iso;
        if (type == JoiningType::dualJoining) {
            JoiningType next = JoiningType::nonJoining;
            for (size_t j = i + 1; j < n; ++j) {
                const char32_t f = firstScalar(cells[j]);
                if (f == kZeroWidthNonJoiner) break;
                const JoiningType following = joiningType(f);
                if (following == JoiningType::transparent) continue;
                next = following;
                break;
            }
            const bool joinsNext = next == JoiningType::rightJoining || next == JoiningType::dualJoining
                || next == JoiningType::joinCausing;
            if (joinsPrev && joinsNext) form = forms->med ? forms->med : forms->fin;
            else if (joinsNext) form = forms->ini ? forms->ini : forms->iso;
        }
        shaped[i] = withMarks(form, cells.subspan(i, 1));
    }
    return shaped;
}

} // namespace corvix
