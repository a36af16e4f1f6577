#pragma once

#include "terminal/screen/Position.hpp"

#include <optional>
#include <utility>

namespace corvix {

class Terminal;

// A text selection over a terminal's current buffer. Registered with its terminal (which holds
// it weakly) so that scrolling can move or drop it.
class SelectionService {
public:
    enum class SelectionMode { character, word, row };

    explicit SelectionService(Terminal& terminal) : terminal_(terminal) {}

    Terminal& terminal() const { return terminal_; }

    bool active() const { return active_; }
    // Notifies the terminal's delegate when the value changes; clears the pivot when inactive.
    void setActive(bool value);

    // Rows top...bottom scrolled up by `lines` (down when negative) with the rest of the buffer
    // still: a selection inside moves along, one that leaves or straddles the region is dropped.
    void adjustForInPlaceScroll(int top, int bottom, int lines);

    Position start;
    Position end;
    std::optional<Position> pivot = Position{0, 0};
    std::optional<std::pair<Position, Position>> wordSelectionAnchor;
    bool hasSelectionRange = false;
    bool selectingRows = false;
    SelectionMode selectionMode = SelectionMode::character;

private:
    void notifyChanged();

    Terminal& terminal_;
    bool active_ = false;
};

} // namespace corvix
