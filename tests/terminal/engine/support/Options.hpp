#pragma once

#include "terminal/screen/TerminalOptions.hpp"

namespace corvix::test {

// Default options with the given screen size (and scroll-back).
inline TerminalOptions sized(int cols, int rows, int64_t scrollback = TerminalOptions{}.scrollback)
{
    TerminalOptions o;
    o.cols = cols;
    o.rows = rows;
    o.scrollback = scrollback;
    return o;
}

} // namespace corvix::test
