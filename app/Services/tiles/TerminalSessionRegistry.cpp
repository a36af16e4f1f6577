#include "app/Services/tiles/TerminalSessionRegistry.hpp"

#include "app/Services/sessions/SessionRecordParser.hpp"

#include <limits>
#include <optional>

namespace brisvane::TerminalSessionRegistry {

namespace {

std::optional<int32_t> pid32(const SessionRecord& record)
{
    if (!record.pid) return std::nullopt;
    if (*record.pid < std::numeric_limits<int32_t>::min() || *record.pid > std::numeric_limits<int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<int32_t>(*record.pid);
}

bool descendsFrom(int32_t pid, int32_t shellPid, const ProcessTreeSnapshot& processTree)
{
    const QHash<int32_t, int32_t>& parents = processTree.parentByPid;
    auto entry = parents.constFind(pid);
    // A loop in the parent links, or a chain longer than the limit, ends here.
    for (int step = 0; step < kMaxAncestorSteps && entry != parents.constEnd(); ++step) {
        if (entry.value() == shellPid) return true;
        entry = parents.constFind(entry.value());
    }
    return false;
}

} // namespace

QList<SessionFileRecord> readSessionFiles(const QString& directory, const FileSystemReading& fileSystem)
{
    QList<SessionFileRecord> files;
    const auto names = fileSystem.contentsOfDirectory(directory);
    if (!names) return files;
    for (const QString& name : *names) {
        if (!SessionRecordParser::isSessionFileName(name)) continue;
        if (auto record = SessionRecordParser::readRecord(directory + u'/' + name, fileSystem)) {
            files.append({SessionRecordParser::sessionKey(name), std::move(*record)});
        }
    }
    return files;
}

bool isAdoptable(const SessionFileRecord& file)
{
    const SessionRecord& record = file.record;
    if (record.kind && *record.kind != u"interactive") return false;
    return record.pid && file.key == QString::number(*record.pid);
}

QList<Adoption> adoptPids(const QList<PendingTile>& pendingTiles, const QList<SessionFileRecord>& records,
                          const ProcessTreeSnapshot& processTree)
{
    QList<Adoption> adoptions;
    if (processTree.parentByPid.isEmpty()) return adoptions;
    for (const PendingTile& tile : pendingTiles) {
        for (const SessionFileRecord& file : records) {
            const std::optional<int32_t> pid = pid32(file.record);
            if (!pid || *pid == tile.shellPid || !isAdoptable(file)) continue;
            if (descendsFrom(*pid, tile.shellPid, processTree)) {
                adoptions.append({tile.tileId, file.record});
                break;
            }
        }
    }
    return adoptions;
}

} // namespace brisvane::TerminalSessionRegistry
