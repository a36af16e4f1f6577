#pragma once

// Helpers shared by the paragraph and layout tests: a small terminal whose lines are written
// cell by cell, so that each test states exactly what every column holds.

#include "terminal/bidi/TerminalBidi.hpp"
#include "terminal/engine/Terminal.hpp"
#include "terminal/screen/Buffer.hpp"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace corvix::test {

// A terminal of `cols` x `rows` without scroll-back: buffer rows are screen rows.
inline std::unique_ptr<Terminal> bidiTerminal(int cols, int rows)
{
    auto options = TerminalOptions::defaults();
    options.cols = cols;
    options.rows = rows;
    options.scrollback = 0;
    return std::make_unique<Terminal>(nullptr, options);
}

// Writes one cell with the code the print path would store (the scalar below U+10000, else a
// key of the terminal's cluster table). A width of 2 also writes the right-half placeholder.
inline void putCell(Terminal& terminal, int row, int col, std::u32string_view text, int width = 1)
{
    BufferLine& line = terminal.buffer().lines()[row];
    CharData cell;
    cell.code = terminal.code(text);
    cell.width = int8_t(width);
    line.set(col, cell);
    if (width == 2) {
        CharData placeholder;
        placeholder.width = 0;
        line.set(col + 1, placeholder);
    }
}

// Writes `text` from column 0, one scalar per narrow cell.
inline void putRow(Terminal& terminal, int row, std::u32string_view text)
{
    for (size_t i = 0; i < text.size(); ++i) putCell(terminal, row, int(i), text.substr(i, 1));
}

inline void setState(Terminal& terminal, int row, BidiPresentationState state)
{
    terminal.buffer().lines()[row].setBidiState(state);
}

// The paragraph result of `row` with the terminal's own column count.
inline std::shared_ptr<const TerminalBidi::ParagraphResult> paragraphOf(Terminal& terminal, int row, uint64_t font = 1)
{
    return TerminalBidi::paragraphResult(row, terminal.buffer(), terminal.buffer().cols(), terminal, font);
}

inline std::vector<int> logicalColsOf(const BidiRowLayout& layout)
{
    std::vector<int> cols;
    for (const auto& cell : layout.visualCells) cols.push_back(cell.logicalCol);
    return cols;
}

} // namespace corvix::test
