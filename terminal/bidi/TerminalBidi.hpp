#pragma once

#include "terminal/bidi/BidiProperties.hpp"
#include "terminal/bidi/BidiResolver.hpp"
#include "terminal/bidi/BidiRowLayout.hpp"
#include "terminal/bidi/BidiTextSource.hpp"
#include "terminal/screen/BidiPresentationState.hpp"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace corvix {

class Buffer;
class BufferLine;

// The display-time bidi layout of terminal rows. The engine stores every row in logical order;
// right-to-left text is reordered, shaped and mirrored only when it is shown. All members are
// static; apart from the process-wide paragraph cache (guarded by its own lock) they read
// constant tables, so any thread may call them (the buffer must not change during a call).
class TerminalBidi {
public:
    TerminalBidi() = delete;

    // Buffer rows first...last, both included.
    struct RowRange {
        int first = 0;
        int last = 0;
        friend bool operator==(const RowRange&, const RowRange&) = default;
    };

    // The layout of one soft-wrapped paragraph.
    struct ParagraphResult {
        // Keyed by buffer row. Empty: every row of the paragraph is drawn in logical order.
        std::map<int, BidiRowLayout> rows;
        BidiDirection baseDirection = BidiDirection::leftToRight;
    };

    // One occupied cell of a paragraph, in logical order row by row.
    struct Cell {
        int row = 0;        // buffer row
        int logicalCol = 0; // column of the cell's first half
        int width = 1;      // 1 or 2
        std::u32string text;
    };

    // The forms of the lam-alef ligature for one alef.
    struct LamAlefForms {
        char32_t iso;
        char32_t fin;
    };

    // A line's cells from left to right (local indexes) and, per local index in logical order,
    // whether the cell is shown right-to-left.
    struct VisualOrder {
        std::vector<int> order;
        std::vector<bool> rtl;
    };

    // Scalars that make a line need bidi work: the right-to-left blocks and the right-to-left
    // mark, embedding, override and isolate.
    static constexpr bool isRightToLeftScalar(char32_t s)
    {
        return (s >= 0x0590 && s <= 0x08FF) || (s >= 0xFB1D && s <= 0xFDFF) || (s >= 0xFE70 && s <= 0xFEFC)
            || (s >= 0x10800 && s <= 0x10FFF) || (s >= 0x1E800 && s <= 0x1EFFF) || s == 0x200F || s == 0x202B
            || s == 0x202E || s == 0x2067;
    }

    // ---- Paragraphs and their cache ---------------------------------------------------------
    // Whether the visible part of a line (its first `cols` columns) holds a right-to-left
    // scalar. Called for every drawn row: codes below U+0590 cost one comparison, and
    // grapheme-cluster codes are resolved only when met.
    static bool mayNeedBidi(const BufferLine& line, int cols, const BidiTextSource& terminal);

    // The layout of the soft-wrapped paragraph that holds buffer row `row`, from the
    // process-wide cache or built and cached. `font` is an opaque identity of the font set the
    // caller draws with (it only keys the cache). Null for a row outside the buffer, a line in
    // explicit support mode, or a paragraph longer than the terminal's
    // `maximumBidiParagraphRows()`: the caller then draws the row in logical order. The result is
    // shared with the cache and never changes.
    static std::shared_ptr<const ParagraphResult> paragraphResult(int row, Buffer& buffer, int cols,
                                                                  const BidiTextSource& terminal, uint64_t font);

    // The revision of the paragraph that holds `row` (it changes with any cell write, wrap
    // change or line replacement inside it); 0 when the row has no implicit paragraph.
    static uint64_t layoutRevision(int row, Buffer& buffer, int64_t maximumRows);

    // `rows` widened so that every paragraph it touches is covered whole (clamped to the
    // buffer first; unchanged when the buffer has no lines).
    static RowRange renderingDependencyRange(RowRange rows, Buffer& buffer, int64_t maximumRows);

