#include "app/ViewModels/DashboardViewModel.hpp"

#include "app/Models/UuidText.hpp"
#include "app/Services/sessions/SessionGridBuilder.hpp"
#include "app/ViewModels/TerminalProcessController.hpp"

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcDashboardViewModel)

namespace brisvane {

void DashboardViewModel::reconcileTerminalTiles(const QMap<QString, SessionTile>& statusTiles,
                                                const QList<SessionFileRecord>& rawRecords,
                                                const ProcessTreeSnapshot& processTree,
                                                const QMap<QUuid, QString>& liveCwds, const QDateTime& now)
{
    DashboardTiles::Reconciliation result =
        terminals_.reconcile(terminalTiles_, statusTiles, rawRecords, processTree, liveCwds);

    setTerminalTiles(result.tiles);
    persistNewGridOrderingIfNeeded();
    result.closed.clear();

    QList<SessionTile> sorted = SessionGridBuilder::sortedTiles(result.external);
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
        const bool hasController = terminals_.contains(tile.terminal->id);
        order << QStringLiteral("term(%1,controller=%2)")
                     .arg(UuidText::format(tile.terminal->id).left(8),
                          hasController ? QStringLiteral("有") : QStringLiteral("無"));
    }
    qCInfo(lcDashboardViewModel, "グリッド再構築: terminalTiles=%ld GridTile=%ld pages=%ld page=%ld 並び=[%s]",
           long(terminalTiles_.size()), long(grid.size()), long(pages().size()), long(currentPageIndex() + 1),
           qUtf8Printable(order.join(u' ')));
}

} // namespace brisvane
