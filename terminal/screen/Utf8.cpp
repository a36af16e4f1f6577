#include "terminal/screen/Utf8.hpp"

#include <cstdint>

namespace corvix {

char32_t Utf8::decodeNext(std::string_view text, size_t& pos) noexcept
{
    auto byte = [&](size_t i) { return uint8_t(text[i]); };
    uint8_t lead = byte(pos);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    // Length and the allowed range of the second byte; the narrowed ranges after E0, ED, F0
    // and F4 exclude overlongs, surrogates and values past U+10FFFF.
    int length;
    uint8_t low = 0x80;
    uint8_t high = 0xBF;
    char32_t value;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        ++pos;
        return kReplacement;
    }
    size_t i = pos + 1;
    for (int k = 1; k < length; ++k, ++i) {
        if (i >= text.size() || byte(i) < low || byte(i) > high) {
            pos = i;
            return kReplacement;
        }
        value = (value << 6) | (byte(i) & 0x3F);
        low = 0x80;
        high = 0xBF;
    }
    pos = i;
    return value;
}

std::u32string Utf8::decode(std::string_view text)
{
    std::u32string out;
    out.reserve(text.size());
    for (size_t pos = 0; pos < text.size();) out.push_back(decodeNext(text, pos));
    return out;
}

void Utf8::append(std::string& out, char32_t scalar)
{
    if (scalar > 0x10FFFF || (scalar >= 0xD800 && scalar <= 0xDFFF)) scalar = kReplacement;
    if (scalar < 0x80) {
        out.push_back(char(scalar));
    } else if (scalar < 0x800) {
        out.push_back(char(0xC0 | (scalar >> 6)));
        out.push_back(char(0x80 | (scalar & 0x3F)));
    } else if (scalar < 0x10000) {
        out.push_back(char(0xE0 | (scalar >> 12)));
        out.push_back(char(0x80 | ((scalar >> 6) & 0x3F)));
        out.push_back(char(0x80 | (scalar & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (scalar >> 18)));
        out.push_back(char(0x80 | ((scalar >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((scalar >> 6) & 0x3F)));
        out.push_back(char(0x80 | (scalar & 0x3F)));
    }
}

std::string Utf8::encode(std::u32string_view scalars)
{
    std::string out;
    out.reserve(scalars.size());
    for (char32_t c : scalars) append(out, c);
    return out;
}

bool Utf8::isValid(std::string_view text) noexcept
{
    for (size_t pos = 0; pos < text.size();) {
        size_t start = pos;
        // U+FFFD itself is valid; only a replacement made for bad bytes spans other bytes.
        if (decodeNext(text, pos) == kReplacement &&
            text.substr(start, pos - start) != "\xEF\xBF\xBD") {
            return false;
        }
    }
    return true;
}

} // namespace corvix
