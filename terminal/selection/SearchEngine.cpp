#include "terminal/selection/SearchEngine.hpp"

#include "terminal/engine/Terminal.hpp"
#include "terminal/engine/Regex.hpp"
#include "terminal/screen/Utf16.hpp"

#include <algorithm>
#include <climits>

namespace corvix {

const std::u16string& SearchEngine::defaultNonWordCharacters()
{
    static const std::u16string characters = u" ~!#$%^&*()+-=[]{}|;:,./<>?@`\\\"'";
    return characters;
}

const Regex* SearchEngine::pattern(std::string_view term, const SearchOptions& options)
{
    unsigned flags = (options.caseSensitive ? 0u : unsigned(Regex::kCaseInsensitive)) |
                     (options.regex ? 0u : unsigned(Regex::kLiteral));
    if (!patternValid_ || patternTerm_ != term || patternFlags_ != flags) {
        pattern_ = Regex::compile(Utf16::fromUtf8(term), flags);
        patternTerm_ = term;
        patternFlags_ = flags;
        patternValid_ = true;
    }
    return pattern_.get();
}

const SearchLineCache::Entry& SearchEngine::line(int row)
{
    if (const auto* cached = lineCache.cachedLine(row)) return *cached;
    lineCache.setLineInCache(row, lineCache.translateBufferLineToStringWithWrap(row, true));
    if (const auto* cached = lineCache.cachedLine(row)) return *cached;
    // Outside the cache (it was not validated for this buffer): keep the text here.
    scratch_ = lineCache.translateBufferLineToStringWithWrap(row, true);
    return scratch_;
}

bool SearchEngine::isNonWordCharacter(const SearchLineCache::Entry& line, int index) const
{
    int32_t from = line.charStarts[size_t(index)];
    int32_t to = line.charStarts[size_t(index) + 1];
    return to - from == 1 && nonWordCharacters.find(line.lineAsString[size_t(from)]) != std::u16string::npos;
}

bool SearchEngine::isWholeWord(int searchIndex, const SearchLineCache::Entry& line, int length) const
{
    if (searchIndex >= 1 && !isNonWordCharacter(line, searchIndex - 1)) return false;
    int after = searchIndex + length;
    return after >= line.characterCount() || isNonWordCharacter(line, after);
}

void SearchEngine::forEachHit(const Regex& regex, const SearchLineCache::Entry& entry, int from, int to,
                              bool wholeWord, bool overlapping, const std::function<bool(Hit)>& visit) const
{
    const auto& starts = entry.charStarts;
    // UTF-16 bounds to characters (cells), widened to whole characters.
    auto toHit = [&](Regex::Match m) -> Hit {
        int first = int(std::upper_bound(starts.begin(), starts.end(), m.start) - starts.begin()) - 1;
        int end = int(std::lower_bound(starts.begin(), starts.end(), m.end) - starts.begin());
        return {first, end - first};
    };
    auto accept = [&](Regex::Match m, bool& more) {
        if (m.end <= m.start) return;
        Hit hit = toHit(m);
        if (wholeWord && !isWholeWord(hit.first, entry, hit.second)) return;
        more = visit(hit);
    };
    const int32_t begin = starts[size_t(from)];
    const int32_t end = starts[size_t(to)];
    if (!overlapping) {
        regex.forEachMatch(entry.lineAsString, begin, end, [&](Regex::Match m) {
            bool more = true;
            accept(m, more);
            return more;
        });
        return;
    }
    for (int index = from; index < to;) {
        auto m = regex.firstMatch(entry.lineAsString, starts[size_t(index)], end);
        if (!m) return;
        bool more = true;
        accept(*m, more);
        if (!more) return;
        index = toHit(*m).first + 1;
    }
}

int SearchEngine::bufferColsToStringOffset(int startRow, int cols)
{
    auto& lines = terminal.buffer().lines();
    const int n = lines.count();
    int offset = 0;
    int remaining = cols;
    int row = startRow;
    while (remaining >= 1 && row >= 0 && row < n) {
        const BufferLine& line = lines[row];
        int cells = std::min({terminal.cols, remaining, line.count()});
        for (int c = 0; c < cells; ++c)
            if (line[c].width >= 1) ++offset;
        ++row;
        if (row >= n || !lines[row].isWrapped()) break;
        remaining -= terminal.cols;
    }
    return offset;
}

int SearchEngine::stringLengthToBufferSize(int row, int offset)
{
    auto& lines = terminal.buffer().lines();
    if (row < 0 || row >= lines.count() || offset == 0) return 0;
    if (offset < 1) return offset;
    const BufferLine& line = lines[row];
    int size = offset;
    for (int i = 0; i < size && i < line.count(); ++i) {
        if (line[i].width == 2 && i + 1 < line.count() && line[i + 1].width == 0) ++size;
    }
    return size;
}

SearchResult SearchEngine::makeResult(int row, const SearchLineCache::Entry& entry, Hit hit, std::string_view term,
                                      const SearchOptions& options)
{
    // A literal search reports the term; a regular expression the text it matched.
    std::string text(term);
    if (options.regex) {
        const int32_t from = entry.charStarts[size_t(hit.first)];
        const int32_t to = entry.charStarts[size_t(hit.first + hit.second)];
        text = Utf16::toUtf8(std::u16string_view(entry.lineAsString).substr(size_t(from), size_t(to - from)));
    }
    const auto& offsets = entry.offsets;
    auto rowOf = [&](int offset) {
        return int(std::upper_bound(offsets.begin(), offsets.end(), offset) - offsets.begin()) - 1;
    };
    const int h = hit.first;
    const int m = hit.second;
    const int first = rowOf(h);
    const int last = rowOf(h + m);
    const int startCol = stringLengthToBufferSize(row + first, h - offsets[size_t(first)]);
    const int endCol = stringLengthToBufferSize(row + last, h + m - offsets[size_t(last)]);
    return {std::move(text), startCol, row + first, endCol - startCol + terminal.cols * (last - first)};
}

std::optional<SearchResult> SearchEngine::findInLine(std::string_view term, Position searchPosition,
                                                     const SearchOptions& searchOptions, bool isReverseSearch)
{
    const int row = searchPosition.row;
    if (row < 0 || row >= terminal.buffer().lines().count()) return std::nullopt;
    const Regex* regex = pattern(term, searchOptions);
    if (!regex) return std::nullopt;
    const SearchLineCache::Entry& entry = line(row);
    const int limit = std::min(bufferColsToStringOffset(row, searchPosition.col), entry.characterCount());

    std::optional<Hit> found;
    if (isReverseSearch) {
        // The last hit that ends by the limit; a literal term may overlap an earlier hit.
        forEachHit(*regex, entry, 0, limit, searchOptions.wholeWord, !searchOptions.regex, [&](Hit hit) {
            found = hit;
            return true;
        });
    } else {
        forEachHit(*regex, entry, limit, entry.characterCount(), searchOptions.wholeWord, false, [&](Hit hit) {
            found = hit;
            return false;
        });
    }
    if (!found) return std::nullopt;
    return makeResult(row, entry, *found, term, searchOptions);
}

// Rows are searched by logical line: a row that continues the one above is part of that row's
// text, so searching it again on its own would only repeat (and, for a long soft-wrapped line,
// square) the work. A position on a continuation row is moved to its line's first row, its
// column counted through the rows in between.
bool SearchEngine::startsLine(int row)
{
    return row == 0 || !terminal.buffer().lines()[row].isWrapped();
}

Position SearchEngine::lineStart(Position position)
{
    auto& lines = terminal.buffer().lines();
    if (position.row < 0 || position.row >= lines.count()) return position;
    while (position.row > 0 && lines[position.row].isWrapped()) {
        --position.row;
        position.col += terminal.cols;
    }
    return position;
}

std::optional<SearchResult> SearchEngine::findNextWithSelection(std::string_view term,
                                                                const SearchOptions& searchOptions,
                                                                const std::optional<std::string>& cachedSearchTerm,
                                                                const std::optional<SearchSelection>& previousSelection)
{
    if (term.empty()) return std::nullopt;
    lineCache.initLinesCache();
    const int n = terminal.buffer().lines().count();
    Position start{0, 0};
    if (previousSelection)
        start = lineStart(cachedSearchTerm == term ? previousSelection->end : previousSelection->start);

    if (auto hit = findInLine(term, start, searchOptions, false)) return hit;
    for (int y = start.row + 1; y < n; ++y)
        if (startsLine(y))
            if (auto hit = findInLine(term, {0, y}, searchOptions, false)) return hit;
    for (int y = 0; y < std::min(start.row, n); ++y)
        if (startsLine(y))
            if (auto hit = findInLine(term, {0, y}, searchOptions, false)) return hit;
    if (!previousSelection) return std::nullopt;
    return findInLine(term, {0, lineStart(previousSelection->start).row}, searchOptions, false);
}

std::optional<SearchResult> SearchEngine::findPreviousWithSelection(
    std::string_view term, const SearchOptions& searchOptions, const std::optional<std::string>& cachedSearchTerm,
    const std::optional<SearchSelection>& previousSelection)
{
    if (term.empty()) return std::nullopt;
    lineCache.initLinesCache();
    const int n = terminal.buffer().lines().count();
    Position position{terminal.cols, n - 1};
    if (previousSelection) {
        position = previousSelection->start;
        if (cachedSearchTerm != term) {
            // A changed term: keep a hit that still matches where the last one began.
            if (auto hit = findInLine(term, lineStart(position), searchOptions, false)) return hit;
            position = previousSelection->end;
        }
    }
    position = lineStart(position);
    if (auto hit = findInLine(term, position, searchOptions, true)) return hit;
    // Other lines are searched whole, their last hit first.
    constexpr int kWholeLine = INT_MAX;
    for (int y = std::min(position.row, n) - 1; y >= 0; --y)
        if (startsLine(y))
            if (auto hit = findInLine(term, {kWholeLine, y}, searchOptions, true)) return hit;
    for (int y = n - 1; y > position.row; --y)
        if (startsLine(y))
            if (auto hit = findInLine(term, {kWholeLine, y}, searchOptions, true)) return hit;
    return std::nullopt;
}

std::vector<SearchResult> SearchEngine::findAll(std::string_view term, const SearchOptions& searchOptions, int limit)
{
    std::vector<SearchResult> results;
    if (term.empty() || limit <= 0) return results;
    lineCache.initLinesCache();
    const Regex* regex = pattern(term, searchOptions);
    if (!regex) return results;
    const int n = terminal.buffer().lines().count();
    for (int row = 0; row < n && int(results.size()) < limit;) {
        const SearchLineCache::Entry& entry = line(row);
        forEachHit(*regex, entry, 0, entry.characterCount(), searchOptions.wholeWord, false, [&](Hit hit) {
            results.push_back(makeResult(row, entry, hit, term, searchOptions));
            return int(results.size()) < limit;
        });
        row += int(entry.offsets.size());
    }
    return results;
}

} // namespace corvix
