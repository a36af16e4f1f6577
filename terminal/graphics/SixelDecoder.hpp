#pragma once

#include "terminal/screen/Color.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

namespace corvix {

// Decodes one Sixel string (the data of DCS ... q ... ST) into an RGBA bitmap. The whole string
// is gathered first; decoding then measures the image in one pass so that the bitmap is
// allocated once, at its final size, and paints it in a second. The engine's DCS handler feeds
// it and hands the bitmap on.
class SixelDecoder {
public:
    // Images past these are dropped before any pixel memory is taken.
    static constexpr int64_t kMaxExtent = 10'000;
    static constexpr int64_t kMaxBitmapBytes = 400 * 1024 * 1024;
    // Pixel writes one string may cost: a repeat count redraws the same pixels as often as it
    // likes, so the work, not only the size, needs a bound.
    static constexpr int64_t kMaxPaintedPixels = int64_t{1} << 30;
    // Distinct colour registers one string may define; later new ones are ignored.
    static constexpr size_t kMaxColorRegisters = 65'536;

    // A new string starts: what was gathered goes. Aspect ratio, background selection and grid
    // size do not change how the image is drawn, so the string's parameters are not needed.
    void begin();
    void put(std::span<const uint8_t> bytes);
    // Decodes the gathered string; registers it does not define take `defaultColors` (the
    // generated palette). False when the image passes a bound: nothing was drawn.
    bool decode(std::span<const Color> defaultColors);

    // The bitmap of the last successful decode, width x height RGBA pixels.
    std::vector<uint8_t>& pixels() { return pixels_; }
    int width() const { return int(maxX_); }
    int height() const { return int(maxY_); }

private:
    // The numbers of one colour command: register, colour space, three components.
    struct ColorCommand {
        std::array<int64_t, 5> numbers{};
        size_t count = 0;
    };

    // Walks the data from its first '#', calling onColor(ColorCommand) for each colour command
    // and onSixel(x, y, bits, count) for each sixel with its repeat count, which returns false to
    // stop. Stops by itself at a '#' without a number.
    template <typename OnColor, typename OnSixel>
    void walk(OnColor&& onColor, OnSixel&& onSixel) const;
    // The image size; false when it passes a bound.
    bool measure();
    void updatePaletteEntry(const ColorCommand& command);
    // The colour of register `index`: defined by this string, else from the default palette,
    // else transparent.
    uint32_t registerColor(int64_t index, std::span<const Color> defaultColors) const;
    static uint32_t hlsToRgb(int64_t hue, int64_t lum, int64_t sat);

    std::vector<uint8_t> data_;
    // Register -> red << 24 | green << 16 | blue << 8 | alpha.
    std::unordered_map<int64_t, uint32_t> palette_;
    std::vector<uint8_t> pixels_;
    int64_t maxX_ = 0;
    int64_t maxY_ = 0;
};

} // namespace corvix
