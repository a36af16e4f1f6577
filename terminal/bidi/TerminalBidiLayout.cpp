#include "terminal/bidi/TerminalBidi.hpp"

#include "terminal/screen/Buffer.hpp"
#include "terminal/screen/UnicodeProperties.hpp"

#include <algorithm>

namespace corvix {

namespace {

constexpr char32_t kLeftToRightMark = 0x200E;
constexpr char32_t kRightToLeftMark = 0x200F;
constexpr char16_t kNeutral = 0x00B7;
// A right-to-left letter that never joins: stands for every joining letter.
constexpr char16_t kNonJoiningRightToLeftLetter = 0x0621;

bool isJoiningArabicLetter(char32_t s)
{
    return (s >= 0x0620 && s <= 0x064A) || s == 0x066E || s == 0x066F || (s >= 0x0671 && s <= 0x06D5)
        || s == 0x06EE || s == 0x06EF || (s >= 0x06FA && s <= 0x06FF) || (s >= 0x0750 && s <= 0x077F)
        || (s >= 0x0870 && s <= 0x088F) || (s >= 0x08A0 && s <= 0x08D2) || s == 0x200D;
}

// One row's share of the paragraph's cell list.
struct RowCells {
    size_t begin = 0;
    size_t end = 0;
    int usedCols = 0;
};

} // namespace

BidiDirection TerminalBidi::detectedBaseDirection(std::span<const Cell> cells, BidiDirection fallback)
{
    for (const Cell& cell : cells) {
        for (const char32_t s : cell.text) {
            if (s == kLeftToRightMark) return BidiDirection::leftToRight;
            if (s == kRightToLeftMark) return BidiDirection::rightToLeft;
            if (BidiProperties::of(s).isAlphabetic()) {
                return isRightToLeftScalar(s) ? BidiDirection::rightToLeft : BidiDirection::leftToRight;
            }
        }
    }
    return fallback;
}

char16_t TerminalBidi::probeScalar(std::u32string_view text)
{
    if (text.empty()) return u' ';
    const char32_t s = text[0];
    const auto properties = UnicodeProperties::of(s);
    const auto category = properties.generalCategory();
    if (properties.combiningClass() != 0 || category == GeneralCategory::NonspacingMark
        || category == GeneralCategory::EnclosingMark) {
        return kNeutral;
    }
    // Shaping is done apart from the resolver; here a joining letter only needs its direction.
    if (isJoiningArabicLetter(s)) return kNonJoiningRightToLeftLetter;
    if (s < 0x10000) return char16_t(s);
    if ((s >= 0x10800 && s <= 0x10FFF) || (s >= 0x1E800 && s <= 0x1EFFF)) return char16_t(kRightToLeftMark);
    return kNeutral;
}

std::optional<BidiResolver> TerminalBidi::makeTypesetter(std::span<const Cell> cells, BidiDirection direction)
{
    if (cells.empty()) return std::nullopt;
    std::u32string probe;
    probe.reserve(cells.size());
    for (const Cell& cell : cells) probe.push_back(char32_t(probeScalar(cell.text)));
    return BidiResolver(probe, direction);
}

TerminalBidi::ParagraphResult TerminalBidi::buildParagraph(RowRange bounds, Buffer& buffer, int cols,
                                                           const BidiTextSource& terminal,
                                                           const BidiPresentationState& state, uint64_t revision)
{
    auto& lines = buffer.lines();
    cols = std::max(cols, 0);
    const int rowCount = bounds.last - bounds.first + 1;

    // Left-to-right paragraphs, the common case, leave here.
    bool needsBidi = false;
    for (int r = bounds.first; r <= bounds.last && !needsBidi; ++r) needsBidi = mayNeedBidi(lines[r], cols, terminal);
    if (!needsBidi && state.fallbackDirection == BidiDirection::leftToRight) return {};

    std::vector<Cell> cells;
    cells.reserve(size_t(rowCount) * size_t(std::min(cols, 80)));
    std::vector<RowCells> rowCells(static_cast<size_t>(rowCount));
    for (int r = bounds.first; r <= bounds.last; ++r) {
        const BufferLine& line = lines[r];
        const int usedLength = line.getTrimmedLength();
        RowCells& span = rowCells[size_t(r - bounds.first)];
        span.begin = cells.size();
        int col = 0;
        const int limit = std::min({usedLength, line.count(), cols});
        while (col < limit) {
            const CharData& cell = line[col];
            // A wide cell cut by the last visible column keeps only its visible half, so that
            // the row fills exactly `cols` columns and every map entry is written.
            const int width = std::min(cell.width <= 0 ? 1 : int(cell.width), cols - col);
            cells.push_back({r, col, width, cell.code == 0 ? std::u32string(U" ") : terminal.character(cell.code)});
            col += width;
        }
        span.end = cells.size();
        span.usedCols = std::min(col, cols);
    }

    const BidiDirection base
        = state.autodetectDirection ? detectedBaseDirection(cells, state.fallbackDirection) : state.fallbackDirection;
    if (!needsBidi && base == BidiDirection::leftToRight) return {};

    const auto typesetter = makeTypesetter(cells, base);
    const auto shaped = shapeArabic(cells);

    ParagraphResult result;
    result.baseDirection = base;
    for (int r = bounds.first; r <= bounds.last; ++r) {
        const RowCells& span = rowCells[size_t(r - bounds.first)];
        VisualOrder visual;
        if (span.begin < span.end) visual = computeVisualOrder(span.begin, span.end, *typesetter, base);

        BidiRowLayout layout(cols, base, revision);
        layout.visualCells.reserve(span.end - span.begin + size_t(cols - span.usedCols));
        int v = 0;
        // The empty part of the row sits on the side the text does not start from.
        if (base == BidiDirection::rightToLeft) {
            for (int c = cols - 1; c >= span.usedCols; --c) v = layout.append(v, {c, 1, std::nullopt});
        }
        for (const int k : visual.order) {
            const size_t i = span.begin + size_t(k);
            const Cell& cell = cells[i];
            std::optional<std::u32string> display = shaped[i];
            if (!display && visual.rtl[size_t(k)]) display = mirror(cell.text, state.boxMirroring);
            v = layout.append(v, {cell.logicalCol, cell.width, std::move(display)});
        }
        if (base == BidiDirection::leftToRight) {
            for (int c = span.usedCols; c < cols; ++c) v = layout.append(v, {c, 1, std::nullopt});
        }
        result.rows.emplace(r, std::move(layout));
    }
    return result;
}

} // namespace corvix
