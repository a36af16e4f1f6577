#pragma once

#include "terminal/engine/TerminalTypes.hpp"
#include "terminal/screen/Position.hpp"

#include <climits>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace corvix {

class Buffer;
class BufferLine;
class Regex;
class Terminal;

// Link detection over a terminal's buffers: OSC 8 hyperlinks stored as payload codes on the
// cells, and URLs and paths recognised in the text of the logical line around a cell. It holds
// nothing of its own; `Terminal::link` and the lookups the view makes run through one.
class TerminalLinks {
public:
    explicit TerminalLinks(const Terminal& terminal) : terminal_(terminal) {}

    // The link target under a cell of `buffer`: an OSC 8 hyperlink first, then (in
    // `explicitAndImplicit` mode) a URL or path recognised in the text.
    std::optional<std::string> link(LinkLookupLocation at, LinkLookupMode mode, Buffer& buffer) const;
    std::optional<Position> resolveLinkLocation(LinkLookupLocation location, Buffer& buffer) const;
    std::optional<LinkMatch> explicitLinkMatch(Position at, Buffer& buffer) const;
    std::optional<LinkMatch> implicitLinkMatch(Position at, Buffer& buffer) const;
    // Whether a link may run on from row `upper` into row `lower` across a hard break.
    bool canJoinImplicitRows(int upper, int lower, Buffer& buffer) const;

private:
    std::optional<uint16_t> payloadCode(Position at, Buffer& buffer) const;
    std::optional<LinkRowEdgeInfo> linkRowEdgeInfo(int row, Buffer& buffer) const;
    bool seamContainsImplicitLink(int upper, int lower, int upperLastCol, int lowerFirstCol, Buffer& buffer) const;
    std::u16string implicitLineSegmentText(const BufferLine& line, int startCol, int endCol) const;
    // Rows joined to `row` by hard-broken links, walking at most `reach` rows each way.
    std::optional<std::pair<int, int>> heuristicImplicitGroup(int row, Buffer& buffer, int reach = INT_MAX) const;
    bool isImplicitContinuationRow(int row, int startRow, Buffer& buffer) const;
    std::optional<ImplicitLineMap> buildImplicitLineMap(Position at, Buffer& buffer) const;
    // The URL and path pattern (built once per process); null when it does not compile.
    static const Regex* implicitLinkRegex();
    // Characters that may sit on both sides of a row break inside a link.
    static bool isImplicitContinuationCharacter(char32_t c);
    // The hover window: rows looked at on each side of the pointer's row.
    int implicitLinkWindowRows() const;

    const Terminal& terminal_;
};

} // namespace corvix
