#include "terminal/selection/SearchService.hpp"

#include "terminal/engine/Terminal.hpp"

#include <algorithm>

namespace corvix {

SearchService::SearchService(Terminal& terminal) : terminal(terminal), lineCache(terminal), engine(terminal, lineCache)
{
}

std::optional<SearchResult> SearchService::findNext(std::string_view term, const SearchOptions& options)
{
    return find(term, options, false);
}

std::optional<SearchResult> SearchService::findPrevious(std::string_view term, const SearchOptions& options)
{
    return find(term, options, true);
}

std::optional<SearchResult> SearchService::find(std::string_view term, const SearchOptions& options, bool previous)
{
    if (term.empty()) {
        lastResult.reset();
        lastSelection.reset();
        state = {};
        return std::nullopt;
    }
    state.lastSearchOptions = options;
    auto result = previous ? engine.findPreviousWithSelection(term, options, state.cachedSearchTerm, lastSelection)
                           : engine.findNextWithSelection(term, options, state.cachedSearchTerm, lastSelection);
    state.cachedSearchTerm = std::string(term);
    lastResult = result;
    if (!result) {
        lastSelection.reset();
        return result;
    }
    Position start{result->col, result->row};
    Position end = start;
    if (result->size >= 1) {
        // One past the hit in reading order, on a following row when it runs past its own.
        const int64_t w = std::max(terminal.cols, 1);
        const int64_t p = int64_t(result->row) * w + result->col + result->size;
        end = {int(p % w), int(p / w)};
    }
    lastSelection = SearchSelection{start, end};
    return result;
}

std::vector<SearchResult> SearchService::findAll(std::string_view term, const SearchOptions& options, int limit)
{
    return engine.findAll(term, options, limit);
}

void SearchService::invalidate()
{
    lineCache.clear();
    lastResult.reset();
    lastSelection.reset();
}

void SearchService::reset()
{
    invalidate();
    state = {};
}

} // namespace corvix
