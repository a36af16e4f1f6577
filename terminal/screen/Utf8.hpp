#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace corvix {

// UTF-8 helpers for whole strings. Malformed input decodes to one U+FFFD per maximal subpart
// (the longest prefix of a well-formed sequence, or one byte when none), as the Unicode
// standard recommends, so decoding never loses the bytes that follow a bad sequence.
struct Utf8 {
    Utf8() = delete;

    static constexpr char32_t kReplacement = 0xFFFD;

    // Decodes the scalar starting at text[pos] and moves pos past it (or past the maximal
    // subpart, giving U+FFFD). pos must be below text.size().
    static char32_t decodeNext(std::string_view text, size_t& pos) noexcept;

    static std::u32string decode(std::string_view text);

    // Appends the UTF-8 form of a scalar; surrogates and values past U+10FFFF append U+FFFD.
    static void append(std::string& out, char32_t scalar);

    static std::string encode(std::u32string_view scalars);

    // True when the text is well-formed UTF-8 (no surrogates, overlongs or values past U+10FFFF).
    static bool isValid(std::string_view text) noexcept;
};

} // namespace corvix
