#include "terminal/graphics/RgbaBitmap.hpp"

namespace corvix {

void RgbaBitmap::premultiplyAlpha(std::span<uint8_t> rgba)
{
    for (size_t i = 0; i + 4 <= rgba.size(); i += 4) {
        const unsigned alpha = rgba[i + 3];
        if (alpha == 255) continue;
        for (size_t c = 0; c < 3; c++) rgba[i + c] = uint8_t((rgba[i + c] * alpha + 127) / 255);
    }
}

} // namespace corvix
