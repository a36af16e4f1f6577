#include "app/ViewModels/DashboardViewModel.hpp"

#include "app/Models/UuidText.hpp"
#include "app/Services/sessions/SessionGridBuilder.hpp"
#include "app/Services/tiles/TerminalTileReconciler.hpp"
#include "app/ViewModels/TerminalProcessController.hpp"

#include <QLoggingCategory>

#include <vector>

Q_DECLARE_LOGGING_CATEGORY(lcDashboardViewModel)

namespace brisvane {

void DashboardViewModel::reconcileTerminalTiles(const QMap<QString, SessionTile>& statusTiles,
                                                const QList<SessionFileRecord>& rawRecords,
                                                const ProcessTreeSnapshot& processTree,
                                                const QMap<QUuid, QString>& liveCwds, const QDateTime& now)
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
    for (const TerminalTile& tile : terminalTiles_) {
        const auto found = terminalControllers_.find(tile.id);
        if (found == terminalControllers_.end() || taken.contains(tile.id)) continue;
        taken.insert(tile.id);
        snapshot(tile.id, *found->second);
    }
    for (auto& [id, controller] : terminalControllers_) {
        if (!taken.contains(id)) snapshot(id, *controller);
    }

    const TerminalTileReconciler::Result result =
        TerminalTileReconciler::reconcile(snapshots, statusTiles, rawRecords, processTree, liveCwds);

    for (auto entry = result.newlyAttachedPids.begin(); entry != result.newlyAttachedPids.end(); ++entry) {
        attachedPid_.insert(entry.key(), entry.value());
    }
    for (const QUuid& id : result.detachedTileIds) attachedPid_.remove(id);
    // The closed tiles' controllers (and their views) go only after the tiles left the list, so
    // that a view hosting one has handed it back first.
    std::vector<std::unique_ptr<TerminalProcessController>> closed;
    for (const QUuid& id : result.exitedTileIds) {
        if (auto found = terminalControllers_.find(id); found != terminalControllers_.end()) {
            // The process object signals only a child not yet reaped.
            found->second->terminateShell();
            closed.push_back(std::move(found->second));
            terminalControllers_.erase(found);
        }
        attachedPid_.remove(id);
        tileConclusionReadingEnabled_.remove(id);
    }

    setTerminalTiles(result.tiles);
    persistNewGridOrderingIfNeeded();
    closed.clear();

    QMap<QString, SessionTile> external;
    for (auto entry = statusTiles.begin(); entry != statusTiles.end(); ++entry) {
        if (!result.attachedSessionKeys.contains(entry.key())) external.insert(entry.key(), entry.value());
    }
    QList<SessionTile> sorted = SessionGridBuilder::sortedTiles(external);
    if (sorted != tiles_) {
        tiles_ = std::move(sorted);
        emit tilesChanged();
    }

    logGridRebuild();
    evaluateAnnouncements(now);
}

void DashboardViewModel::logGridRebuild() const
{
    const QList<GridTile> grid = gridTiles();
    QStringList order;
    for (const GridTile& tile : gridOrdering().sorted(grid)) {
        if (!tile.terminal) {
            order << QStringLiteral("＋");
            continue;
        }
        const bool hasController = terminalControllers_.count(tile.terminal->id) != 0;
        order << QStringLiteral("term(%1,controller=%2)")
                     .arg(UuidText::format(tile.terminal->id).left(8),
                          hasController ? QStringLiteral("有") : QStringLiteral("無"));
    }
    qCInfo(lcDashboardViewModel, "グリッド再構築: terminalTiles=%ld GridTile=%ld pages=%ld page=%ld 並び=[%s]",
           long(terminalTiles_.size()), long(grid.size()), long(pages().size()), long(currentPageIndex() + 1),
           qUtf8Printable(order.join(u' ')));
}

} // namespace brisvane
