#include "terminal/engine/TerminalLinks.hpp"

#include "terminal/engine/Terminal.hpp"

#include "terminal/engine/Regex.hpp"
#include "terminal/screen/UnicodeProperties.hpp"
#include "terminal/screen/Utf16.hpp"

#include <algorithm>
#include <memory>

// Link detection: OSC 8 hyperlinks stored as payload codes on the cells, and URLs and paths
// recognised in the text of the logical line around a cell.
namespace corvix {

namespace {

// Columns of each side of a row break that the seam test looks at.
constexpr int kSeamWindow = 96;
// The hover window: at most this many rows on each side of the pointer's row, and fewer on
// wide terminals so that one side holds at most kLinkWindowCells cells. A lookup inside a huge
// soft-wrapped line then costs the same as one in a 33-row line; links that reach no further
// than the window from the pointer are found as in the whole line.
constexpr int kLinkWindowRows = 16;
constexpr int kLinkWindowCells = 2048;
// The pattern scans ahead from every start position, so a window full of word characters costs
// quadratic work (about 20 ms); the limit sits above that and only stops a runaway match.
constexpr int kLinkWorkLimit = 400;

// Schemes, then paths ("../", "./", "~/", "$VAR/", ".dir/", "/"), then relative paths with a dot.
constexpr std::u16string_view kImplicitLinkPattern =
    uR"re((?:https?://|mailto:|ftp://|file:|ssh:|git://|ssh://|tel:|magnet:|ipfs://|ipns://|gemini://|gopher://|news:)(?:(?:\[[:0-9a-fA-F]+\](?::[0-9]+)?)|[\w\-.~:/?#@!$&*+,;=%](?:(?:[\(\[]\w*[\)\]]))?)+(?<![,.])|(?:\.\.\/|\.\/|(?<!\w)~\/|(?:[\w][\w\-.]*\/)*(?<!\w)\$[A-Za-z_]\w*\/|\.[\w][\w\-.]*\/|(?<![\w~\/])\/(?!\/))(?:(?=[\w\-.~:\/?#@!$&*+;=%]*\.)[\w\-.~:\/?#@!$&*+;=%]+(?:(?<!:) (?!\w+:\/\/)[\w\-.~:\/?#@!$&*+;=%]*[\/.])*(?<!:)(?: +(?= *$))?|(?![\w\-.~:\/?#@!$&*+;=%]*\.)[\w\-.~:\/?#@!$&*+;=%]+(?:(?<!:) (?!\w+:\/\/)[\w\-.~:\/?#@!$&*+;=%]+)*(?<!:)(?: +(?= *$))?)|(?=[\w\-.~:\/?#@!$&*+;=%]*\.)(?<!\w)[\w][\w\-.]*\/[\w\-.~:\/?#@!$&*+;=%]+(?:(?<!:) (?!\w+:\/\/)[\w\-.~:\/?#@!$&*+;=%]*[\/.])*(?<!:)(?: +(?= *$))?)re";

constexpr std::string_view kContinuationCharacters =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-._~:/?#[]@!$&*+,;=%()";

bool isRightHalf(const BufferLine& line, int col)
{
    return col >= 1 && line[col].code == 0 && line[col - 1].width == 2;
}

bool isWhitespace(const std::u32string& ch)
{
    return ch.empty() || UnicodeProperties::of(ch[0]).isWhiteSpace();
}

// The column after the last cell with a non-zero code, at most `limit`; 0 for a row of nulls.
int trimmedEnd(const BufferLine& line, int limit)
{
    for (int c = std::min(line.count(), limit) - 1; c >= 0; --c) {
        if (line[c].code != 0) return std::min(c + std::max<int>(line[c].width, 1), limit);
    }
    return 0;
}

void appendUtf16(std::u16string& out, const std::u32string& ch)
{
    for (char32_t s : ch) Utf16::append(out, s);
}

} // namespace

const Regex* TerminalLinks::implicitLinkRegex()
{
    static const std::shared_ptr<const Regex> regex = Regex::compile(kImplicitLinkPattern, 0, kLinkWorkLimit);
    return regex.get();
}

bool TerminalLinks::isImplicitContinuationCharacter(char32_t c)
{
    return c < 0x80 && kContinuationCharacters.find(char(c)) != std::string_view::npos;
}

int TerminalLinks::implicitLinkWindowRows() const
{
    return std::clamp(kLinkWindowCells / std::max(terminal_.cols, 1), 1, kLinkWindowRows);
}

std::optional<std::string> TerminalLinks::link(LinkLookupLocation at, LinkLookupMode mode, Buffer& buffer) const
{
    auto position = resolveLinkLocation(at, buffer);
    if (!position) return std::nullopt;
    if (auto match = explicitLinkMatch(*position, buffer)) return match->text;
    if (mode == LinkLookupMode::explicitAndImplicit) {
        if (auto match = implicitLinkMatch(*position, buffer)) return match->text;
    }
    return std::nullopt;
}

std::optional<Position> TerminalLinks::resolveLinkLocation(LinkLookupLocation location, Buffer& buffer) const
{
    Position p = location.position;
    if (location.kind == LinkLookupLocation::Kind::screen) p.row += buffer.yDisp();
    int count = buffer.lines().count();
    if (count == 0) return std::nullopt;
    p.row = std::clamp(p.row, 0, count - 1);
    p.col = std::clamp(p.col, 0, std::max(terminal_.cols - 1, 0));
    return p;
}

std::optional<uint16_t> TerminalLinks::payloadCode(Position at, Buffer& buffer) const
{
    if (at.row < 0 || at.row >= buffer.lines().count()) return std::nullopt;
    const BufferLine& line = buffer.lines()[at.row];
    int limit = std::min(line.count(), terminal_.cols);
    if (limit <= 0) return std::nullopt;
    int col = std::clamp(at.col, 0, limit - 1);
    if (line[col].payload.code != 0) return line[col].payload.code;
    if (isRightHalf(line, col) && line[col - 1].payload.code != 0) return line[col - 1].payload.code;
    return std::nullopt;
}

std::optional<LinkMatch> TerminalLinks::explicitLinkMatch(Position at, Buffer& buffer) const
{
    auto code = payloadCode(at, buffer);
    if (!code) return std::nullopt;
    const BufferLine& line = buffer.lines()[at.row];
    int limit = std::min(line.count(), terminal_.cols);
    if (limit < 1) return std::nullopt;
    int start = at.col;
    while (start > 0 && line[start - 1].payload.code == *code) --start;
    int end = at.col;
    while (end < limit && line[end].payload.code == *code) ++end;
    if (start >= end) return std::nullopt;

    auto payloadText = [&](int col) -> std::optional<std::string> {
        const CharData& cell = line[std::clamp(col, 0, line.count() - 1)];
        if (const std::string* s = terminal_.payloads.target(cell.payload.code)) return *s;
        return std::nullopt;
    };
    auto payload = payloadText(at.col);
    if (!payload) payload = payloadText(at.col - 1);
    if (!payload) return std::nullopt;
    auto text = Terminal::parseHyperlinkPayload(*payload);
    if (!text) return std::nullopt;
    ColumnRange range{start, end};
    return LinkMatch{*text, at.row, range, true, {{at.row, range}}};
}

std::optional<LinkRowEdgeInfo> TerminalLinks::linkRowEdgeInfo(int row, Buffer& buffer) const
{
    if (row < 0 || row >= buffer.lines().count()) return std::nullopt;
    const BufferLine& line = buffer.lines()[row];
    int limit = std::min(line.count(), terminal_.cols);
    if (limit < 1) return std::nullopt;
    int end = trimmedEnd(line, limit);
    if (end == 0) return std::nullopt;

    // The character a column stands for: a right half stands for its wide character; any
    // other null cell stands for nothing.
    auto characterAt = [&](int col) -> std::optional<std::u32string> {
        const CharData& cell = line[col];
        if (cell.code != 0) return terminal_.character(cell.code);
        if (isRightHalf(line, col)) return terminal_.character(line[col - 1].code);
        return std::nullopt;
    };
    LinkRowEdgeInfo info;
    bool foundFirst = false;
    for (int c = 0; c < end && !foundFirst; ++c) {
        auto ch = characterAt(c);
        if (ch && !isWhitespace(*ch)) {
            info.firstCol = c;
            info.firstCharacter = std::move(*ch);
            foundFirst = true;
        }
    }
    if (!foundFirst) return std::nullopt;
    for (int c = end - 1; c >= info.firstCol; --c) {
        if (line[c].code == 0 && c == 0) return std::nullopt;
        auto ch = characterAt(c);
        if (ch && !isWhitespace(*ch)) {
            info.lastCol = c;
            info.lastCharacter = std::move(*ch);
            return info;
        }
    }
    return std::nullopt;
}

bool TerminalLinks::canJoinImplicitRows(int upper, int lower, Buffer& buffer) const
{
    auto upperInfo = linkRowEdgeInfo(upper, buffer);
    if (!upperInfo) return false;
    auto lowerInfo = linkRowEdgeInfo(lower, buffer);
    if (!lowerInfo) return false;
    if (upperInfo->lastCol < terminal_.cols - std::max(terminal_.cols / 5, 2)) return false;
    for (const auto* ch : {&upperInfo->lastCharacter, &lowerInfo->firstCharacter}) {
        for (char32_t s : *ch)
            if (!isImplicitContinuationCharacter(s)) return false;
    }
    return seamContainsImplicitLink(upper, lower, upperInfo->lastCol, lowerInfo->firstCol, buffer);
}

bool TerminalLinks::seamContainsImplicitLink(int upper, int lower, int upperLastCol, int lowerFirstCol,
                                             Buffer& buffer) const
{
    const Regex* regex = implicitLinkRegex();
    int count = buffer.lines().count();
    if (!regex || upper < 0 || upper >= count || lower < 0 || lower >= count) return false;

    const BufferLine& upperLine = buffer.lines()[upper];
    int end = std::min({upperLastCol + 1, upperLine.count(), terminal_.cols});
    if (end < 1) return false;
    std::u16string text = implicitLineSegmentText(upperLine, std::max(end - kSeamWindow, 0), end);
    if (text.empty()) return false;

    const BufferLine& lowerLine = buffer.lines()[lower];
    int lowerEnd = trimmedEnd(lowerLine, std::min(lowerLine.count(), terminal_.cols));
    if (lowerFirstCol >= lowerEnd) return false;
    std::u16string lowerText =
        implicitLineSegmentText(lowerLine, lowerFirstCol, std::min(lowerFirstCol + kSeamWindow, lowerEnd));
    if (lowerText.empty()) return false;

    const int32_t seam = int32_t(text.size());
    text += lowerText;
    bool found = false;
    regex->forEachMatch(text, 0, int32_t(text.size()), [&](Regex::Match m) {
        if (m.start < seam && seam < m.end && !(m.start > 0 && text[size_t(m.start - 1)] == u'$')) {
            found = true;
            return false;
        }
        return true;
    });
    return found;
}

std::u16string TerminalLinks::implicitLineSegmentText(const BufferLine& line, int startCol, int endCol) const
{
    std::u16string text;
    int end = std::min(line.count(), endCol);
    for (int c = std::max(startCol, 0); c < end; ++c) {
        if (isRightHalf(line, c)) continue;
        int32_t code = line[c].code;
        if (code == 0)
            text += u' ';
        else
            appendUtf16(text, terminal_.character(code));
    }
    return text;
}

std::optional<std::pair<int, int>> TerminalLinks::heuristicImplicitGroup(int row, Buffer& buffer, int reach) const
{
    int count = buffer.lines().count();
    int first = row;
    while (first > 0 && row - first < reach && canJoinImplicitRows(first - 1, first, buffer)) --first;
    int last = row;
    while (last + 1 < count && last - row < reach && canJoinImplicitRows(last, last + 1, buffer)) ++last;
    if (first == row && last == row) return std::nullopt;
    return std::pair{first, last};
}

bool TerminalLinks::isImplicitContinuationRow(int row, int startRow, Buffer& buffer) const
{
    if (row <= startRow || row < 1 || row >= buffer.lines().count()) return false;
    if (buffer.lines()[row].isWrapped()) return true;
    return canJoinImplicitRows(row - 1, row, buffer);
}

std::optional<ImplicitLineMap> TerminalLinks::buildImplicitLineMap(Position at, Buffer& buffer) const
{
    auto& lines = buffer.lines();
    int count = lines.count();
    if (at.row < 0 || at.row >= count) return std::nullopt;
    {
        const BufferLine& line = lines[at.row];
        int limit = std::min(line.count(), terminal_.cols);
        if (limit <= 0) return std::nullopt;
        at.col = std::clamp(at.col, 0, limit - 1);
        if (at.col > 0 && isRightHalf(line, at.col)) --at.col;
    }

    // The rows of the logical line, within the hover window around the row.
    const int reach = implicitLinkWindowRows();
    int first = at.row;
    while (first > 0 && lines[first].isWrapped() && at.row - first < reach) --first;
    int last = at.row;
    while (last + 1 < count && lines[last + 1].isWrapped() && last - at.row < reach) ++last;
    // The window's top row still continues a row above it: read it as a continuation row.
    bool firstContinues = first > 0 && lines[first].isWrapped();
    if (first == at.row && last == at.row) {
        if (auto group = heuristicImplicitGroup(at.row, buffer, reach)) {
            std::tie(first, last) = *group;
            firstContinues = first > 0 && at.row - first == reach && canJoinImplicitRows(first - 1, first, buffer);
        }
    }

    ImplicitLineMap map;
    map.row = at.row;
    map.col = at.col;
    map.cells.reserve(size_t(last - first + 1) * size_t(std::max(terminal_.cols, 0)));
    map.charStarts.reserve(map.cells.capacity() + 1);
    bool hit = false;
    for (int r = first; r <= last; ++r) {
        const BufferLine& line = lines[r];
        int end = trimmedEnd(line, std::min(line.count(), terminal_.cols));
        if (end <= 0) continue;
        int start = 0;
        bool continuation = r == first ? firstContinues : isImplicitContinuationRow(r, first, buffer);
        if (continuation) {
            while (start < end && (line[start].code == 0 || isWhitespace(terminal_.character(line[start].code))))
                ++start;
            if (start >= end) continue;
        }
        if (r == at.row && start <= at.col && at.col < end) hit = true;
        for (int c = start; c < end; ++c) {
            if (isRightHalf(line, c)) continue;
            const CharData& cell = line[c];
            map.charStarts.push_back(int32_t(map.text.size()));
            if (cell.code == 0)
                map.text += u' ';
            else
                appendUtf16(map.text, terminal_.character(cell.code));
            map.cells.push_back({r, c, std::max<int>(cell.width, 1)});
        }
    }
    if (map.text.empty() || map.cells.empty() || !hit) return std::nullopt;
    map.charStarts.push_back(int32_t(map.text.size()));
    return map;
}

std::optional<LinkMatch> TerminalLinks::implicitLinkMatch(Position at, Buffer& buffer) const
{
    auto map = buildImplicitLineMap(at, buffer);
    if (!map) return std::nullopt;
    const Regex* regex = implicitLinkRegex();
    if (!regex) return std::nullopt;

    const auto& starts = map->charStarts;
    const int cellCount = int(map->cells.size());
    std::optional<LinkMatch> result;
    regex->forEachMatch(map->text, 0, int32_t(map->text.size()), [&](Regex::Match m) {
        if (m.start >= m.end) return true;
        if (m.start > 0 && map->text[size_t(m.start - 1)] == u'$') return true;
        // UTF-16 bounds to character (cell) offsets, widened to whole characters.
        int startChar = int(std::upper_bound(starts.begin(), starts.end(), m.start) - starts.begin()) - 1;
        int endChar = int(std::lower_bound(starts.begin(), starts.end(), m.end) - starts.begin());
        endChar = std::min(endChar, cellCount);
        if (startChar < 0 || startChar >= cellCount || startChar >= endChar) return true;
        // Matches come in order: once one starts after the target cell, none can cover it.
        const ImplicitCellRef& head = map->cells[size_t(startChar)];
        if (head.row > map->row || (head.row == map->row && head.col > map->col)) return false;

        LinkMatch match;
        match.row = map->row;
        match.range = {INT_MAX, INT_MIN};
        bool covers = false;
        for (int i = startChar; i < endChar; ++i) {
            const ImplicitCellRef& cell = map->cells[size_t(i)];
            auto widen = [&](ColumnRange& range) {
                range.lowerBound = std::min(range.lowerBound, cell.col);
                range.upperBound = std::max(range.upperBound, cell.col + cell.width);
            };
            if (match.rowRanges.empty() || match.rowRanges.back().row != cell.row)
                match.rowRanges.push_back({cell.row, {INT_MAX, INT_MIN}});
            widen(match.rowRanges.back().range);
            if (cell.row == map->row) {
                widen(match.range);
                if (cell.col <= map->col && map->col < cell.col + cell.width) covers = true;
            }
        }
        if (!covers || match.range.empty()) return true;
        std::erase_if(match.rowRanges, [](const LinkMatch::RowRange& r) { return r.range.empty(); });
        match.text = Utf16::toUtf8(std::u16string_view(map->text).substr(size_t(m.start), size_t(m.end - m.start)));
        result = std::move(match);
        return false;
    });
    return result;
}

// ---- The terminal's lookups ------------------------------------------------------------------

std::optional<std::string> Terminal::link(LinkLookupLocation at, LinkLookupMode mode)
{
    return TerminalLinks(*this).link(at, mode, *buffer_);
}

std::optional<Position> Terminal::resolveLinkLocation(LinkLookupLocation location, Buffer& buffer)
{
    return TerminalLinks(*this).resolveLinkLocation(location, buffer);
}

std::optional<LinkMatch> Terminal::explicitLinkMatch(Position at, Buffer& buffer)
{
    return TerminalLinks(*this).explicitLinkMatch(at, buffer);
}

std::optional<LinkMatch> Terminal::implicitLinkMatch(Position at, Buffer& buffer)
{
    return TerminalLinks(*this).implicitLinkMatch(at, buffer);
}

} // namespace corvix
