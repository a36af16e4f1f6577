#pragma once

#include "app/Models/ProjectDisplayName.hpp"
#include "app/Models/SessionState.hpp"

#include <QString>
#include <QUuid>

#include <cstdint>

namespace brisvane {

// Where a terminal tile stands: an agent session attached to its shell, the shell alone, or
// ended. Only `attached` carries a pid; equality ignores it for the other cases.
struct TerminalTileLifecycle {
    enum class Case { attached, shellOnly, closed };

    Case kind = Case::shellOnly;
    // The agent's process; meaningful only for `attached`.
    int32_t pid = 0;

    static TerminalTileLifecycle attached(int32_t pid) { return {Case::attached, pid}; }
    static TerminalTileLifecycle shellOnly() { return {Case::shellOnly, 0}; }
    static TerminalTileLifecycle closed() { return {Case::closed, 0}; }

    friend bool operator==(const TerminalTileLifecycle& a, const TerminalTileLifecycle& b)
    {
        return a.kind == b.kind && (a.kind != Case::attached || a.pid == b.pid);
    }
};

// What the dashboard shows for one open terminal. Owns nothing: the shell belongs to the tile's
// process controller, kept by the model under the same id. Rebuilt wholesale at every refresh.
struct TerminalTile {
    QUuid id;
    TerminalTileLifecycle lifecycle;
    ProjectDisplayName projectName;
    SessionState sessionState;
    // The agent's model, or the localised "unknown".
    QString modelName;

    friend bool operator==(const TerminalTile&, const TerminalTile&) = default;
};

} // namespace brisvane
