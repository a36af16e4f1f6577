#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <ranges>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace corvix {

// A 16-bit code naming a payload (a hyperlink) in its terminal's payload table; 0 names nothing.
// The code means something only to the table of the terminal whose cells carry it.
struct TinyAtom {
    uint16_t code = 0;

    friend bool operator==(const TinyAtom&, const TinyAtom&) = default;
};

// One terminal's payloads: each distinct value stored once under one code. Every terminal has
// its own table, so one terminal filling its codes leaves the others' links working.
// Codes 1...65534 are handed out fresh first; after that, released codes are handed out again.
// Owners release a code only once no cell refers to it any more.
class TinyAtomTable {
public:
    static constexpr uint16_t kLastCode = 65534;

    // `maxBytes` bounds the stored values' bytes together.
    explicit TinyAtomTable(size_t maxBytes = SIZE_MAX) : maxBytes_(maxBytes) {}
    TinyAtomTable(const TinyAtomTable&) = delete;
    TinyAtomTable& operator=(const TinyAtomTable&) = delete;

    // The value's code: the one it already has, else a new one; nothing while all codes are in
    // use or the value would pass the byte bound.
    std::optional<TinyAtom> lookup(std::string_view value);

    // The value stored under the code; null for code 0 or a released code.
    const std::string* target(uint16_t code) const;

    // Removes the entries of the given codes and makes the codes available again; 0 and absent
    // codes are skipped.
    void release(uint16_t code);
    template <std::ranges::input_range Codes>
    void release(const Codes& codes)
    {
        for (auto code : codes) release(static_cast<uint16_t>(code));
    }

    // Codes in use, and the bytes of their values.
    size_t count() const { return codeByValue_.size(); }
    size_t bytes() const { return bytes_; }
    // Every code in use, in no particular order.
    std::vector<uint16_t> codes() const;

private:
    size_t maxBytes_;
    size_t bytes_ = 0;
    uint16_t lastUsed_ = 0;
    std::unordered_map<std::string, uint16_t> codeByValue_;
    // Indexed by code; points at the key in `codeByValue_` (node keys do not move), null when free.
    std::vector<const std::string*> valueByCode_;
    std::vector<uint16_t> freeCodes_;
};

} // namespace corvix
