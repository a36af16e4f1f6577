#pragma once

#include <any>
#include <cstdint>
#include <mutex>
#include <optional>
#include <ranges>
#include <unordered_map>

namespace corvix {

// A 16-bit code naming a payload (a hyperlink) in the process-wide payload table; 0 names nothing.
// Codes run 1...65534 over the life of the process and are never handed out twice, so a stale
// code in an old cell can never point at someone else's payload.
struct TinyAtom {
    uint16_t code = 0;

    // Stores the value under a new code; nothing once all 65534 codes have been handed out.
    static std::optional<TinyAtom> lookup(std::any value);

    // The value stored under the code; an empty `std::any` for code 0 or a released code.
    std::any target() const;

    // Removes the entries of the given codes; 0 and absent codes are skipped.
    static void release(uint16_t code);
    template <std::ranges::input_range Codes>
    static void release(const Codes& codes)
    {
        std::lock_guard guard(lock());
        for (auto code : codes) {
            if (code != 0) {
                map().erase(static_cast<uint16_t>(code));
            }
        }
    }
    void release() const { release(code); }

    // Tests only: empties the table and starts the codes again at 1.
    static void resetForTesting();

    friend bool operator==(const TinyAtom&, const TinyAtom&) = default;

private:
    static std::mutex& lock();
    static std::unordered_map<uint16_t, std::any>& map();
};

} // namespace corvix
