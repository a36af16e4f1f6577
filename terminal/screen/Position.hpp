#pragma once

#include <string>

namespace corvix {

// A cell coordinate: column and row, both zero-based. Selection, search and text extraction use
// buffer rows (0 = the oldest line of the scroll-back).
struct Position {
    enum class CompareResult { before, after, equal };

    int col = 0;
    int row = 0;

    // Rows decide before columns.
    static CompareResult compare(const Position& a, const Position& b)
    {
        if (a.row < b.row || (a.row == b.row && a.col < b.col)) return CompareResult::before;
        if (a.row > b.row || (a.row == b.row && a.col > b.col)) return CompareResult::after;
        return CompareResult::equal;
    }

    std::string debugDescription() const { return "col=" + std::to_string(col) + " row=" + std::to_string(row); }

    friend bool operator==(const Position&, const Position&) = default;
};

} // namespace corvix
