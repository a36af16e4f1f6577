#include "terminal/graphics/Base64.hpp"

#include <array>

namespace corvix {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr uint8_t kInvalid = 0xFF;

constexpr std::array<uint8_t, 256> kValues = [] {
    std::array<uint8_t, 256> t{};
    t.fill(kInvalid);
    for (uint8_t i = 0; i < 64; i++) t[uint8_t(kAlphabet[i])] = i;
    return t;
}();

size_t paddingOf(std::span<const uint8_t> text)
{
    size_t pad = 0;
    while (pad < 2 && pad < text.size() && text[text.size() - 1 - pad] == '=') pad++;
    return pad;
}

} // namespace

std::string Base64::encode(std::span<const uint8_t> bytes)
{
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const uint32_t v = uint32_t(bytes[i]) << 16 | uint32_t(bytes[i + 1]) << 8 | bytes[i + 2];
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    const size_t left = bytes.size() - i;
    if (left > 0) {
        uint32_t v = uint32_t(bytes[i]) << 16;
        if (left == 2) v |= uint32_t(bytes[i + 1]) << 8;
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += left == 2 ? kAlphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

size_t Base64::decodedSize(std::span<const uint8_t> text)
{
    const size_t full = text.size() / 4 * 3;
    const size_t pad = paddingOf(text);
    return pad > full ? 0 : full - pad;
}

std::optional<std::vector<uint8_t>> Base64::decode(std::span<const uint8_t> text)
{
    if (text.size() % 4 != 0) return std::nullopt;
    const size_t pad = paddingOf(text);
    std::vector<uint8_t> out;
    out.reserve(decodedSize(text));
    const size_t dataLength = text.size() - pad;
    uint32_t acc = 0;
    int bits = 0;
    for (size_t i = 0; i < dataLength; i++) {
        const uint8_t v = kValues[text[i]];
        if (v == kInvalid) return std::nullopt;
        acc = (acc << 6 | v) & 0xFFFFFF;
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(uint8_t(acc >> bits));
        }
    }
    return out;
}

} // namespace corvix
