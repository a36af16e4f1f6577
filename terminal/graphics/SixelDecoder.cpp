#include "terminal/graphics/SixelDecoder.hpp"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstring>

namespace corvix {

namespace {

static_assert(SixelDecoder::kMaxExtent * SixelDecoder::kMaxExtent * 4 <= SixelDecoder::kMaxBitmapBytes,
              "the extent bound keeps every bitmap within the byte bound");

bool isDigit(uint8_t byte)
{
    return byte >= '0' && byte <= '9';
}

// The decimal number at data[pos], saturating (any larger count already breaks a bound); pos
// moves past its digits.
int64_t readNumber(std::span<const uint8_t> data, size_t& pos)
{
    int64_t value = 0;
    for (; pos < data.size() && isDigit(data[pos]); pos++)
        value = std::min<int64_t>(value * 10 + (data[pos] - '0'), INT32_MAX);
    return value;
}

// A percentage 0...100 as a byte, truncated: 100 -> 255, 50 -> 127.
uint32_t percentByte(int64_t percent)
{
    return uint32_t(std::clamp<int64_t>(percent, 0, 100) * 255 / 100);
}

} // namespace

void SixelDecoder::begin()
{
    data_.clear();
}

void SixelDecoder::put(std::span<const uint8_t> bytes)
{
    data_.insert(data_.end(), bytes.begin(), bytes.end());
}

template <typename OnColor, typename OnSixel>
void SixelDecoder::walk(OnColor&& onColor, OnSixel&& onSixel) const
{
    const std::span<const uint8_t> bytes(data_);
    size_t pos = size_t(std::find(bytes.begin(), bytes.end(), uint8_t('#')) - bytes.begin());
    int64_t x = 0;
    int64_t y = 0;
    int64_t repeat = 1;
    while (pos < bytes.size()) {
        const uint8_t byte = bytes[pos++];
        if (byte >= '?' && byte <= '~') {
            if (!onSixel(x, y, int(byte - '?'), repeat)) return;
            x += repeat;
            repeat = 1;
        } else if (byte == '#') {
            ColorCommand command;
            while (true) {
                size_t at = pos;
                if (at < bytes.size() && bytes[at] == ';') at++;
                if (at >= bytes.size() || !isDigit(bytes[at])) break;
                const int64_t value = readNumber(bytes, at);
                pos = at;
                if (at >= bytes.size()) break; // a number cut off by the end of the data counts for nothing
                if (command.count < command.numbers.size()) command.numbers[command.count++] = value;
            }
            if (command.count == 0) return;
            repeat = 1;
            onColor(command);
        } else if (byte == '!') {
            if (pos < bytes.size() && isDigit(bytes[pos])) repeat = readNumber(bytes, pos);
        } else if (byte == '$') {
            x = 0;
        } else if (byte == '-') {
            x = 0;
            y += 6;
        }
    }
}

bool SixelDecoder::measure()
{
    maxX_ = 0;
    maxY_ = 0;
    int64_t painted = 0;
    bool fits = true;
    walk([](const ColorCommand&) {},
         [&](int64_t x, int64_t y, int bits, int64_t count) {
             if (count == 0) return true;
             maxX_ = std::max(maxX_, x + count);
             if (bits != 0) {
                 maxY_ = std::max(maxY_, y + std::bit_width(unsigned(bits)));
                 painted += count * std::popcount(unsigned(bits));
             }
             fits = maxX_ <= kMaxExtent && maxY_ <= kMaxExtent && painted <= kMaxPaintedPixels;
             return fits;
         });
    return fits;
}

bool SixelDecoder::decode(std::span<const Color> defaultColors)
{
    palette_.clear();
    pixels_.clear();
    // An image past a bound is dropped before its bitmap exists.
    if (!measure()) return false;
    pixels_.assign(size_t(maxX_ * maxY_ * 4), 0);
    uint32_t color = 0;
    walk(
        [&](const ColorCommand& command) {
            if (command.count == command.numbers.size()) updatePaletteEntry(command);
            color = registerColor(command.numbers[0], defaultColors);
        },
        [&](int64_t x, int64_t y, int bits, int64_t count) {
            const uint8_t word[4] = {uint8_t(color >> 24), uint8_t(color >> 16), uint8_t(color >> 8), uint8_t(color)};
            for (int k = 0; k < 6; k++) {
                if ((bits & (1 << k)) == 0) continue;
                uint8_t* at = pixels_.data() + size_t(((y + k) * maxX_ + x) * 4);
                for (int64_t i = 0; i < count; i++, at += 4) std::memcpy(at, word, 4);
            }
            return true;
        });
    return true;
}

void SixelDecoder::updatePaletteEntry(const ColorCommand& command)
{
    const auto& [index, space, px, py, pz] = command.numbers;
    uint32_t word = 0;
    if (space == 2) {
        word = percentByte(px) << 24 | percentByte(py) << 16 | percentByte(pz) << 8 | 255;
    } else if (space == 1) {
        word = hlsToRgb(std::clamp<int64_t>(px, 0, 360), std::clamp<int64_t>(py, 0, 100),
                          std::clamp<int64_t>(pz, 0, 100)) << 8 | 255;
    } else {
        return;
    }
    if (palette_.size() >= kMaxColorRegisters && !palette_.contains(index)) return;
    palette_[index] = word;
}

uint32_t SixelDecoder::registerColor(int64_t index, std::span<const Color> defaultColors) const
{
    if (const auto found = palette_.find(index); found != palette_.end()) return found->second;
    // Undefined registers take the generated palette_, not the one the program may have changed.
    if (index >= 0 && index < int64_t(defaultColors.size())) {
        const Color& c = defaultColors[size_t(index)];
        return uint32_t(c.red >> 8) << 24 | uint32_t(c.green >> 8) << 16 | uint32_t(c.blue >> 8) << 8 | 255;
    }
    return 0;
}

uint32_t SixelDecoder::hlsToRgb(int64_t hue, int64_t lum, int64_t sat)
{
    if (sat == 0) {
        const uint32_t grey = percentByte(lum);
        return grey << 16 | grey << 8 | grey;
    }
    // Sixel hues start at blue: 0 blue, 120 red, 240 green.
    const int64_t h = (hue + 240) % 360;
    const double chroma = (1.0 - std::abs(2.0 * double(lum) / 100.0 - 1.0)) * double(sat);
    const double high = double(lum) + chroma / 2;
    const double low = double(lum) - chroma / 2;
    const double range = high - low;
    const double f = double(h);
    double r = low;
    double g = low;
    double b = low;
    switch (h / 60) {
    case 0: r = high; g = low + f / 60 * range; break;
    case 1: r = low + (120 - f) / 60 * range; g = high; break;
    case 2: g = high; b = low + (f - 120) / 60 * range; break;
    case 3: g = low + (240 - f) / 60 * range; b = high; break;
    case 4: r = low + (f - 240) / 60 * range; b = high; break;
    default: r = high; b = low + (360 - f) / 60 * range; break;
    }
    const auto channel = [](double percent) { return percentByte(int64_t(percent)); };
    return channel(r) << 16 | channel(g) << 8 | channel(b);
}

} // namespace corvix
