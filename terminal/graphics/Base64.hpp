#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace corvix {

// Standard Base64 (RFC 4648 alphabet, '=' padding) for the OSC commands that carry binary data.
struct Base64 {
    static std::string encode(std::span<const uint8_t> bytes);
    // Strict: the length is a multiple of four, padding only at the end, no whitespace or other
    // characters; nothing otherwise.
    static std::optional<std::vector<uint8_t>> decode(std::span<const uint8_t> text);
    // The number of bytes `decode` yields for well-formed text of this length and padding.
    static size_t decodedSize(std::span<const uint8_t> text);
};

} // namespace corvix
