#pragma once

#include "app/Models/TerminalTile.hpp"

#include <QString>

#include <optional>

namespace brisvane {

// What one cell of the dashboard grid shows: an open terminal tile, or the tile that opens a
// new terminal.
struct GridTile {
    // Absent: the new-terminal tile.
    std::optional<TerminalTile> terminal;

    static GridTile newSession() { return {}; }
    static GridTile of(const TerminalTile& tile) { return {tile}; }

    static inline const QString kNewSessionId = QStringLiteral("new-session");
    // "terminal-" + the tile's upper-case UUID, or "new-session".
    QString id() const;

    friend bool operator==(const GridTile&, const GridTile&) = default;
};

} // namespace brisvane
