#include "terminal/screen/Utf16.hpp"

#include "terminal/screen/Utf8.hpp"

namespace corvix {

void Utf16::append(std::u16string& out, char32_t scalar)
{
    if (scalar > 0x10FFFF || (scalar >= 0xD800 && scalar <= 0xDFFF)) scalar = 0xFFFD;
    if (scalar < 0x10000) {
        out += char16_t(scalar);
        return;
    }
    scalar -= 0x10000;
    out += char16_t(0xD800 + (scalar >> 10));
    out += char16_t(0xDC00 + (scalar & 0x3FF));
}

std::string Utf16::toUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t u = text[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            u = 0x10000 + ((u - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        Utf8::append(out, u);
    }
    return out;
}

std::u16string Utf16::fromUtf8(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (size_t pos = 0; pos < text.size();) append(out, Utf8::decodeNext(text, pos));
    return out;
}

} // namespace corvix
