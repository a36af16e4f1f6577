#pragma once

#include <cstdint>
#include <span>

namespace corvix {

// A consumer of one DCS string. The parser calls hook once, put with consecutive slices of the
// string's data (one per input chunk and one at the terminator), then unhook when the string
// ends. A string that is abandoned (SUB, a C1 control, an error, too much data) gets no unhook:
// the parser just drops the handler.
class DcsHandler {
public:
    virtual ~DcsHandler() = default;

    virtual void hook(std::span<const uint8_t> collect, std::span<const int32_t> parameters,
                      uint8_t flag) = 0;
    // The slice points into the caller's input and is valid only during the call.
    virtual void put(std::span<const uint8_t> data) = 0;
    virtual void unhook() = 0;
};

} // namespace corvix
