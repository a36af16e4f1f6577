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
            attrs += "|" + std::to_string(col) + ":" + cell.attribute.toSgr();
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
