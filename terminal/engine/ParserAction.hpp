#pragma once

#include <cstdint>

namespace corvix {

// What the machine does with a byte; the high nibble of a transition-table entry. The string
// actions serve both OSC and APC strings: the state tells which buffer they use.
enum class ParserAction : uint8_t {
    ignore = 0,
    error = 1,
    print = 2,
    execute = 3,
    oscStart = 4,
    oscPut = 5,
    oscEnd = 6,
    csiDispatch = 7,
    param = 8,
    collect = 9,
    escDispatch = 10,
    clear = 11,
    dcsHook = 12,
    dcsPut = 13,
    dcsUnhook = 14,
};

} // namespace corvix
