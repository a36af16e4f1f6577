#include "app/ViewModels/DashboardTiles.hpp"

#include "app/Services/tiles/TerminalTileReconciler.hpp"
#include "app/ViewModels/TerminalProcessController.hpp"

namespace brisvane {

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

void DashboardTiles::forgetAttachment(const QUuid& tile)
{
    attachedPid_.remove(tile);
}

void DashboardTiles::forgetConclusionReading(const QUuid& tile)
{
    conclusionReadingEnabled_.remove(tile);
}

DashboardTiles::Reconciliation DashboardTiles::reconcile(Controllers& controllers, const QList<TerminalTile>& current,
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
        const auto found = controllers.find(tile.id);
        if (found == controllers.end() || taken.contains(tile.id)) continue;
        taken.insert(tile.id);
        snapshot(tile.id, *found->second);
    }
    for (auto& [id, controller] : controllers) {
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
        if (auto found = controllers.find(id); found != controllers.end()) {
            // The process object signals only a child not yet reaped.
            found->second->terminateShell();
            reconciliation.closed.push_back(std::move(found->second));
            controllers.erase(found);
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
