#include "terminal/screen/CharData.hpp"

#include "terminal/screen/Log.hpp"

namespace corvix {

namespace {

bool isScalar(int32_t code)
{
    return code >= 0 && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
}

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

void CharData::setValue(int32_t newCode, int size)
{
    log::check(size >= -128 && size <= 127, "CharData.setValue: size out of range");
    code = newCode;
    width = static_cast<int8_t>(size);
}

char32_t CharData::getCharacter() const
{
    return isScalar(code) ? static_cast<char32_t>(code) : U' ';
}

void CharData::appendCharacter(std::string& out) const
{
    appendUtf8(out, getCharacter());
}

std::string CharData::debugDescription() const
{
    std::string out = "CharData: " + std::to_string(code) + " ";
    if (isScalar(code)) {
        appendUtf8(out, static_cast<char32_t>(code));
    } else {
        out += '?';
    }
    return out;
}

} // namespace corvix
