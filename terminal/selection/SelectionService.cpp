#include "terminal/selection/SelectionService.hpp"

#include "terminal/engine/Terminal.hpp"
#include "terminal/screen/UnicodeProperties.hpp"

#include <algorithm>
#include <vector>

namespace corvix {

namespace {

bool isBefore(const Position& a, const Position& b)
{
    return Position::compare(a, b) == Position::CompareResult::before;
}

bool isLetterOrNumber(const std::u32string& ch)
{
    if (ch.empty()) return false;
    auto props = UnicodeProperties::of(ch[0]);
    return props.isLetter() || props.isNumber();
}

} // namespace

std::shared_ptr<SelectionService> SelectionService::create(Terminal& terminal)
{
    auto selection = std::make_shared<SelectionService>(terminal);
    terminal.registerSelection(selection);
    return selection;
}

void SelectionService::notifyChanged()
{
    if (auto* d = terminal_.delegate()) d->selectionChanged(terminal_);
}

void SelectionService::setActive(bool value)
{
    bool changed = value != active_;
    active_ = value;
    if (!active_) pivot.reset();
    if (changed) notifyChanged();
}

// ---- Character classes ----------------------------------------------------------------------

std::optional<std::u32string> SelectionService::characterAt(Buffer& buffer, int col, int row) const
{
    auto& ring = buffer.lines();
    if (row < 0 || row >= ring.count() || col < 0) return std::nullopt;
    const BufferLine& line = ring[row];
    if (col >= line.count()) return std::nullopt;
    const CharData& cell = line[col];
    // The right half of a wide character belongs to it: otherwise it would read as an empty cell
    // and a word of wide characters would end after its first half.
    if (cell.width == 0 && cell.code == 0 && col > 0 && line[col - 1].width == 2)
        return terminal_.character(line[col - 1].code);
    return terminal_.character(cell.code);
}

SelectionService::CharClass SelectionService::classAt(Buffer& buffer, int col, int row) const
{
    auto ch = characterAt(buffer, col, row);
    if (!ch) return CharClass::other;
    if (*ch == nullChar) return CharClass::null;
    if (*ch == U" ") return CharClass::space;
    if (isLetterOrNumber(*ch) || *ch == U"." || *ch == U"_" || *ch == U"-") return CharClass::word;
    return CharClass::other;
}

int SelectionService::snap(Buffer& buffer, int col, int row, bool forward) const
{
    CharClass cls = classAt(buffer, col, row);
    if (cls == CharClass::other) return col;
    if (forward) {
        while (col < terminal_.cols && classAt(buffer, col, row) == cls) col++;
    } else {
        while (col > 0 && classAt(buffer, col - 1, row) == cls) col--;
    }
    return col;
}

// ---- Selecting ------------------------------------------------------------------------------

void SelectionService::setSelection(Position newStart, Position newEnd)
{
    Buffer& buffer = terminal_.buffer();
    const int maxRow = std::max(buffer.lines().count() - 1, 0);
    const int maxCol = buffer.cols() - 1;
    start = {std::min(newStart.col, maxCol), std::min(newStart.row, maxRow)};
    end = {std::min(newEnd.col, maxCol), std::min(newEnd.row, maxRow)};
    hasSelectionRange = start != end;
    active_ = true;
    notifyChanged();
}

void SelectionService::startSelection()
{
    end = start;
    selectingRows = false;
    selectionMode = SelectionMode::character;
    wordSelectionAnchor.reset();
    hasSelectionRange = false;
    active_ = true;
    notifyChanged();
}

void SelectionService::setSoftStart(Position bufferPosition)
{
    start = end = bufferPosition;
    hasSelectionRange = false;
    active_ = true;
    notifyChanged();
}

void SelectionService::shiftExtend(Position p)
{
    int c = p.col;
    if (selectionMode == SelectionMode::word) c = snap(terminal_.buffer(), c, p.row, !isBefore(p, start));
    const Position newEnd{c, p.row};
    // Extending past the start flips the selection around its far side.
    if (start != end
        && ((isBefore(start, end) && isBefore(newEnd, start)) || (isBefore(end, start) && isBefore(start, newEnd))))
        start = end;
    end = newEnd;
    hasSelectionRange = start != end;
    active_ = true;
    notifyChanged();
}

void SelectionService::dragExtend(Position p)
{
    if (selectionMode != SelectionMode::word) {
        end = p;
    } else if (wordSelectionAnchor) {
        const auto [a, b] = *wordSelectionAnchor;
        if (isBefore(p, a)) {
            start = {snap(terminal_.buffer(), p.col, p.row, false), p.row};
            end = b;
        } else if (!isBefore(b, p)) {
            start = a;
            end = b;
        } else {
            start = a;
            end = {snap(terminal_.buffer(), p.col, p.row, true), p.row};
        }
    } else {
        end = {snap(terminal_.buffer(), p.col, p.row, !isBefore(p, start)), p.row};
    }
    hasSelectionRange = start != end;
    active_ = true;
    notifyChanged();
}

void SelectionService::selectAll()
{
    Buffer& buffer = terminal_.buffer();
    start = {0, 0};
    end = {terminal_.cols - 1, buffer.lines().maxLength() - 1};
    hasSelectionRange = end != Position{0, 0};
    active_ = true;
    notifyChanged();
}

void SelectionService::select(int row)
{
    start = {0, row};
    end = {terminal_.cols - 1, row};
    hasSelectionRange = terminal_.cols != 1;
    selectingRows = true;
    selectionMode = SelectionMode::row;
    wordSelectionAnchor.reset();
    active_ = true;
    notifyChanged();
}

void SelectionService::selectWordOrExpression(Position at, Buffer& buffer)
{
    // Clicks land on existing cells only: a column at the edge or a row past the last line would
    // read a cell that is not there.
    const int c = std::clamp(at.col, 0, std::max(terminal_.cols - 1, 0));
    const int r = std::clamp(at.row, 0, std::max(buffer.lines().count() - 1, 0));
    const Position p{c, r};
    auto ch = characterAt(buffer, c, r);

    auto selectRun = [&] {
        start = {snap(buffer, c, r, false), r};
        end = {snap(buffer, c, r, true), r};
        hasSelectionRange = start.col != end.col;
    };
    if (ch && (*ch == nullChar || *ch == U" " || isLetterOrNumber(*ch))) {
        selectRun();
    } else if (ch && (*ch == U"(" || *ch == U"[" || *ch == U"{")) {
        balancedSearchForward(buffer, p);
    } else if (ch && (*ch == U")" || *ch == U"]" || *ch == U"}")) {
        balancedSearchBackward(buffer, p);
    } else {
        start = end = p;
        hasSelectionRange = false;
    }
    selectionMode = SelectionMode::word;
    wordSelectionAnchor = std::make_pair(start, end);
    active_ = true;
    notifyChanged();
}

namespace {

// The bracket that closes (or, scanning backwards, opens) the one at a cell; 0 for other cells.
// Brackets are plain scalars, so cluster codes never match and need no look-up.
int32_t partnerOf(int32_t code, bool forward)
{
    if (forward) return code == '(' ? ')' : code == '[' ? ']' : code == '{' ? '}' : 0;
    return code == ')' ? '(' : code == ']' ? '[' : code == '}' ? '{' : 0;
}

} // namespace

void SelectionService::balancedSearchForward(Buffer& buffer, Position p)
{
    auto& ring = buffer.lines();
    std::vector<int32_t> expected;
    for (int y = p.row; y < ring.count(); y++) {
        const BufferLine& line = ring[y];
        for (int x = y == p.row ? p.col : 0; x < line.count(); x++) {
            const int32_t code = line[x].code;
            if (int32_t closer = partnerOf(code, true)) {
                expected.push_back(closer);
            } else if (!expected.empty() && code == expected.back()) {
                expected.pop_back();
                if (expected.empty()) {
                    start = p;
                    end = {x + 1, y};
                    hasSelectionRange = start != end;
                    return;
                }
            }
        }
    }
    start = end = p;
    hasSelectionRange = false;
}

void SelectionService::balancedSearchBackward(Buffer& buffer, Position p)
{
    auto& ring = buffer.lines();
    std::vector<int32_t> expected;
    for (int y = p.row; y >= 0; y--) {
        const BufferLine& line = ring[y];
        for (int x = y == p.row ? std::min(p.col, line.count() - 1) : line.count() - 1; x >= 0; x--) {
            const int32_t code = line[x].code;
            if (int32_t opener = partnerOf(code, false)) {
                expected.push_back(opener);
            } else if (!expected.empty() && code == expected.back()) {
                expected.pop_back();
                if (expected.empty()) {
                    start = {x, y};
                    end = {p.col + 1, p.row};
                    hasSelectionRange = start != end;
                    return;
                }
            }
        }
    }
    start = end = p;
    hasSelectionRange = false;
}

// ---- Reading --------------------------------------------------------------------------------

std::string SelectionService::getSelectedText()
{
    // The terminal's extraction orders the positions, returns nothing for a selection that starts
    // outside the buffer and clamps the last row to the existing lines.
    return terminal_.getText(start, end);
}

std::string SelectionService::debugDescription() const
{
    std::string out = "[Selection (active=";
    out += active_ ? "true" : "false";
    out += ", start=" + start.debugDescription() + " end=" + end.debugDescription() + " hasSR=";
    out += hasSelectionRange ? "true" : "false";
    out += " pivot=" + (pivot ? pivot->debugDescription() : std::string("nil")) + "]";
    return out;
}

// ---- Scrolling ------------------------------------------------------------------------------

bool SelectionService::dropForColumnRestrictedScroll(int top, int bottom, int left, int right)
{
    if (!active_) return false;
    Position a = start, b = end;
    if (b.row < a.row || (b.row == a.row && b.col < a.col)) std::swap(a, b);
    if (b.row < top || a.row > bottom) return false;
    if (a.row == b.row && (b.col < left || a.col > right)) return false;
    setActive(false);
    return true;
}

void SelectionService::adjustForInPlaceScroll(int top, int bottom, int lines)
{
    if (!active_ || lines == 0) return;
    int lo = std::min(start.row, end.row);
    int hi = std::max(start.row, end.row);
    if (hi < top || lo > bottom) return;

    auto inside = [&](int row) { return row >= top && row <= bottom; };
    if (inside(lo) && inside(hi)) {
        bool movePivot = pivot && (*pivot == start || *pivot == end);
        Position newStart = start, newEnd = end;
        std::optional<Position> newPivot = pivot;
        auto anchor = wordSelectionAnchor;
        bool escaped = false;
        auto move = [&](int& row) {
            if (!inside(row)) return;
            row -= lines;
            if (!inside(row)) escaped = true;
        };
        move(newStart.row);
        move(newEnd.row);
        if (movePivot) move(newPivot->row);
        if (anchor) {
            move(anchor->first.row);
            move(anchor->second.row);
        }
        if (!escaped) {
            start = newStart;
            end = newEnd;
            pivot = newPivot;
            wordSelectionAnchor = anchor;
            hasSelectionRange = start != end;
            notifyChanged();
            return;
        }
    }
    setActive(false);
    selectionMode = SelectionMode::character;
    wordSelectionAnchor.reset();
}

void SelectionService::clearSelection()
{
    setActive(false);
    pivot.reset();
    wordSelectionAnchor.reset();
    selectingRows = false;
    start = Position{};
    end = Position{};
    hasSelectionRange = false;
}

} // namespace corvix
