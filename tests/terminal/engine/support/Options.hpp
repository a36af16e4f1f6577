#pragma once

#include "terminal/screen/TerminalOptions.hpp"

namespace corvix::test {

// Default options with the given screen size.
inline TerminalOptions sized(int cols, int rows)
{
    TerminalOptions o;
    o.cols = cols;
    o.rows = rows;
    return o;
}

} // namespace corvix::test
