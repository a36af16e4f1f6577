#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

namespace corvix {

// A compiled ICU regular expression over UTF-16 text. Compiled once, matched many times; every
// match operation gets a bounded amount of work, so a pathological pattern or line gives up
// (as "no further match") instead of hanging the caller.
class Regex {
public:
    enum Option : unsigned { kCaseInsensitive = 1u, kLiteral = 2u };

    // A match as UTF-16 offsets into the text, end exclusive.
    struct Match {
        int32_t start = 0;
        int32_t end = 0;
        friend bool operator==(const Match&, const Match&) = default;
    };

    // The default work allowed for one match operation, in units of ICU's time limit (which
    // counts steps of the match engine, not wall time: the same input always gives the same
    // answer). About 5 ms of work.
    static constexpr int32_t kWorkLimit = 50;

    // The compiled pattern, or nothing when it does not compile.
    static std::shared_ptr<const Regex> compile(std::u16string_view pattern, unsigned options = 0,
                                                int32_t workLimit = kWorkLimit);

    ~Regex();
    Regex(const Regex&) = delete;
    Regex& operator=(const Regex&) = delete;

    // Calls `visit` for each successive match inside text[from, to) until it returns false.
    // Look-around and anchors see only that range. Stops when the work limit runs out.
    void forEachMatch(std::u16string_view text, int32_t from, int32_t to,
                      const std::function<bool(Match)>& visit) const;
    // The first match inside text[from, to) that starts at `from` or later.
    std::optional<Match> firstMatch(std::u16string_view text, int32_t from, int32_t to) const;

private:
    struct Impl; // holds the ICU pattern, kept out of this header
    Regex(std::unique_ptr<Impl> impl, int32_t workLimit);
    std::unique_ptr<Impl> impl_;
    int32_t workLimit_;
};

} // namespace corvix
