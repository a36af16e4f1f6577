#pragma once

namespace corvix {

// A cell coordinate: column and row, both zero-based.
struct Position {
    int col = 0;
    int row = 0;

    friend bool operator==(const Position&, const Position&) = default;
};

} // namespace corvix
