// Turning buffer cells back into text: selections, copied ranges and whole-buffer dumps.
#include "terminal/engine/TerminalText.hpp"

#include "terminal/engine/Terminal.hpp"

#include "terminal/screen/GraphemeBreakState.hpp"
#include "terminal/screen/Utf8.hpp"

#include <algorithm>

namespace corvix {

namespace {

// Number of user-perceived characters (extended grapheme clusters) in UTF-8 text.
int graphemeCount(std::string_view text)
{
    GraphemeBreakState state;
    int count = 0;
    for (size_t pos = 0; pos < text.size();)
        if (state.append(Utf8::decodeNext(text, pos))) count++;
    return count;
}

LineFragment lineBreak(int row) { return LineFragment{"\n", row, -1, 1}; }

// No code, no style and default colours everywhere: such a row adds nothing but its line break.
bool isBlank(const BufferLine& line)
{
    auto isDefault = [](Attribute::Color c) {
        return c.kind() == Attribute::Color::Kind::defaultColor || c.kind() == Attribute::Color::Kind::defaultInvertedColor;
    };
    bool blank = true;
    line.forEachHeldCell([&](const CharData& cell) {
        const Attribute& a = cell.attribute;
        if (cell.code != 0 || !a.style.isEmpty() || !isDefault(a.fg) || !isDefault(a.bg) ||
            a.underlineStyle != UnderlineStyle::none || a.underlineColor)
            blank = false;
    });
    return blank;
}

} // namespace

Terminal& TerminalText::terminal()
{
    // Only Terminal makes one, as its base.
    return static_cast<Terminal&>(*this);
}

std::string TerminalText::translateBufferLineToString(Buffer& buffer, int line, int start, int end)
{
    if (line < 0 || line >= buffer.lines().count()) return {};
    BufferLine& row = buffer.lines()[line];
    if (row.count() == 0) return {};
    // Callers pass columns of 0 or more; a negative one would address no cell.
    start = std::max(start, 0);
    // A column past the row would read its last cell again.
    if (end > row.count()) end = row.count();
    std::string text = row.translateToString(true, start, end, true, [&t = terminal()](const CharData& cell) {
        return Utf8::encode(t.character(cell.code));
    });
    // Null cells between characters read as spaces (trailing ones are trimmed already).
    std::replace(text.begin(), text.end(), '\0', ' ');
    return text;
}

std::vector<Line> TerminalText::_getSelectedLines(Position start, Position end, Buffer& buffer)
{
    std::vector<Line> lines(1);
    const int count = buffer.lines().count();
    if (start.row < 0 || end.row >= count || start.row > end.row) return lines;

    std::vector<LineFragment> pending;
    // Blank rows between text keep their line breaks; a change of row starts a new line.
    auto addBlanks = [&] {
        for (size_t i = 0; i < pending.size(); i++) {
            if (i > 0 && pending[i].line != pending[i - 1].line) lines.emplace_back();
            lines.back().add(std::move(pending[i]));
        }
        pending.clear();
    };
    auto textFragment = [](std::string text, int row, int location) {
        int length = graphemeCount(text);
        return LineFragment{std::move(text), row, location, length};
    };

    auto& ring = buffer.lines();
    if (ring[start.row].hasAnyContent()) {
        int last = end.row > start.row ? -1 : end.col;
        lines.back().add(textFragment(translateBufferLineToString(buffer, start.row, start.col, last), start.row,
                                      start.col));
    }

    for (int r = start.row + 1; r < end.row; r++) {
        BufferLine& row = ring[r];
        std::string text = translateBufferLineToString(buffer, r, 0, -1);
        if (isBlank(row)) {
            if (!row.isWrapped()) pending.push_back(lineBreak(r - 1));
            pending.push_back(textFragment(std::move(text), r, 0));
        } else {
            addBlanks();
            if (!row.isWrapped()) {
                lines.back().add(lineBreak(r - 1));
                lines.emplace_back();
            }
            lines.back().add(textFragment(std::move(text), r, 0));
        }
    }

    if (end.row != start.row && ring[end.row].hasAnyContent()) {
        addBlanks();
        std::string text = translateBufferLineToString(buffer, end.row, 0, end.col);
        if (!ring[end.row].isWrapped()) {
            lines.back().add(lineBreak(end.row - 1));
            lines.emplace_back();
        }
        lines.back().add(textFragment(std::move(text), end.row, 0));
    }
    return lines;
}

std::string TerminalText::getText(Position start, Position end)
{
    auto order = Position::compare(start, end);
    if (order == Position::CompareResult::equal) return {};
    if (order == Position::CompareResult::after) std::swap(start, end);
    Buffer& active = terminal().buffer();
    const int count = active.lines().count();
    if (start.row < 0 || start.row >= count) return {};
    end.row = std::min(end.row, count - 1);

    std::string text;
    for (const Line& line : _getSelectedLines(start, end, active))
        for (const LineFragment& f : line.fragments)
            if (f.text) text += *f.text;
    return text;
}

std::vector<uint8_t> TerminalText::getBufferAsData(BufferKind kind, TextEncoding encoding)
{
    Terminal& t = terminal();
    Buffer& b = kind == BufferKind::normal ? t.normalBuffer() : kind == BufferKind::alt ? t.altBuffer() : t.buffer();
    auto& ring = b.lines();
    std::vector<uint8_t> data;
    std::string text;
    for (int i = 0; i < ring.count(); i++) {
        const BufferLine& line = ring[i];
        const int end = std::min(line.getTrimmedLength(), line.count());
        text.clear();
        bool encodable = true;
        for (int col = 0; col < end; col++) {
            char32_t ch = line[col].getCharacter();
            // ASCII cannot hold the line: it is left out whole rather than written lossily.
            if (encoding == TextEncoding::ascii && ch > 0x7F) {
                encodable = false;
                break;
            }
            Utf8::append(text, ch);
        }
        if (!encodable) continue;
        data.insert(data.end(), text.begin(), text.end());
        data.push_back('\n');
    }
    return data;
}

} // namespace corvix
