#include "terminal/bidi/TerminalBidi.hpp"

#include "terminal/screen/Buffer.hpp"

#include <algorithm>
#include <array>

namespace corvix {

namespace {

constexpr char32_t kBoxFirst = 0x2500;

// The box-drawing pieces that face one side and their partners facing the other, indexed from
// U+2500 (0: none).
constexpr auto kBoxMirror = [] {
    constexpr std::array<std::pair<char16_t, char16_t>, 19> pairs = {{
        {0x250C, 0x2510}, {0x2514, 0x2518}, {0x251C, 0x2524}, {0x250F, 0x2513}, {0x2517, 0x251B},
        {0x2523, 0x252B}, {0x2554, 0x2557}, {0x255A, 0x255D}, {0x2560, 0x2563}, {0x256D, 0x256E},
        {0x2570, 0x256F}, {0x2552, 0x2555}, {0x2558, 0x255B}, {0x2553, 0x2556}, {0x2559, 0x255C},
        {0x255E, 0x2561}, {0x255F, 0x2562}, {0x2574, 0x2576}, {0x2578, 0x257A},
    }};
    std::array<char16_t, 0x80> table{};
    for (const auto& [left, right] : pairs) {
        table[left - kBoxFirst] = right;
        table[right - kBoxFirst] = left;
    }
    return table;
}();

} // namespace

std::optional<char32_t> TerminalBidi::unicode17Mirror(char32_t scalar)
{
    const int offset = BidiProperties::of(scalar).mirrorOffset();
    if (offset == 0) return std::nullopt;
    return char32_t(int32_t(scalar) + offset);
}

std::optional<char32_t> TerminalBidi::boxMirror(std::u32string_view text)
{
    if (text.size() != 1 || text[0] < kBoxFirst || text[0] >= kBoxFirst + kBoxMirror.size()) return std::nullopt;
    const char16_t partner = kBoxMirror[text[0] - kBoxFirst];
    if (partner == 0) return std::nullopt;
    return char32_t(partner);
}

std::optional<std::u32string> TerminalBidi::mirror(std::u32string_view text, bool boxMirroring)
{
    if (text.size() == 1) {
        if (const auto m = unicode17Mirror(text[0])) return std::u32string(1, *m);
    }
    if (boxMirroring) {
        if (const auto m = boxMirror(text)) return std::u32string(1, *m);
    }
    return std::nullopt;
}

std::optional<BidiRowLayout> TerminalBidi::explicitRightToLeftLayout(int row, Buffer& buffer, int cols,
                                                                     const BidiTextSource& terminal)
{
    if (row < 0 || row >= buffer.lines().count()) return std::nullopt;
    const BufferLine& line = buffer.lines()[row];
    cols = std::max(cols, 0);
    const int usedLength = line.getTrimmedLength();
    std::vector<Cell> collected;
    int col = 0;
    const int limit = std::min({usedLength, line.count(), cols});
    while (col < limit) {
        const CharData& cell = line[col];
        // A wide cell cut by the last visible column keeps only its visible half, so that the
        // row still fills exactly `cols` columns.
        const int width = std::min(cell.width <= 0 ? 1 : int(cell.width), cols - col);
        collected.push_back({row, col, width, cell.code == 0 ? std::u32string(U" ") : terminal.character(cell.code)});
        col += width;
    }
    const int used = std::min(col, cols);

    BidiRowLayout layout(cols, BidiDirection::rightToLeft, line.generation());
    layout.visualCells.reserve(collected.size() + size_t(cols - used));
    int v = 0;
    // The unused right part of the line shows at the left.
    for (int c = cols - 1; c >= used; --c) v = layout.append(v, {c, 1, std::nullopt});
    const bool boxMirroring = line.bidiState().boxMirroring;
    for (auto it = collected.rbegin(); it != collected.rend(); ++it) {
        v = layout.append(v, {it->logicalCol, it->width, mirror(it->text, boxMirroring)});
    }
    return layout;
}

} // namespace corvix
