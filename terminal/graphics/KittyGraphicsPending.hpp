#pragma once

#include "terminal/graphics/KittyGraphicsControl.hpp"
#include "terminal/graphics/KittyGraphicsPayload.hpp"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace corvix {

// A chunked Kitty transfer in progress: the first chunk's keys govern the whole command, and the
// payload is gathered across chunks as base64 text.
struct KittyGraphicsPending {
    // The most base64 text that can still decode within the payload limit.
    static constexpr size_t kMaxBase64Length = (KittyGraphicsPayload::kMaxBytes + 2) / 3 * 4;

    KittyGraphicsControl control;
    // Only the base64 alphabet is kept: decoding skips everything else anyway.
    std::vector<uint8_t> base64Payload;
    // Set once the text passed kMaxBase64Length: it is dropped, later chunks are swallowed, and
    // the transfer ends in one error.
    bool oversized = false;

    void append(std::span<const uint8_t> chunk);
};

} // namespace corvix
