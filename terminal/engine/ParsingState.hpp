#pragma once

#include "terminal/engine/ParserState.hpp"

#include <cstdint>
#include <span>

namespace corvix {

// What the parser tells its error handler about an offending byte. The byte views point into
// the parser and are valid only during the call.
struct ParsingState {
    int64_t position = 0;            // index of the offending byte in the chunk
    uint8_t code = 0;                // the byte
    ParserState currentState = ParserState::ground;
    int64_t print = -1;              // start of the pending print run, -1 when none
    int64_t dcs = -1;                // start of the pending DCS data, -1 when none
    std::span<const uint8_t> osc;
    std::span<const uint8_t> apc;
    std::span<const uint8_t> collect;
    std::span<const int32_t> parameters; // always handed over empty
    bool abort = false;              // set by the handler to stop parsing the chunk
};

} // namespace corvix
