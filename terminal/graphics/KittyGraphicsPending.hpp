#pragma once

#include "terminal/graphics/KittyGraphicsControl.hpp"
#include "terminal/graphics/KittyGraphicsPayload.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace corvix {

// A chunked Kitty transfer in progress: the first chunk's keys govern the whole command, and the
// payload is gathered across chunks as base64 text.
struct KittyGraphicsPending {
    // The most base64 text that can still decode within the payload limit.
    static constexpr size_t kMaxBase64Length = (KittyGraphicsPayload::kMaxBytes + 2) / 3 * 4;
    // The text is held in blocks of this size: gathering never copies what it already holds, and
    // holds room for at most one block more than the text.
    static constexpr size_t kBlockBytes = size_t{1} << 20;

    KittyGraphicsControl control;
    // Only the base64 alphabet is kept: decoding skips everything else anyway. Every block but
    // the last is full.
    std::vector<std::vector<uint8_t>> blocks;
    size_t size = 0;
    // Set once the text would pass its limit: it is dropped, later chunks are swallowed, and the
    // transfer ends in one error.
    bool oversized = false;

    // Adds the chunk's base64 text; past `limit` bytes of text in all (never more than
    // kMaxBase64Length) the transfer is given up.
    void append(std::span<const uint8_t> chunk, size_t limit);
    // The text decoded (nothing when it is malformed base64), each block let go of once decoded:
    // the text is never held twice. The transfer is left empty.
    std::optional<std::vector<uint8_t>> takeDecoded();
    // The memory the text holds.
    size_t heldBytes() const;
};

} // namespace corvix
