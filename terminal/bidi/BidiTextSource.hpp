#pragma once

#include <cstdint>
#include <string>

namespace corvix {

// What the bidi layout reads of the terminal whose rows it lays out: the text behind a cell code
// (grapheme clusters live in the terminal's table) and the longest paragraph it lays out. The
// engine's `Terminal` is one; the layout includes no engine header.
class BidiTextSource {
public:
    // The text of a cell's code: a scalar, or a stored cluster (a space for an unknown code).
    virtual std::u32string character(int32_t code) const = 0;
    // Paragraphs longer than this many rows are drawn in logical order.
    virtual int64_t maximumBidiParagraphRows() const = 0;

protected:
    ~BidiTextSource() = default;
};

} // namespace corvix
