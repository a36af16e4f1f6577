// Rectangular area operations: copy (DECCRA), fill (DECFRA), erase (DECERA), selective erase
// (DECSERA) and the checksum report (DECRQCRA). They write cells directly and widen no update
// range: a view notices them through the lines' generation counters.
#include "terminal/engine/Terminal.hpp"
#include "terminal/engine/RectangularAreas.hpp"
#include "terminal/screen/Log.hpp"

#include <algorithm>
#include <cstdio>
#include <string>

namespace corvix {

namespace {

// Fill characters that are safe to store: printable ASCII and every scalar from U+00A0 on.
// Control characters would come back as live control bytes when the text is copied and pasted.
bool isPrintableFill(int32_t ch)
{
    return (ch >= 0x20 && ch <= 0x7E) || (ch >= 0xA0 && ch <= 0x10FFFF && !(ch >= 0xD800 && ch <= 0xDFFF));
}

} // namespace

std::optional<RectangularAreas::Rectangle> RectangularAreas::getRectangleFromRequest(Params pars) const
{
    auto at = [&](size_t i) -> std::optional<int> {
        if (i < pars.size()) return int(pars[i]);
        return std::nullopt;
    };
    int top = std::max(at(0).value_or(1), 1);
    int left = std::max(at(1).value_or(1), 1);
    int bottom = at(2).value_or(-1);
    int right = at(3).value_or(-1);
    if (bottom < 0) bottom = terminal_.rows;
    if (right < 0) right = terminal_.cols;
    right = std::min(terminal_.cols, right);
    bottom = std::min(terminal_.rows, bottom);
    if (terminal_.originMode) {
        top += terminal_.buffer_->scrollTop();
        bottom += terminal_.buffer_->scrollTop();
        // The left margin is an origin only while left/right margins are on.
        const int marginLeft = terminal_.marginMode ? terminal_.buffer_->marginLeft() : 0;
        left += marginLeft;
        right += marginLeft;
    }
    if (bottom < top || right < left) return std::nullopt;
    return Rectangle{std::min(top - 1, terminal_.rows - 1), std::min(left - 1, terminal_.cols - 1),
                     std::min(bottom - 1, terminal_.rows - 1), std::min(right - 1, terminal_.cols - 1)};
}

// ---- DECCRA -----------------------------------------------------------------------------------

void RectangularAreas::csiCopyRectangularArea(Params pars, Bytes collect)
{
    if (!terminal_.collectIs(collect, "$")) return;
    auto one = [&](size_t i) { return i < pars.size() ? std::max(int(pars[i]), 1) : 1; };
    auto last = [&](size_t i, int fallback) { return i < pars.size() && pars[i] > 0 ? int(pars[i]) : fallback; };
    if (one(4) != 1 || one(7) != 1) return; // pages other than the screen
    const int32_t source[] = {one(0), one(1), last(2, terminal_.rows), last(3, terminal_.cols)};
    auto rect = getRectangleFromRequest(source);
    if (!rect) return;

    Buffer& b = *terminal_.buffer_;
    // The destination counts from the same origin as the source.
    const int dstTop = std::min(one(5) - 1 + (terminal_.originMode ? b.scrollTop() : 0), terminal_.rows - 1);
    const int dstLeft = std::min(one(6) - 1 + (terminal_.originMode && terminal_.marginMode ? b.marginLeft() : 0),
                                 terminal_.cols - 1);
    const int copyWidth = std::min(rect->right - rect->left + 1, terminal_.cols - dstLeft);

    // Copy the source out first so that overlapping rectangles copy as through a buffer.
    std::vector<CharData> copied;
    copied.reserve(size_t(rect->bottom - rect->top + 1) * size_t(copyWidth));
    for (int row = rect->top; row <= rect->bottom; row++) {
        const BufferLine& line = b.lines()[b.yBase() + row];
        for (int col = rect->left; col < rect->left + copyWidth; col++) copied.push_back(line[col]);
    }
    const int dstCols = std::min(copyWidth, b.cols() - dstLeft);
    for (int i = 0; i <= rect->bottom - rect->top && dstTop + i < b.rows(); i++) {
        BufferLine& line = b.lines()[b.yBase() + dstTop + i];
        for (int k = 0; k < dstCols; k++) line.set(dstLeft + k, copied[size_t(i * copyWidth + k)]);
    }
}

// ---- DECFRA, DECERA, DECSERA ------------------------------------------------------------------

void RectangularAreas::csiX(Params pars, Bytes collect)
{
    if (!terminal_.collectIs(collect, "$")) {
        terminal_.logInfo("Not implemented CSI x with collect: collect=" + terminal_.decimalList(collect) +
                " and pars=" + terminal_.decimalList(pars));
        return;
    }
    const int32_t ch = pars[0];
    if (!isPrintableFill(ch)) return;
    auto rect = getRectangleFromRequest(pars.subspan(1));
    if (!rect) return;
    const char32_t scalar = char32_t(ch);
    const CharData fill = terminal_.makeCharData(terminal_.curAttr, terminal_.code(std::u32string_view(&scalar, 1)), 1);
    Buffer& b = *terminal_.buffer_;
    for (int row = rect->top; row <= rect->bottom; row++) {
        BufferLine& line = b.lines()[b.yBase() + row];
        for (int col = rect->left; col <= rect->right; col++) line.set(col, fill);
    }
}

void RectangularAreas::csiZ(Params pars, Bytes collect)
{
    if (terminal_.collectIs(collect, "$")) {
        cmdDECERA(pars);
    } else if (terminal_.collectIs(collect, "'")) {
        terminal_.logInfo("Not implemented: Enable Locator Reporting (DECELR)");
    }
}

void RectangularAreas::cmdDECERA(Params pars)
{
    auto rect = getRectangleFromRequest(pars);
    if (!rect) return;
    const CharData blank = terminal_.makeCharData(terminal_.curAttr, ' ', 1);
    Buffer& b = *terminal_.buffer_;
    for (int row = rect->top; row <= rect->bottom; row++) {
        BufferLine& line = b.lines()[b.yBase() + row];
        for (int col = rect->left; col <= rect->right; col++) line.set(col, blank);
    }
}

void RectangularAreas::csiOpenBrace(Params pars, Bytes collect)
{
    if (terminal_.collectIs(collect, "$")) {
        cmdSelectiveEraseRectangularArea(pars);
        return;
    }
    terminal_.logInfo("CSI # { not implemented - XTPUSHSGR with " + terminal_.decimalList(pars));
}

void RectangularAreas::cmdSelectiveEraseRectangularArea(Params pars)
{
    auto rect = getRectangleFromRequest(pars);
    if (!rect) return;
    Buffer& b = *terminal_.buffer_;
    for (int row = rect->top; row <= rect->bottom; row++) {
        BufferLine& line = b.lines()[b.yBase() + row];
        for (int col = rect->left; col <= rect->right; col++) {
            // Payload and attribute stay: there are no protected cells, only the text goes.
            CharData& cell = line.mutableCell(col);
            cell.code = ' ';
            cell.width = 1;
        }
    }
}

// ---- DECRQCRA ---------------------------------------------------------------------------------

void RectangularAreas::cmdDECRQCRA(Params pars, Bytes collect)
{
    const int32_t id = pars[0];
    uint32_t sum = 0; // wraps modulo 2^32 on huge rectangles of high code points
    if (terminal_.tdel && terminal_.tdel->isProcessTrusted(terminal_) && pars.size() >= 3) {
        if (auto rect = getRectangleFromRequest(pars.subspan(2))) {
            Buffer& b = *terminal_.buffer_;
            for (int row = rect->top; row <= rect->bottom; row++) {
                const BufferLine& line = b.lines()[b.yBase() + row];
                for (int col = rect->left; col <= rect->right; col++) {
                    const int32_t cellCode = line[col].code;
                    if (cellCode == 0) {
                        sum += ' ';
                    } else if (cellCode < CharData::kClusterBase) {
                        sum += uint32_t(terminal_.character(cellCode)[0]);
                    } else {
                        for (char32_t s : terminal_.character(cellCode)) sum += uint32_t(s);
                    }
                }
            }
        }
    }
    char hex[16];
    std::snprintf(hex, sizeof hex, "%04x", unsigned(sum));
    std::string reply(terminal_.replyDcs());
    reply += std::to_string(id) + "!~" + hex;
    reply += terminal_.replySt();
    terminal_.sendResponse(reply);
}

} // namespace corvix
