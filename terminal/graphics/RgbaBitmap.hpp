#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace corvix {

// Decoded pixels: width x height x 4 bytes (red, green, blue, alpha), rows top to bottom, colour
// premultiplied by alpha. Every image that leaves the graphics code uses this one convention.
struct RgbaBitmap {
    std::vector<uint8_t> bytes;
    int width = 0;
    int height = 0;

    // Turns straight-alpha pixels into premultiplied ones in place; a trailing partial pixel is
    // left alone.
    static void premultiplyAlpha(std::span<uint8_t> rgba);
};

} // namespace corvix
