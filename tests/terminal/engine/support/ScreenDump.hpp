#pragma once

#include "terminal/engine/Terminal.hpp"
#include "terminal/screen/Utf8.hpp"

#include <string>

namespace corvix::test {

struct DumpOptions {
    // Prefix every soft-wrapped row with "~".
    bool wrapMarkers = false;
    // Append "|<col>:<sgr>" for each cell whose attribute differs from the default.
    bool attributes = false;
    // Keep trailing blanks.
    bool untrimmed = false;
};

// The SGR text leaves the two default colours out; a side that shows the other default (reverse
// video, DECSCNM, writes both so) is marked "~fg" / "~bg", so that a light screen does not dump
// like a dark one.
inline std::string swappedDefaults(const Attribute& a)
{
    std::string marks;
    if (a.fg.kind() == Attribute::Color::Kind::defaultInvertedColor) marks += "~fg";
    if (a.bg.kind() == Attribute::Color::Kind::defaultInvertedColor) marks += "~bg";
    return marks;
}

// The viewport as text, one line per row: cells with code 0 read as spaces, wide-character
// placeholders are skipped, clusters resolved through the terminal.
inline std::string dumpRow(Terminal& t, int row, const DumpOptions& o = {})
{
    BufferLine* line = t.getLine(row);
    if (!line) return {};
    std::string text;
    std::string attrs;
    int end = o.untrimmed ? line->count() : line->getTrimmedLength();
    for (int col = 0; col < end; col++) {
        const CharData& cell = (*line)[col];
        if (cell.width == 0 && cell.code == 0) continue;
        if (cell.code == 0)
            text += ' ';
        else
            text += Utf8::encode(t.getCharacter(cell));
        if (o.attributes && cell.attribute != Attribute{})
            attrs += "|" + std::to_string(col) + ":" + cell.attribute.toSgr() + swappedDefaults(cell.attribute);
    }
    // Blanks past the text that carry a rendition (an erase under reverse video leaves the
    // background light) as runs: "|<first>-<last>:<sgr>".
    for (int col = end; o.attributes && col < line->count();) {
        const Attribute a = (*line)[col].attribute;
        int last = col;
        while (last + 1 < line->count() && (*line)[last + 1].attribute == a) last++;
        if (a != Attribute{})
            attrs += "|" + std::to_string(col) + "-" + std::to_string(last) + ":" + a.toSgr() + swappedDefaults(a);
        col = last + 1;
    }
    if (o.wrapMarkers && line->isWrapped()) text = "~" + text;
    return text + attrs;
}

inline std::string dumpScreen(Terminal& t, const DumpOptions& o = {})
{
    std::string out;
    for (int row = 0; row < t.rows; row++) {
        out += dumpRow(t, row, o);
        out += '\n';
    }
    return out;
}

} // namespace corvix::test
