#pragma once

#include "terminal/engine/TerminalSelection.hpp"
#include "terminal/screen/Position.hpp"

#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace corvix {

class Buffer;
class Terminal;

// A text selection over a terminal's current buffer, in buffer rows (0 = the oldest line of the
// scroll-back). The view drives it from the mouse; the terminal holds it weakly so that scrolling
// can move or drop it. Every change is reported through the delegate's `selectionChanged`.
// `start` may lie after `end`; readers order the two themselves. Ranges end one column past
// their last cell.
class SelectionService final : public TerminalSelection {
public:
    enum class SelectionMode { character, word, row };

    // Makes a selection service and registers it with the terminal. The terminal must outlive it.
    static std::shared_ptr<SelectionService> create(Terminal& terminal);
    // Not registered: pass the shared pointer to `Terminal::registerSelection` (or use `create`).
    explicit SelectionService(Terminal& terminal) : terminal_(terminal) {}

    Terminal& terminal() const { return terminal_; }

    bool active() const { return active_; }
    // Notifies the terminal's delegate when the value changes; clears the pivot when inactive.
    void setActive(bool value);

    // An explicit range, clamped to the last line and column of the current buffer (no lower
    // clamp); makes the selection active.
    void setSelection(Position start, Position end);
    // A character selection collapsed at `start`.
    void startSelection();
    // An anchor for a later extension; active, but nothing is selected yet.
    void setSoftStart(Position bufferPosition);
    // Shift-click: moves the end to the click, keeping the far side of the selection fixed.
    void shiftExtend(Position bufferPosition);
    // Mouse drag: moves the end; in word mode never shrinks below the double-clicked word.
    void dragExtend(Position bufferPosition);
    // Every line the ring can hold (text extraction clamps to the lines that exist).
    void selectAll();
    void select(int row);
    // Ends the selection and forgets its range, pivot, word anchor and row mode.
    void clearSelection();
    // Double-click: the run of blanks, of nulls or of word characters under the position, or a
    // bracketed expression through its matching bracket.
    void selectWordOrExpression(Position at, Buffer& in);
    // The selected text of the current buffer; empty when the selection starts outside it.
    std::string getSelectedText();

    // TerminalSelection: rows moving under the selection.
    void adjustForInPlaceScroll(int top, int bottom, int lines) override;
    bool dropForColumnRestrictedScroll(int top, int bottom, int left, int right) override;

    std::string debugDescription() const;

    bool hasSelectionRange = false;
    Position start;
    std::optional<Position> pivot = Position{0, 0};
    // The word or expression chosen by a double-click.
    std::optional<std::pair<Position, Position>> wordSelectionAnchor;
    Position end;
    bool selectingRows = false;
    SelectionMode selectionMode = SelectionMode::character;
    // What an empty cell reads as.
    std::u32string nullChar = std::u32string(1, U'\0');

private:
    enum class CharClass { null, space, word, other };

    void notifyChanged();
    // The character of a cell; nothing outside the buffer's lines and cells.
    std::optional<std::u32string> characterAt(Buffer& buffer, int col, int row) const;
    CharClass classAt(Buffer& buffer, int col, int row) const;
    // The first column after (forward) or the first column of (backward) the run of cells of the
    // class of (col, row); `col` itself for characters that do not snap.
    int snap(Buffer& buffer, int col, int row, bool forward) const;
    void balancedSearchForward(Buffer& buffer, Position p);
    void balancedSearchBackward(Buffer& buffer, Position p);

    Terminal& terminal_;
    bool active_ = false;
};

} // namespace corvix
