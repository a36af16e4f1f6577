#include "app/ViewModels/DashboardTiles.hpp"

#include "app/Services/tiles/TerminalTileReconciler.hpp"
#include "app/ViewModels/TerminalProcessController.hpp"

namespace brisvane {

DashboardTiles::DashboardTiles(ControllerFactory makeController) : makeController_(std::move(makeController)) {}

DashboardTiles::~DashboardTiles() = default;

TerminalProcessController& DashboardTiles::create(const QUuid& tile, bool conclusionReadingEnabled)
{
    std::unique_ptr<TerminalProcessController> made = makeController_(tile);
    TerminalProcessController& controller = *made;
    controllers_[tile] = std::move(made);
    conclusionReadingEnabled_[tile] = conclusionReadingEnabled;
    return controller;
}

std::unique_ptr<TerminalProcessController> DashboardTiles::close(const QUuid& tile)
{
    std::unique_ptr<TerminalProcessController> closed;
    if (auto found = controllers_.find(tile); found != controllers_.end()) {
        // The process object signals only a child not yet reaped, and still reaps it.
        found->second->terminateShell();
        closed = std::move(found->second);
        controllers_.erase(found);
    }
    attachedPid_.remove(tile);
    return closed;
}

void DashboardTiles::terminateAll()
{
    for (auto& [id, controller] : controllers_) controller->terminateShell();
}

std::optional<bool> DashboardTiles::conclusionReadingEnabled(const QUuid& tile) const
{
    const auto enabled = conclusionReadingEnabled_.constFind(tile);
    if (enabled == conclusionReadingEnabled_.constEnd()) return std::nullopt;
    return *enabled;
}

void DashboardTiles::setConclusionReadingEnabled(const QUuid& tile, bool enabled)
{
    conclusionReadingEnabled_[tile] = enabled;
}

std::optional<int32_t> DashboardTiles::attachedPid(const QUuid& tile) const
{
    const auto pid = attachedPid_.constFind(tile);
    if (pid == attachedPid_.constEnd()) return std::nullopt;
    return *pid;
}

void DashboardTiles::forgetConclusionReading(const QUuid& tile)
{
    conclusionReadingEnabled_.remove(tile);
}

DashboardTiles::Reconciliation DashboardTiles::reconcile(const QList<TerminalTile>& current,
                                                         const QMap<QString, SessionTile>& statusTiles,
                                                         const QList<SessionFileRecord>& rawRecords,
                                                         const ProcessTreeSnapshot& processTree,
                                                         const QMap<QUuid, QString>& liveCwds)
{
    // Snapshots in the tiles' creation order (the order of `terminalTiles`), so the grid keeps
    // its order from pass to pass.
    QList<TerminalTileReconciler::ControllerSnapshot> snapshots;
    const auto snapshot = [&](const QUuid& id, TerminalProcessController& controller) {
        const auto attached = attachedPid_.constFind(id);
        snapshots.push_back({id, controller.runningShellPid(),
                             attached == attachedPid_.cend() ? std::nullopt : std::optional<int32_t>(*attached),
                             controller.hasShellExited()});
    };
    QSet<QUuid> taken;
    for (const TerminalTile& tile : current) {
        const auto found = controllers_.find(tile.id);
        if (found == controllers_.end() || taken.contains(tile.id)) continue;
        taken.insert(tile.id);
        snapshot(tile.id, *found->second);
    }
    for (auto& [id, controller] : controllers_) {
        if (!taken.contains(id)) snapshot(id, *controller);
    }

    const TerminalTileReconciler::Result result =
        TerminalTileReconciler::reconcile(snapshots, statusTiles, rawRecords, processTree, liveCwds);

    for (auto entry = result.newlyAttachedPids.begin(); entry != result.newlyAttachedPids.end(); ++entry) {
        attachedPid_.insert(entry.key(), entry.value());
    }
    for (const QUuid& id : result.detachedTileIds) attachedPid_.remove(id);
    Reconciliation reconciliation;
    for (const QUuid& id : result.exitedTileIds) {
        if (auto found = controllers_.find(id); found != controllers_.end()) {
            // The process object signals only a child not yet reaped.
            found->second->terminateShell();
            reconciliation.closed.push_back(std::move(found->second));
            controllers_.erase(found);
        }
        attachedPid_.remove(id);
        conclusionReadingEnabled_.remove(id);
    }

    reconciliation.tiles = result.tiles;
    for (auto entry = statusTiles.begin(); entry != statusTiles.end(); ++entry) {
        if (!result.attachedSessionKeys.contains(entry.key())) reconciliation.external.insert(entry.key(), entry.value());
    }
    return reconciliation;
}

} // namespace brisvane
