#pragma once

#include "app/Models/SessionTile.hpp"
#include "app/Services/platform/FileSystemReading.hpp"

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>

#include <memory>

namespace brisvane {

// What one refresh hands the grid build. Plain values and a shared reader, so the build can run
// on a worker while the model moves on.
struct SessionGridBuildParameters {
    // How long a vanished session stays on screen as terminated, in seconds.
    static constexpr double kTerminatedRetention = 300.0;

    QString sessionsDirectory;
    // The agent's home (`~/.claude`), whose "projects" folder holds the transcripts.
    QString claudeHome;
    std::shared_ptr<const FileSystemReading> fileSystem;
    // The previous build's tiles, by session key.
    QMap<QString, SessionTile> knownTiles;
    QDateTime now;
    double terminatedRetention = kTerminatedRetention;
};

struct SessionGridBuildResult {
    QMap<QString, SessionTile> tiles;
    // The sessions folder could not be listed; the model tells the user.
    bool directoryListingFailed = false;

    friend bool operator==(const SessionGridBuildResult&, const SessionGridBuildResult&) = default;
};

namespace SessionGridBuilder {

// The sessions as tiles keyed by session file name without ".json": one per session file that is
// interactive (or does not say), with state, project and model name; a known session whose file
// is gone stays as terminated for the retention time. A missing sessions folder counts as
// empty; a folder that exists but cannot be listed keeps the known tiles as they are rather
// than declaring every session ended. Both are reported.
SessionGridBuildResult build(const SessionGridBuildParameters& parameters);
// The tiles in display order: by primary project name, then by id, comparing Unicode scalar
// values of the canonically composed texts (no locale, case-sensitive).
QList<SessionTile> sortedTiles(const QMap<QString, SessionTile>& tiles);

} // namespace SessionGridBuilder

} // namespace brisvane
