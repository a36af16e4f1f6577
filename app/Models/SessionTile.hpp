#pragma once

#include "app/Models/ProjectDisplayName.hpp"
#include "app/Models/SessionState.hpp"

#include <QDateTime>
#include <QString>

#include <optional>

namespace brisvane {

// One entry of the session grid, keyed by the session file's name without ".json".
struct SessionTile {
    QString id;
    SessionState state;
    ProjectDisplayName projectName;
    // The model of the session's latest answer, or the localised "unknown".
    QString modelName;
    // When the session was first seen gone; absent while it lives.
    std::optional<QDateTime> terminatedAt;

    friend bool operator==(const SessionTile&, const SessionTile&) = default;
};

} // namespace brisvane
