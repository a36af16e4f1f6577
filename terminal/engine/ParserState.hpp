#pragma once

#include <cstdint>

namespace corvix {

// The states of the escape-sequence machine. The raw value is also the low nibble of a
// transition-table entry, so the order is fixed.
enum class ParserState : uint8_t {
    ground = 0,
    escape = 1,
    escapeIntermediate = 2,
    csiEntry = 3,
    csiParam = 4,
    csiIntermediate = 5,
    csiIgnore = 6,
    sosPmApcString = 7,
    oscString = 8,
    apcString = 9,
    dcsEntry = 10,
    dcsParam = 11,
    dcsIgnore = 12,
    dcsIntermediate = 13,
    dcsPassthrough = 14,
};

const char* toString(ParserState state);

} // namespace corvix
