#pragma once

#include <any>
#include <cstdint>
#include <mutex>
#include <optional>
#include <ranges>
#include <unordered_map>
#include <vector>

namespace corvix {

// A 16-bit code naming a payload (a hyperlink) in the process-wide payload table; 0 names nothing.
// Codes 1...65534 are handed out fresh first; after that, released codes are handed out again, so
// a long session never runs out. Owners release a code only once no cell refers to it any more.
struct TinyAtom {
    uint16_t code = 0;

    // Stores the value under a new code; nothing while all 65534 codes are in use.
    static std::optional<TinyAtom> lookup(std::any value);

    // The value stored under the code; an empty `std::any` for code 0 or a released code.
    std::any target() const;

    // Removes the entries of the given codes and makes the codes available again; 0 and absent
    // codes are skipped.
    static void release(uint16_t code);
    template <std::ranges::input_range Codes>
    static void release(const Codes& codes)
    {
        std::lock_guard guard(lock());
        for (auto code : codes) {
            releaseLocked(static_cast<uint16_t>(code));
        }
    }
    void release() const { release(code); }

    // Tests only: empties the table, forgets released codes and starts the codes again at 1.
    static void resetForTesting();

    friend bool operator==(const TinyAtom&, const TinyAtom&) = default;

private:
    static std::mutex& lock();
    static std::unordered_map<uint16_t, std::any>& map();
    static std::vector<uint16_t>& freeCodes();
    static void releaseLocked(uint16_t code);
};

} // namespace corvix
