#include "app/Services/sessions/SessionGridBuilder.hpp"

#include "app/Services/sessions/ClaudeProjectDirectoryNameEncoder.hpp"
#include "app/Services/sessions/ProjectNameResolver.hpp"
#include "app/Services/sessions/SessionRecordParser.hpp"
#include "app/Services/sessions/SessionStateMapper.hpp"
#include "app/Services/usage/ModelNameResolver.hpp"

#include <QSet>

#include <algorithm>
#include <vector>

namespace brisvane::SessionGridBuilder {

namespace {

// The model is nearly always in the last 64 KiB; a long tool output at the end can push it back.
constexpr int64_t kFirstTailBytes = 64 * 1024;
constexpr int64_t kSecondTailBytes = 512 * 1024;

QString resolveModelName(const std::optional<SessionRecord>& record, const QString& claudeHome,
                         const FileSystemReading& fileSystem)
{
    if (!record || !record->cwd || !record->sessionId) return ModelNameResolver::unknownModelName();
    const QString path = claudeHome + QLatin1String("/projects/") + ClaudeProjectDirectoryNameEncoder::encode(*record->cwd)
        + u'/' + *record->sessionId + QLatin1String(".jsonl");
    if (!fileSystem.fileExists(path)) return ModelNameResolver::unknownModelName();
    for (const int64_t maxBytes : {kFirstTailBytes, kSecondTailBytes}) {
        const auto tail = fileSystem.readTail(path, maxBytes);
        if (!tail) break;
        if (auto model = ModelNameResolver::latestAssistantModel(*tail)) return *model;
        // The whole transcript was read: a longer tail cannot hold more.
        if (!tail->isTruncated) break;
    }
    return ModelNameResolver::unknownModelName();
}

bool isRetained(const SessionTile& tile, const QDateTime& now, double retention)
{
    if (!tile.terminatedAt) return true;
    return static_cast<double>(tile.terminatedAt->msecsTo(now)) / 1000.0 < retention;
}

// The text's Unicode scalars after canonical composition: the order in which tiles sort.
QList<uint> sortKey(const QString& text)
{
    return text.normalized(QString::NormalizationForm_C).toUcs4();
}

} // namespace

SessionGridBuildResult build(const SessionGridBuildParameters& parameters)
{
    const FileSystemReading& fileSystem = *parameters.fileSystem;
    const auto listing = fileSystem.contentsOfDirectory(parameters.sessionsDirectory);
    // A folder that exists but cannot be read right now says nothing about the sessions in it:
    // taking it as empty would end every live session on screen.
    if (!listing && !listing.error().isNotFound()) return {parameters.knownTiles, true};

    QMap<QString, SessionTile> tiles = parameters.knownTiles;
    QSet<QString> seen;
    for (const QString& name : listing ? *listing : QStringList()) {
        if (!SessionRecordParser::isSessionFileName(name)) continue;
        const QString id = SessionRecordParser::sessionKey(name);
        const std::optional<SessionRecord> record =
            SessionRecordParser::readRecord(parameters.sessionsDirectory + u'/' + name, fileSystem);
        if (record && record->kind && *record->kind != u"interactive") continue;
        seen.insert(id);
        tiles.insert(id, SessionTile{
                             id,
                             SessionStateMapper::map(record, true),
                             ProjectNameResolver::resolve(record ? record->cwd : std::nullopt,
                                                          record ? record->name : std::nullopt),
                             resolveModelName(record, parameters.claudeHome, fileSystem),
                             std::nullopt,
                         });
    }

    for (auto tile = tiles.begin(); tile != tiles.end();) {
        if (!seen.contains(tile.key()) && !tile->terminatedAt) {
            tile->state = SessionState::terminated();
            tile->terminatedAt = parameters.now;
        }
        if (isRetained(*tile, parameters.now, parameters.terminatedRetention)) {
            ++tile;
        } else {
            tile = tiles.erase(tile);
        }
    }
    // A missing folder got here as an empty one: the agent has not made it yet, nothing failed.
    return {tiles, false};
}

QList<SessionTile> sortedTiles(const QMap<QString, SessionTile>& tiles)
{
    struct Entry {
        QList<uint> primary;
        QList<uint> id;
        const SessionTile* tile;
    };
    std::vector<Entry> entries;
    entries.reserve(tiles.size());
    for (const SessionTile& tile : tiles) entries.push_back({sortKey(tile.projectName.primary), sortKey(tile.id), &tile});
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        if (a.primary != b.primary) return a.primary < b.primary;
        return a.id < b.id;
    });
    QList<SessionTile> sorted;
    sorted.reserve(tiles.size());
    for (const Entry& entry : entries) sorted.append(*entry.tile);
    return sorted;
}

} // namespace brisvane::SessionGridBuilder
