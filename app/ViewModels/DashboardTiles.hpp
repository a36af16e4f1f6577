#pragma once

#include "app/Models/ProcessTreeSnapshot.hpp"
#include "app/Models/SessionFileRecord.hpp"
#include "app/Models/SessionTile.hpp"
#include "app/Models/TerminalTile.hpp"

#include <QMap>
#include <QUuid>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace brisvane {

class TerminalProcessController;

// The application's terminal tiles beyond their list: each tile's controller (its shell and
// terminal session), the agent attached to each tile and each tile's summary-reading switch, and
// the reconciliation that keeps the tiles in step with the sessions seen. GUI thread only.
class DashboardTiles {
public:
    using Controllers = std::map<QUuid, std::unique_ptr<TerminalProcessController>>;
    // Makes a new tile's controller with its terminal session ready.
    using ControllerFactory = std::function<std::unique_ptr<TerminalProcessController>(const QUuid&)>;

    explicit DashboardTiles(ControllerFactory makeController);
    ~DashboardTiles();

    struct Reconciliation {
        // The tiles to show, in the order they were given.
        QList<TerminalTile> tiles;
        // The sessions no tile shows, by grid key.
        QMap<QString, SessionTile> external;
        // The exited tiles' controllers, taken out of the map with their shells ended. Destroyed
        // only after the tiles left the list, so that a view hosting one has handed it back first.
        std::vector<std::unique_ptr<TerminalProcessController>> closed;
    };

    const Controllers& controllers() const { return controllers_; }
    bool contains(const QUuid& tile) const { return controllers_.contains(tile); }
    // Makes and keeps the tile's controller; the tile starts with the given summary-reading switch.
    TerminalProcessController& create(const QUuid& tile, bool conclusionReadingEnabled);
    // Ends the tile's shell, takes its controller out and forgets its agent. The caller destroys
    // the controller once the tile left the list, so that a view hosting it has handed it back
    // first. Empty for an unknown tile.
    std::unique_ptr<TerminalProcessController> close(const QUuid& tile);
    // Ends every tile's shell; the controllers stay.
    void terminateAll();

    const QMap<QUuid, int32_t>& attachedPids() const { return attachedPid_; }
    const QMap<QUuid, bool>& conclusionReadingEnabled() const { return conclusionReadingEnabled_; }
    // The tile's own switch, if it has one.
    std::optional<bool> conclusionReadingEnabled(const QUuid& tile) const;
    void setConclusionReadingEnabled(const QUuid& tile, bool enabled);
    // The agent attached to the tile, if any.
    std::optional<int32_t> attachedPid(const QUuid& tile) const;
    void forgetConclusionReading(const QUuid& tile);

    // Ties the controllers to the sessions of this pass: attaches and detaches agents, and takes the
    // exited tiles' controllers out. `current` gives the tiles' order (their creation order), so
    // the grid keeps its order from pass to pass.
    Reconciliation reconcile(const QList<TerminalTile>& current,
                             const QMap<QString, SessionTile>& statusTiles,
                             const QList<SessionFileRecord>& rawRecords, const ProcessTreeSnapshot& processTree,
                             const QMap<QUuid, QString>& liveCwds);

private:
    // Tests reach the state the refresh fills in through the seam.
    friend struct DashboardViewModelTestSeam;
    ControllerFactory makeController_;
    Controllers controllers_;
    QMap<QUuid, int32_t> attachedPid_;
    QMap<QUuid, bool> conclusionReadingEnabled_;
};

} // namespace brisvane
