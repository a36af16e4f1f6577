#pragma once

#include "terminal/graphics/RgbaBitmap.hpp"

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace corvix {

// The image of a Kitty graphics command once loaded: a PNG file kept encoded, or RGBA pixels.
struct KittyGraphicsPayload {
    // The largest payload at every stage: decoded base64, inflated data, a file or shared-memory
    // object read, and the default read length of a file.
    static constexpr size_t kMaxBytes = 419'430'400;
    // Sides of a raw or PNG image: 1 to this many pixels.
    static constexpr int kMaxSide = 10'000;

    enum class Kind : uint8_t { png, rgba };

    Kind kind = Kind::rgba;
    // png: the file as received; rgba: width x height x 4 bytes, premultiplied (RgbaBitmap).
    std::vector<uint8_t> bytes;
    // Pixel size of rgba; 0 for png (read it from the file).
    int width = 0;
    int height = 0;

    static KittyGraphicsPayload png(std::vector<uint8_t> data) { return {Kind::png, std::move(data), 0, 0}; }
    static KittyGraphicsPayload rgba(RgbaBitmap bitmap)
    {
        return {Kind::rgba, std::move(bitmap.bytes), bitmap.width, bitmap.height};
    }

    // What the image store counts: the encoded length of a PNG, the pixel bytes of RGBA.
    size_t byteSize() const { return bytes.size(); }

    friend bool operator==(const KittyGraphicsPayload&, const KittyGraphicsPayload&) = default;
};

} // namespace corvix
