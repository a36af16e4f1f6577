#pragma once

#include "terminal/graphics/GraphicsCodec.hpp"

namespace corvix {

// GraphicsCodec over zlib and libpng.
class ZlibPngCodec final : public GraphicsCodec {
public:
    std::optional<std::vector<uint8_t>> inflate(std::span<const uint8_t> data, size_t maxOutput,
                                                bool reserveAll = false) const override;
    std::optional<std::vector<uint8_t>> inflatePrefix(std::span<const uint8_t> data, size_t length) const override;
    std::optional<std::pair<int, int>> pngSize(std::span<const uint8_t> png) const override;
    std::optional<RgbaBitmap> decodePng(std::span<const uint8_t> png, int maxSide) const override;
};

} // namespace corvix
