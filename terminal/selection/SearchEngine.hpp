#pragma once

#include "terminal/screen/Position.hpp"
#include "terminal/selection/SearchLineCache.hpp"
#include "terminal/selection/SearchOptions.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvix {

class Regex;
class Terminal;

// A hit: the matched text, its first cell and its length in columns (which may run past the
// end of the row onto the rows that continue it).
struct SearchResult {
    std::string term;
    int col = 0;
    int row = 0;
    int size = 0;
    friend bool operator==(const SearchResult&, const SearchResult&) = default;
};

struct SearchSelection {
    Position start;
    Position end;
    friend bool operator==(const SearchSelection&, const SearchSelection&) = default;
};

// Finds a term in a terminal's current buffer one logical line at a time (a row and the rows
// that continue it by soft wrap), as a literal or an ICU regular expression, and maps hits
// back to buffer cells.
class SearchEngine {
public:
    // The space and the ASCII punctuation except "_".
    static const std::u16string& defaultNonWordCharacters();

    SearchEngine(Terminal& terminal, SearchLineCache& lineCache,
                 std::u16string nonWordCharacters = defaultNonWordCharacters())
        : terminal(terminal), lineCache(lineCache), nonWordCharacters(std::move(nonWordCharacters))
    {
    }

    std::optional<SearchResult> findNextWithSelection(std::string_view term, const SearchOptions& searchOptions,
                                                      const std::optional<std::string>& cachedSearchTerm,
                                                      const std::optional<SearchSelection>& previousSelection);
    std::optional<SearchResult> findPreviousWithSelection(std::string_view term, const SearchOptions& searchOptions,
                                                          const std::optional<std::string>& cachedSearchTerm,
                                                          const std::optional<SearchSelection>& previousSelection);
    // Every hit in buffer order, at most `limit`; each logical line is searched in one pass.
    std::vector<SearchResult> findAll(std::string_view term, const SearchOptions& searchOptions, int limit);
    Terminal& terminal;
    SearchLineCache& lineCache;
    std::u16string nonWordCharacters;

private:
    using Hit = std::pair<int, int>; // character offset and length
    std::optional<SearchResult> findInLine(std::string_view term, Position searchPosition,
                                           const SearchOptions& searchOptions, bool isReverseSearch);
    const Regex* pattern(std::string_view term, const SearchOptions& options);
    const SearchLineCache::Entry& line(int row);
    bool startsLine(int row);
    Position lineStart(Position position);
    // Calls `visit` for each non-empty hit inside characters [from, to) of the line, in order,
    // until it returns false. Whole-word search skips the hits that are not whole words and
    // keeps looking. `overlapping` also reports hits that start inside an earlier hit.
    void forEachHit(const Regex& regex, const SearchLineCache::Entry& entry, int from, int to, bool wholeWord,
                    bool overlapping, const std::function<bool(Hit)>& visit) const;
    bool isWholeWord(int searchIndex, const SearchLineCache::Entry& line, int length) const;
    bool isNonWordCharacter(const SearchLineCache::Entry& line, int index) const;
    int bufferColsToStringOffset(int startRow, int cols);
    int stringLengthToBufferSize(int row, int offset);
    SearchResult makeResult(int row, const SearchLineCache::Entry& entry, Hit hit, std::string_view term,
                            const SearchOptions& options);

    // The last compiled pattern and what it was compiled from.
    std::shared_ptr<const Regex> pattern_;
    std::string patternTerm_;
    unsigned patternFlags_ = 0;
    bool patternValid_ = false;
    SearchLineCache::Entry scratch_;
};

} // namespace corvix
