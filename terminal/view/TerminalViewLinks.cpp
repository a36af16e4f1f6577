// OSC 8 payloads, the link a click opens, and the rows a highlight change dirties.
#include "terminal/view/TerminalView.hpp"

#include <set>

namespace corvix {

std::optional<QString> TerminalView::payloadString(Position at)
{
    Buffer& buffer = terminal->buffer();
    if (at.row < 0 || at.row >= buffer.lines().count()) return std::nullopt;
    const BufferLine& line = buffer.lines()[at.row];
    const int last = std::min(line.count(), terminal->cols) - 1;
    if (last < 0) return std::nullopt;
    const int col = std::clamp(at.col, 0, last);
    auto text = [&](const CharData& cell) -> std::optional<QString> {
        if (const std::string* s = terminal->payloads.target(cell.payload.code)) return QString::fromStdString(*s);
        return std::nullopt;
    };
    const CharData& cell = line[col];
    if (cell.hasPayload()) return text(cell);
    // The right half of a wide character carries the character's link.
    if (cell.code == 0 && col > 0 && line[col - 1].width == 2 && line[col - 1].hasPayload()) return text(line[col - 1]);
    return std::nullopt;
}

std::optional<TerminalView::LinkTarget> TerminalView::urlAndParamsFrom(const QString& payload)
{
    const QStringList pieces = payload.split(u';');
    if (pieces.size() < 2) return std::nullopt;
    LinkTarget target;
    for (const QString& item : pieces[0].split(u':', Qt::SkipEmptyParts)) {
        const QStringList kv = item.split(u'=', Qt::SkipEmptyParts);
        if (kv.size() == 2) target.params[kv[0]] = kv[1];
    }
    // Whatever follows a further ";" is not part of the URI.
    target.link = pieces[1];
    return target;
}

std::optional<TerminalView::LinkTarget> TerminalView::linkForClick(Position at, bool hasCommandModifier)
{
    const bool hasHighlight = linkHighlightRange.has_value();
    const bool considerImplicit = (linkHighlightMode_ == LinkHighlightMode::hover && hasHighlight)
        || (linkHighlightMode_ == LinkHighlightMode::hoverWithModifier && hasCommandModifier && hasHighlight);
    Buffer& buffer = terminal->buffer();
    const std::optional<Position> location = terminal->resolveLinkLocation(LinkLookupLocation::buffer(at), buffer);
    if (!location) return std::nullopt;
    std::optional<LinkMatch> match = terminal->explicitLinkMatch(*location, buffer);
    if (!match && considerImplicit) match = terminal->implicitLinkMatch(*location, buffer);
    if (!match) return std::nullopt;

    bool accepted = false;
    switch (linkHighlightMode_) {
    case LinkHighlightMode::hover: accepted = hasHighlight && *linkHighlightRange == match->rowRanges; break;
    case LinkHighlightMode::hoverWithModifier:
        accepted = hasCommandModifier && hasHighlight && *linkHighlightRange == match->rowRanges;
        break;
    case LinkHighlightMode::always: accepted = match->isExplicit; break;
    case LinkHighlightMode::alwaysWithModifier: accepted = match->isExplicit && hasCommandModifier; break;
    }
    if (!accepted) return std::nullopt;

    if (match->isExplicit) {
        if (auto payload = payloadString(at)) {
            if (auto target = urlAndParamsFrom(*payload)) return target;
        }
    }
    return LinkTarget{QString::fromStdString(match->text), {}};
}

void TerminalView::invalidateLinkHighlight(const std::optional<std::vector<LinkMatch::RowRange>>& oldRange,
                                           const std::optional<std::vector<LinkMatch::RowRange>>& newRange)
{
    std::set<int> rows;
    for (const auto* ranges : {&oldRange, &newRange})
        if (*ranges)
            for (const LinkMatch::RowRange& r : **ranges) rows.insert(r.row);
    const int yDisp = terminal->buffer().yDisp();
    for (int r : rows) {
        const int s = r - yDisp;
        if (s < 0 || s >= terminal->rows) continue;
        terminal->refreshStart = std::min(terminal->refreshStart, s);
        terminal->refreshEnd = std::max(terminal->refreshEnd, s);
        terminal->scrollInvariantRefreshStart = std::min(terminal->scrollInvariantRefreshStart, r);
        terminal->scrollInvariantRefreshEnd = std::max(terminal->scrollInvariantRefreshEnd, r);
    }
}

} // namespace corvix
