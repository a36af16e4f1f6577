#pragma once

#include "app/Models/FilePathToken.hpp"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace corvix {
class Terminal;
}

// One row of what a terminal shows, as characters with the cells each covers: the bridge between
// path detection, which counts characters, and the overlay, which draws and hit-tests cells. Rows
// are viewport rows (0 = the top row shown, whatever the scroll-back position). GUI thread only.
namespace brisvane::TerminalLineTextExtractor {

struct CellRange {
    int startCell = 0;
    // Exclusive.
    int endCell = 0;
    friend bool operator==(const CellRange&, const CellRange&) = default;
};

// Taken cell by cell and never segmented again: two cells that a later segmentation would join
// (two regional indicators, say) stay two characters, so columns keep matching cells.
struct ExtractedLine {
    // One character (a scalar or a whole cluster) per occupied cell run; empty cells are spaces.
    QStringList characters;
    // One per character, in the same order.
    QList<CellRange> characterCellRanges;

    QString text() const { return characters.join(QString()); }
    friend bool operator==(const ExtractedLine&, const ExtractedLine&) = default;
};

// A token of a row with its cells: its columns stay character indexes.
struct LocatedToken {
    FilePathToken token;
    int startCell = 0;
    // Exclusive.
    int endCell = 0;
    friend bool operator==(const LocatedToken&, const LocatedToken&) = default;
};

// Nothing for a row outside the screen. The text is not trimmed.
std::optional<ExtractedLine> extractLine(corvix::Terminal& terminal, int viewportRow);
// The row's path-like tokens, left to right.
QList<LocatedToken> enumerateFilePathTokens(corvix::Terminal& terminal, int viewportRow);
// The same for a row already extracted.
QList<LocatedToken> enumerateFilePathTokens(const ExtractedLine& line);
// The token under a cell; the right half of a wide character counts as the character.
std::optional<LocatedToken> detectFilePathToken(corvix::Terminal& terminal, int viewportRow, int cellColumn);

} // namespace brisvane::TerminalLineTextExtractor
