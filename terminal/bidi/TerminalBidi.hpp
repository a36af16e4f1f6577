#pragma once

#include "terminal/bidi/BidiProperties.hpp"
#include "terminal/bidi/BidiResolver.hpp"
#include "terminal/bidi/BidiRowLayout.hpp"
#include "terminal/screen/BidiPresentationState.hpp"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace corvix {

class Buffer;
class Terminal;

// The display-time bidi layout of terminal rows. The engine stores every row in logical order;
// right-to-left text is reordered, shaped and mirrored only when it is shown. All members are
// static and read constant tables, so any thread may call them (the buffer must not change
// during a call).
class TerminalBidi {
public:
    TerminalBidi() = delete;

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
                                                                  const Terminal& terminal);

    // ---- Visual order of one line -----------------------------------------------------------
    // The line [begin, end) of a resolved paragraph in visual order. Units that the resolver
    // removes (embedding controls, boundary neutrals) have no place of their own: each takes the
    // direction of its nearest neighbour with a known direction (the earlier one at equal
    // distance, the base direction when there is none) and sits beside the cell before it, or
    // else beside the cell after it, on the side that direction gives.
    static VisualOrder computeVisualOrder(size_t begin, size_t end, const BidiResolver& typesetter,
                                          BidiDirection baseDirection);
};

} // namespace corvix
