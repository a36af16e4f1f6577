#pragma once

#include "app/Models/ProcessTreeSnapshot.hpp"
#include "app/Models/SessionFileRecord.hpp"
#include "app/Services/platform/FileSystemReading.hpp"

#include <QList>
#include <QString>
#include <QUuid>

#include <cstdint>

namespace brisvane::TerminalSessionRegistry {

// How far up the process tree a session is looked for above its agent.
inline constexpr int kMaxAncestorSteps = 2048;

// A tile whose shell runs and has no session yet.
struct PendingTile {
    QUuid tileId;
    int32_t shellPid = 0;

    friend bool operator==(const PendingTile&, const PendingTile&) = default;
};

// A session found running under a pending tile's shell.
struct Adoption {
    QUuid tileId;
    SessionRecord record;

    friend bool operator==(const Adoption&, const Adoption&) = default;
};

// Every decodable session file of the folder with its key, in listing order; none when the
// folder cannot be listed (the grid build reports that).
QList<SessionFileRecord> readSessionFiles(const QString& directory, const FileSystemReading& fileSystem);
// Whether the session grid shows the record under its pid: the same filters as the grid (an
// interactive session, or one that does not say) and a file named by the pid's decimal text.
// A session the grid does not show could never stay attached, so it is not adopted either.
bool isAdoptable(const SessionFileRecord& file);
// For each pending tile in order, the first adoptable record whose pid (32-bit, not the shell's
// own) has the shell among its first kMaxAncestorSteps ancestors. A record may serve several
// tiles. An empty tree adopts nothing.
QList<Adoption> adoptPids(const QList<PendingTile>& pendingTiles, const QList<SessionFileRecord>& records,
                          const ProcessTreeSnapshot& processTree);

} // namespace brisvane::TerminalSessionRegistry
