#pragma once

#include "app/Models/ProcessTreeSnapshot.hpp"
#include "app/Models/SessionFileRecord.hpp"
#include "app/Models/SessionTile.hpp"
#include "app/Models/TerminalTile.hpp"

#include <QMap>
#include <QUuid>

#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace brisvane {

class TerminalProcessController;

// What the application's terminal tiles are tied to beyond their shells: the agent attached to
// each tile and each tile's summary-reading switch, and the reconciliation that keeps the tiles in
// step with the sessions seen. GUI thread only.
class DashboardTiles {
public:
    using Controllers = std::map<QUuid, std::unique_ptr<TerminalProcessController>>;

    struct Reconciliation {
        // The tiles to show, in the order they were given.
        QList<TerminalTile> tiles;
        // The sessions no tile shows, by grid key.
        QMap<QString, SessionTile> external;
        // The exited tiles' controllers, taken out of the map with their shells ended. Destroyed
        // only after the tiles left the list, so that a view hosting one has handed it back first.
        std::vector<std::unique_ptr<TerminalProcessController>> closed;
    };

    const QMap<QUuid, int32_t>& attachedPids() const { return attachedPid_; }
    const QMap<QUuid, bool>& conclusionReadingEnabled() const { return conclusionReadingEnabled_; }
    // The tile's own switch, if it has one.
    std::optional<bool> conclusionReadingEnabled(const QUuid& tile) const;
    void setConclusionReadingEnabled(const QUuid& tile, bool enabled);
    // The agent attached to the tile, if any.
    std::optional<int32_t> attachedPid(const QUuid& tile) const;
    void forgetAttachment(const QUuid& tile);
    void forgetConclusionReading(const QUuid& tile);

    // Ties `controllers` to the sessions of this pass: attaches and detaches agents, and takes the
    // exited tiles' controllers out. `current` gives the tiles' order (their creation order), so
    // the grid keeps its order from pass to pass.
    Reconciliation reconcile(Controllers& controllers, const QList<TerminalTile>& current,
                             const QMap<QString, SessionTile>& statusTiles,
                             const QList<SessionFileRecord>& rawRecords, const ProcessTreeSnapshot& processTree,
                             const QMap<QUuid, QString>& liveCwds);

private:
    // Tests reach the state the refresh fills in through the seam.
    friend struct DashboardViewModelTestSeam;
    QMap<QUuid, int32_t> attachedPid_;
    QMap<QUuid, bool> conclusionReadingEnabled_;
};

} // namespace brisvane
