#include "terminal/bidi/TerminalBidi.hpp"

#include "terminal/screen/Buffer.hpp"

#include <algorithm>
#include <mutex>
#include <unordered_map>

namespace corvix {

namespace {

// A 64-bit finaliser with full avalanche, so that revisions and keys differ in every bit.
uint64_t mix(uint64_t x)
{
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ULL;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebULL;
    x ^= x >> 31;
    return x;
}

uint64_t combine(uint64_t hash, uint64_t value) { return mix(hash ^ (value + 0x9e3779b97f4a7c15ULL)); }

// Buffers and fonts are named by serial, never by address: a new buffer at a freed address
// must not meet the layouts of the old one.
struct ParagraphKey {
    uint64_t buffer = 0;
    int firstRow = 0;
    int lastRow = 0;
    uint64_t revision = 0;
    int cols = 0;
    uint64_t font = 0;
    BidiPresentationState state;

    friend bool operator==(const ParagraphKey&, const ParagraphKey&) = default;
};

struct ParagraphKeyHash {
    size_t operator()(const ParagraphKey& key) const noexcept
    {
        uint64_t h = combine(0, key.buffer);
        h = combine(h, uint64_t(uint32_t(key.firstRow)));
        h = combine(h, uint64_t(uint32_t(key.lastRow)));
        h = combine(h, key.revision);
        h = combine(h, uint64_t(uint32_t(key.cols)));
        h = combine(h, key.font);
        h = combine(h, std::hash<BidiPresentationState>{}(key.state));
        return size_t(h);
    }
};

constexpr size_t kParagraphCacheLimit = 256;

// One cache for the whole process. The lock is held for one look-up or one insert, never while
// a paragraph is laid out.
struct ParagraphCache {
    std::mutex lock;
    std::unordered_map<ParagraphKey, std::shared_ptr<const TerminalBidi::ParagraphResult>, ParagraphKeyHash> entries;
};

ParagraphCache& paragraphCache()
{
    static ParagraphCache cache;
    return cache;
}

} // namespace

bool TerminalBidi::mayNeedBidi(const BufferLine& line, int cols, const BidiTextSource& terminal)
{
    const int n = std::min(line.count(), cols);
    for (int col = 0; col < n;) {
        const CharData& cell = line[col];
        col += cell.width >= 1 ? cell.width : 1;
        if (cell.code < 0x590) continue;
        if (cell.isSimpleRune()) {
            if (isRightToLeftScalar(char32_t(cell.code))) return true;
            continue;
        }
        for (const char32_t scalar : terminal.character(cell.code)) {
            if (isRightToLeftScalar(scalar)) return true;
        }
    }
    return false;
}

std::optional<TerminalBidi::RowRange> TerminalBidi::paragraphBounds(int row, Buffer& buffer, int64_t maximumRows)
{
    auto& lines = buffer.lines();
    if (row < 0 || row >= lines.count()) return std::nullopt;
    const int64_t m = std::max<int64_t>(maximumRows, 1);

    // Upwards to the line that is not a continuation; row 0 always starts a paragraph.
    int first = row;
    for (int64_t examined = 1; first > 0; ++examined) {
        if (!lines[first].isWrapped()) break;
        if (examined == m) return std::nullopt;
        --first;
    }
    int64_t budget = m - (row - first + 1);
    int last = row;
    for (int r = row + 1; r < lines.count(); ++r) {
        if (!lines[r].isWrapped()) break;
        if (budget == 0) return std::nullopt;
        --budget;
        last = r;
    }
    return RowRange{first, last};
}

uint64_t TerminalBidi::paragraphRevision(RowRange rows, Buffer& buffer)
{
    auto& lines = buffer.lines();
    uint64_t h = 0;
    for (int r = rows.first; r <= rows.last; ++r) {
        const BufferLine& line = lines[r];
        h = combine(h, line.serial());
        h = combine(h, line.generation());
        h = combine(h, line.isWrapped() ? 1 : 0);
    }
    // 0 means "no paragraph" to the callers of layoutRevision.
    return h == 0 ? 1 : h;
}

std::shared_ptr<const TerminalBidi::ParagraphResult> TerminalBidi::paragraphResult(int row, Buffer& buffer, int cols,
                                                                                   const BidiTextSource& terminal,
                                                                                   uint64_t font)
{
    if (row < 0 || row >= buffer.lines().count()) return nullptr;
    if (buffer.lines()[row].bidiState().supportMode == BidiSupportMode::explicit_) return nullptr;
    const auto bounds = paragraphBounds(row, buffer, terminal.maximumBidiParagraphRows());
    if (!bounds) return nullptr;

    const BidiPresentationState state = buffer.lines()[bounds->first].bidiState();
    const uint64_t revision = paragraphRevision(*bounds, buffer);
    const ParagraphKey key{buffer.serial(), bounds->first, bounds->last, revision, cols, font, state};

    auto& cache = paragraphCache();
    {
        std::lock_guard guard(cache.lock);
        if (auto it = cache.entries.find(key); it != cache.entries.end()) return it->second;
    }
    auto result
        = std::make_shared<const ParagraphResult>(buildParagraph(*bounds, buffer, cols, terminal, state, revision));
    {
        std::lock_guard guard(cache.lock);
        if (cache.entries.size() >= kParagraphCacheLimit) cache.entries.clear();
        cache.entries.insert_or_assign(key, result);
    }
    return result;
}

uint64_t TerminalBidi::layoutRevision(int row, Buffer& buffer, int64_t maximumRows)
{
    if (row < 0 || row >= buffer.lines().count()) return 0;
    if (buffer.lines()[row].bidiState().supportMode == BidiSupportMode::explicit_) return 0;
    const auto bounds = paragraphBounds(row, buffer, maximumRows);
    return bounds ? paragraphRevision(*bounds, buffer) : 0;
}

TerminalBidi::RowRange TerminalBidi::renderingDependencyRange(RowRange rows, Buffer& buffer, int64_t maximumRows)
{
    auto& lines = buffer.lines();
    const int count = lines.count();
    if (count == 0) return rows;
    int lo = std::clamp(rows.first, 0, count - 1);
    int hi = std::max(std::min(rows.last, count - 1), lo);
    const auto implicitParagraph = [&](int row) -> std::optional<RowRange> {
        if (lines[row].bidiState().supportMode == BidiSupportMode::explicit_) return std::nullopt;
        return paragraphBounds(row, buffer, maximumRows);
    };
    if (const auto top = implicitParagraph(lo)) {
        lo = top->first;
        if (hi <= top->last) return {lo, top->last};
    }
    if (const auto bottom = implicitParagraph(hi)) hi = bottom->last;
    return {lo, hi};
}

void TerminalBidi::clearParagraphCacheForTesting()
{
    auto& cache = paragraphCache();
    std::lock_guard guard(cache.lock);
    cache.entries.clear();
}

size_t TerminalBidi::paragraphCacheCountForTesting()
{
    auto& cache = paragraphCache();
    std::lock_guard guard(cache.lock);
    return cache.entries.size();
}

} // namespace corvix
