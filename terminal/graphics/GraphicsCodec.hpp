#pragma once

#include "terminal/graphics/RgbaBitmap.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace corvix {

// The compression and image libraries the inline graphics need, behind one small interface so
// that the protocol code never sees a library type.
class GraphicsCodec {
public:
    virtual ~GraphicsCodec() = default;

    // Inflates a zlib stream (RFC 1950) when the data starts with a valid zlib header, a raw
    // DEFLATE stream otherwise. Nothing on a decoder error, on input that ends before the stream
    // does, or as soon as the output passes `maxOutput` bytes (decoding stops there, one byte
    // past). The output never holds room for more than that one byte past `maxOutput`; with
    // `reserveAll` that room is taken at once (for output whose size is known), otherwise it grows.
    virtual std::optional<std::vector<uint8_t>> inflate(std::span<const uint8_t> data, size_t maxOutput,
                                                        bool reserveAll = false) const = 0;
    // The first `length` bytes the stream inflates to (fewer when it ends before), without
    // looking further; nothing on a decoder error or input cut short before them.
    virtual std::optional<std::vector<uint8_t>> inflatePrefix(std::span<const uint8_t> data, size_t length) const = 0;
    // (width, height) from a PNG header, unbounded; nothing when the data is not a PNG.
    virtual std::optional<std::pair<int, int>> pngSize(std::span<const uint8_t> png) const = 0;
    // The whole PNG decoded to premultiplied RGBA; nothing when it does not decode or when a side
    // is below 1 or above `maxSide` (checked before any pixel memory is taken).
    virtual std::optional<RgbaBitmap> decodePng(std::span<const uint8_t> png, int maxSide) const = 0;

    // The zlib + libpng implementation, shared by every terminal.
    static const GraphicsCodec& standard();
};

} // namespace corvix
