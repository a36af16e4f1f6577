#pragma once

namespace corvix {

// A selection over a terminal's buffer rows, as the engine sees it: the engine holds it weakly
// and tells it when rows move under it. The selection itself (terminal/selection) lives above
// the engine.
class TerminalSelection {
public:
    virtual ~TerminalSelection() = default;

    // Rows top...bottom scrolled up by `lines` (down when negative) with the rest of the buffer
    // still: a selection inside moves along, one that leaves or straddles the region is dropped.
    virtual void adjustForInPlaceScroll(int top, int bottom, int lines) = 0;
    // Rows top...bottom scrolled between the left and right margins (columns left...right): an
    // active selection that touches the rectangle is dropped. True when it was dropped.
    virtual bool dropForColumnRestrictedScroll(int top, int bottom, int left, int right) = 0;
};

} // namespace corvix
