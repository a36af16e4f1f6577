#include "app/Services/tiles/TerminalTileReconciler.hpp"

#include "app/Services/sessions/ProjectNameResolver.hpp"
#include "app/Services/sessions/SessionStateMapper.hpp"
#include "app/Services/tiles/TerminalSessionRegistry.hpp"
#include "app/Services/usage/ModelNameResolver.hpp"

#include <limits>

namespace brisvane::TerminalTileReconciler {

namespace {

// Named after the last folder of the shell's directory, or the localised fallback.
TerminalTile shellOnlyTile(const QUuid& id, const QMap<QUuid, QString>& liveCwds)
{
    std::optional<QString> cwd;
    if (const auto entry = liveCwds.constFind(id); entry != liveCwds.constEnd()) cwd = *entry;
    return {
        id,
        TerminalTileLifecycle::shellOnly(),
        ProjectNameResolver::resolve(cwd, std::nullopt),
        SessionState::unknown(),
        ModelNameResolver::unknownModelName(),
    };
}

bool isLive(const QMap<QString, SessionTile>& statusTiles, const QString& key)
{
    const auto tile = statusTiles.constFind(key);
    return tile != statusTiles.constEnd() && tile->state.kind != SessionState::Case::terminated;
}

} // namespace

Result reconcile(const QList<ControllerSnapshot>& controllers, const QMap<QString, SessionTile>& statusTiles,
                 const QList<SessionFileRecord>& rawRecords, const ProcessTreeSnapshot& processTree,
                 const QMap<QUuid, QString>& liveCwds)
{
    Result result;
    QList<TerminalSessionRegistry::PendingTile> pending;
    for (const ControllerSnapshot& controller : controllers) {
        if (controller.hasShellExited) {
            result.exitedTileIds.append(controller.id);
            continue;
        }
        if (controller.attachedPid) {
            const QString key = QString::number(*controller.attachedPid);
            if (isLive(statusTiles, key)) {
                const SessionTile& session = statusTiles[key];
                result.attachedSessionKeys.insert(key);
                result.tiles.append({controller.id, TerminalTileLifecycle::attached(*controller.attachedPid),
                                     session.projectName, session.state, session.modelName});
                continue;
            }
            // Not offered for adoption in this pass: the session may only just have ended.
            result.detachedTileIds.append(controller.id);
        } else if (controller.shellPid) {
            pending.append({controller.id, *controller.shellPid});
        }
        result.tiles.append(shellOnlyTile(controller.id, liveCwds));
    }
    if (pending.isEmpty()) return result;

    for (const TerminalSessionRegistry::Adoption& adoption :
         TerminalSessionRegistry::adoptPids(pending, rawRecords, processTree)) {
        const SessionRecord& record = adoption.record;
        if (!record.pid || *record.pid < std::numeric_limits<int32_t>::min() ||
            *record.pid > std::numeric_limits<int32_t>::max()) {
            continue;
        }
        const auto pid = static_cast<int32_t>(*record.pid);
        const QString key = QString::number(pid);
        result.newlyAttachedPids.insert(adoption.tileId, pid);
        result.attachedSessionKeys.insert(key);
        for (TerminalTile& tile : result.tiles) {
            if (tile.id != adoption.tileId) continue;
            tile.lifecycle = TerminalTileLifecycle::attached(pid);
            // The grid may not list the session yet (its file appeared between the two
            // readings): the record speaks for itself until then. A terminated grid entry is
            // taken as it is; the next pass detaches it.
            const auto session = statusTiles.constFind(key);
            if (session != statusTiles.constEnd()) {
                tile.sessionState = session->state;
                tile.modelName = session->modelName;
                tile.projectName = session->projectName;
            } else {
                tile.sessionState = SessionStateMapper::map(record, true);
                tile.modelName = ModelNameResolver::unknownModelName();
                tile.projectName = ProjectNameResolver::resolve(record.cwd, record.name);
            }
            break;
        }
    }
    return result;
}

} // namespace brisvane::TerminalTileReconciler
