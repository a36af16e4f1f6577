#include "terminal/screen/SelectionService.hpp"

#include "terminal/engine/Terminal.hpp"

#include <algorithm>

namespace corvix {

void SelectionService::notifyChanged()
{
    if (auto* d = terminal_.delegate()) d->selectionChanged(terminal_);
}

void SelectionService::setActive(bool value)
{
    bool changed = value != active_;
    active_ = value;
    if (!active_) pivot.reset();
    if (changed) notifyChanged();
}

void SelectionService::adjustForInPlaceScroll(int top, int bottom, int lines)
{
    if (!active_ || lines == 0) return;
    int lo = std::min(start.row, end.row);
    int hi = std::max(start.row, end.row);
    if (hi < top || lo > bottom) return;

    auto inside = [&](int row) { return row >= top && row <= bottom; };
    if (inside(lo) && inside(hi)) {
        bool movePivot = pivot && (*pivot == start || *pivot == end);
        Position newStart = start, newEnd = end;
        std::optional<Position> newPivot = pivot;
        auto anchor = wordSelectionAnchor;
        bool escaped = false;
        auto move = [&](int& row) {
            if (!inside(row)) return;
            row -= lines;
            if (!inside(row)) escaped = true;
        };
        move(newStart.row);
        move(newEnd.row);
        if (movePivot) move(newPivot->row);
        if (anchor) {
            move(anchor->first.row);
            move(anchor->second.row);
        }
        if (!escaped) {
            start = newStart;
            end = newEnd;
            pivot = newPivot;
            wordSelectionAnchor = anchor;
            hasSelectionRange = start != end;
            notifyChanged();
            return;
        }
    }
    setActive(false);
    selectionMode = SelectionMode::character;
    wordSelectionAnchor.reset();
}

} // namespace corvix
