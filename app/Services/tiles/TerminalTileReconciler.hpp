#pragma once

#include "app/Models/ProcessTreeSnapshot.hpp"
#include "app/Models/SessionFileRecord.hpp"
#include "app/Models/SessionTile.hpp"
#include "app/Models/TerminalTile.hpp"

#include <QList>
#include <QMap>
#include <QSet>
#include <QString>
#include <QUuid>

#include <cstdint>
#include <optional>

namespace brisvane::TerminalTileReconciler {

// What the model knows of one tile's controller.
struct ControllerSnapshot {
    QUuid id;
    // Only while the shell runs.
    std::optional<int32_t> shellPid;
    // The agent pid the model remembers for the tile.
    std::optional<int32_t> attachedPid;
    bool hasShellExited = false;

    friend bool operator==(const ControllerSnapshot&, const ControllerSnapshot&) = default;
};

struct Result {
    // In snapshot order, without the tiles whose shell has exited.
    QList<TerminalTile> tiles;
    // The tiles that adopted a session in this pass.
    QMap<QUuid, int32_t> newlyAttachedPids;
    QList<QUuid> exitedTileIds;
    // Tiles whose remembered session is gone or terminated.
    QList<QUuid> detachedTileIds;
    // The grid keys (decimal pids) of every session shown in a tile.
    QSet<QString> attachedSessionKeys;

    friend bool operator==(const Result&, const Result&) = default;
};

// Ties tiles to agent sessions. A remembered session stays attached while the grid holds it
// alive; otherwise the tile falls back to its shell alone and may adopt, on a later pass, an
// adoptable session running under its shell. `statusTiles` is the session grid by key,
// `liveCwds` the shells' folders by tile. Pure: the model applies the result.
Result reconcile(const QList<ControllerSnapshot>& controllers, const QMap<QString, SessionTile>& statusTiles,
                 const QList<SessionFileRecord>& rawRecords, const ProcessTreeSnapshot& processTree,
                 const QMap<QUuid, QString>& liveCwds);

} // namespace brisvane::TerminalTileReconciler
