#pragma once

#include <string>
#include <string_view>

namespace corvix {

// UTF-16 helpers for the text handed to regular expressions.
struct Utf16 {
    Utf16() = delete;
    // Appends a scalar as one unit or a surrogate pair; surrogates and values past U+10FFFF
    // append U+FFFD.
    static void append(std::u16string& out, char32_t scalar);
    // UTF-8 of UTF-16 text; an unpaired surrogate becomes U+FFFD.
    static std::string toUtf8(std::u16string_view text);
    static std::u16string fromUtf8(std::string_view text);
};

} // namespace corvix