    // Tests only: empties the paragraph cache / the number of paragraphs it holds.
    static void clearParagraphCacheForTesting();
    static size_t paragraphCacheCountForTesting();

    // ---- Paragraph layout -------------------------------------------------------------------
    // The paragraph's base direction from its first strong letter: a left-to-right or
    // right-to-left mark, else an alphabetic scalar (right-to-left when it is a right-to-left
    // scalar). Nothing decisive: `fallback`.
    static BidiDirection detectedBaseDirection(std::span<const Cell> cells, BidiDirection fallback);

    // The one unit that stands for a cell in the text the resolver sees, so that resolver
    // indexes are cell indexes: marks become a neutral, Arabic-family joining letters a
    // non-joining right-to-left letter (shaping is done separately), scalars past U+FFFF a
    // right-to-left mark or a neutral.
    static char16_t probeScalar(std::u32string_view text);

    // ---- Arabic shaping ---------------------------------------------------------------------
    // The display character of every cell (none: keep the stored one): presentation forms
    // chosen from the neighbours in logical order, lam followed by alef as one ligature with a
    // blank after it. Marks sharing a cell stay after the chosen form.
    static std::vector<std::optional<std::u32string>> shapeArabic(std::span<const Cell> cells);
    // The presentation forms of one of the 76 Arabic letters that have them, else null.
    static const ArabicForms* unicode17Forms(char32_t letter);
    // The ligature forms when `alef` is one of the four alefs that join a lam.
    static std::optional<LamAlefForms> lamAlef(char32_t alef);

    // ---- Mirroring --------------------------------------------------------------------------
    // The Bidi_Mirroring_Glyph partner of a scalar.
    static std::optional<char32_t> unicode17Mirror(char32_t scalar);
    // The partner of a box-drawing corner, tee or half line (U+250C <-> U+2510, ...) when
    // `text` is exactly one of them.
    static std::optional<char32_t> boxMirror(std::u32string_view text);
    // What a cell shown right-to-left draws: the mirror of a one-scalar text, else (with box
    // mirroring on) its box partner, else none.
    static std::optional<std::u32string> mirror(std::u32string_view text, bool boxMirroring);

    // ---- Explicit right-to-left rows --------------------------------------------------------
    // A row whose application already ordered its cells, shown right-to-left: the cells in
    // reversed column order (a wide cell keeps its halves), mirrored, with the unused right
    // part of the line shown at the left. None for a row outside the buffer. The line's
    // support mode is not looked at: the caller decides which rows are presented this way.
    static std::optional<BidiRowLayout> explicitRightToLeftLayout(int row, Buffer& buffer, int cols,
                                                                  const BidiTextSource& terminal);

    // ---- Visual order of one line -----------------------------------------------------------
    // The line [begin, end) of a resolved paragraph in visual order. Units that the resolver
    // removes (embedding controls, boundary neutrals) have no place of their own: each takes the
    // direction of its nearest neighbour with a known direction (the earlier one at equal
    // distance, the base direction when there is none) and sits beside the cell before it, or
    // else beside the cell after it, on the side that direction gives.
    static VisualOrder computeVisualOrder(size_t begin, size_t end, const BidiResolver& typesetter,
                                          BidiDirection baseDirection);

private:
    // The rows of the paragraph that holds `row`; none when it is longer than `maximumRows`
    // (values below 1 count as 1) or runs past that many rows from `row` either way.
    static std::optional<RowRange> paragraphBounds(int row, Buffer& buffer, int64_t maximumRows);
    // A hash over each line's serial, generation and wrap flag; never 0.
    static uint64_t paragraphRevision(RowRange rows, Buffer& buffer);
    // The resolver over the cells' probe text; none when there are no cells.
    static std::optional<BidiResolver> makeTypesetter(std::span<const Cell> cells, BidiDirection direction);
    static ParagraphResult buildParagraph(RowRange bounds, Buffer& buffer, int cols, const BidiTextSource& terminal,
                                          const BidiPresentationState& state, uint64_t revision);
};

} // namespace corvix
