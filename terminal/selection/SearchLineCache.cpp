#include "terminal/selection/SearchLineCache.hpp"

#include "terminal/engine/Terminal.hpp"
#include "terminal/screen/Utf16.hpp"

#include <chrono>

namespace corvix {

namespace {

double now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

} // namespace

void SearchLineCache::initLinesCache()
{
    const double time = now();
    const size_t n = size_t(terminal.buffer().lines().count());
    if (linesCache && time - lastAccessTimestamp < kIdleSeconds && linesCache->size() == n) {
        lastAccessTimestamp = time;
        return;
    }
    linesCache.emplace(n);
    lastAccessTimestamp = time;
}

SearchLineCache::Entry SearchLineCache::translateBufferLineToStringWithWrap(int lineIndex, bool trimRight) const
{
    Entry entry;
    entry.offsets.push_back(0);
    auto& lines = terminal.buffer().lines();
    const int n = lines.count();
    if (lineIndex < 0 || lineIndex >= n) {
        entry.charStarts.push_back(0);
        return entry;
    }
    int characters = 0;
    for (int row = lineIndex; row < n; ++row) {
        const BufferLine& line = lines[row];
        const bool continues = row + 1 < n && lines[row + 1].isWrapped();
        int length = line.count();
        if (trimRight && !continues) {
            while (length > 0 && line[length - 1].code == 0) --length;
        }
        const int rowStart = characters;
        for (int col = 0; col < length; ++col) {
            const CharData& cell = line[col];
            if (col >= 1 && cell.code == 0 && line[col - 1].width == 2) continue; // right half
            entry.charStarts.push_back(int32_t(entry.lineAsString.size()));
            if (cell.code == 0) {
                entry.lineAsString += u' ';
            } else {
                for (char32_t s : terminal.character(cell.code)) Utf16::append(entry.lineAsString, s);
            }
            ++characters;
        }
        // A wide character that did not fit left an empty last cell: drop that gap.
        if (continues && length > 0 && lines[row + 1].count() > 0 && lines[row + 1][0].width == 2 &&
            line[length - 1].code == 0 && line[length - 1].width <= 1 && characters > rowStart) {
            entry.lineAsString.resize(size_t(entry.charStarts.back()));
            entry.charStarts.pop_back();
            --characters;
        }
        if (!continues) break;
        entry.offsets.push_back(characters);
    }
    entry.charStarts.push_back(int32_t(entry.lineAsString.size()));
    return entry;
}

void SearchLineCache::setLineInCache(int row, Entry entry)
{
    if (!linesCache || row < 0 || size_t(row) >= linesCache->size()) return;
    (*linesCache)[size_t(row)] = std::move(entry);
}

const SearchLineCache::Entry* SearchLineCache::cachedLine(int row) const
{
    if (!linesCache || row < 0 || size_t(row) >= linesCache->size()) return nullptr;
    const auto& entry = (*linesCache)[size_t(row)];
    return entry ? &*entry : nullptr;
}

void SearchLineCache::clear()
{
    linesCache.reset();
    lastAccessTimestamp = 0;
}

} // namespace corvix
