#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvix {

class Terminal;

// The joined texts of the logical lines of a terminal's current buffer, one entry per starting
// row, built lazily and kept while the buffer's line count holds (and for at most 15 seconds
// of idleness), so repeated searches do not rebuild them.
class SearchLineCache {
public:
    struct Entry {
        // The logical line as UTF-16: one character per cell (wide characters once).
        std::u16string lineAsString;
        // The character offset at which each row of the line starts (the first is 0).
        std::vector<int> offsets;
        // The UTF-16 offset of each character, plus the text's length at the end.
        std::vector<int32_t> charStarts;
        int characterCount() const { return int(charStarts.size()) - 1; }
    };

    static constexpr double kIdleSeconds = 15.0;

    explicit SearchLineCache(Terminal& terminal) : terminal(terminal) {}

    // Makes the cache valid for the current buffer: kept when recent and of the right length,
    // else replaced by empty entries.
    void initLinesCache();
    Entry translateBufferLineToStringWithWrap(int lineIndex, bool trimRight) const;
    // Stores an entry for a row inside the cache; does nothing otherwise.
    void setLineInCache(int row, Entry entry);
    // The cached entry of a row, or null.
    const Entry* cachedLine(int row) const;
    // Drops every text (the next `initLinesCache` rebuilds).
    void clear();

    Terminal& terminal;
    std::optional<std::vector<std::optional<Entry>>> linesCache;
    // Seconds on the monotonic clock at the last `initLinesCache`.
    double lastAccessTimestamp = 0;
};

} // namespace corvix
