#pragma once

#include "terminal/selection/SearchEngine.hpp"
#include "terminal/selection/SearchLineCache.hpp"
#include "terminal/selection/SearchOptions.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvix {

class Terminal;

// What the last search looked for.
struct SearchState {
    std::optional<std::string> cachedSearchTerm;
    std::optional<SearchOptions> lastSearchOptions;
};

// The search front end of one terminal: remembers the last term, options, hit and selection,
// so that find next continues after the last hit and a changed term is refined where the last
// hit began. The view calls `invalidate()` when the buffer's content changes.
class SearchService {
public:
    explicit SearchService(Terminal& terminal);
    SearchService(const SearchService&) = delete;
    SearchService& operator=(const SearchService&) = delete;

    std::optional<SearchResult> findNext(std::string_view term, const SearchOptions& options = {});
    std::optional<SearchResult> findPrevious(std::string_view term, const SearchOptions& options = {});
    // Every hit in buffer order, at most `limit`; changes no state.
    std::vector<SearchResult> findAll(std::string_view term, const SearchOptions& options, int limit);
    void invalidate();
    void reset();

    Terminal& terminal;
    SearchState state;
    SearchLineCache lineCache;
    SearchEngine engine;
    std::optional<SearchSelection> lastSelection;
    std::optional<SearchResult> lastResult;

private:
    std::optional<SearchResult> find(std::string_view term, const SearchOptions& options, bool previous);
};

} // namespace corvix
