#pragma once

#include "app/Models/SessionState.hpp"

#include <QString>

#include <optional>

namespace brisvane {

enum class AnnouncementKind {
    completed,
    waitingForApproval,
};

// What a speaker says: the kind, the project as its tile shows it, and the text to speak.
struct Announcement {
    AnnouncementKind kind = AnnouncementKind::completed;
    QString projectName;
    QString message;

    friend bool operator==(const Announcement&, const Announcement&) = default;
};

// One session of a snapshot handed to the announcement engine.
struct AnnouncementSessionInfo {
    QString projectName;
    SessionState state;

    friend bool operator==(const AnnouncementSessionInfo&, const AnnouncementSessionInfo&) = default;
};

// One announcement the engine decided on, for the session under the snapshot key `id`.
struct AnnouncementResult {
    QString id;
    Announcement announcement;
    // For a completion, the length in seconds of the busy stretch it concludes.
    std::optional<double> busyDuration;

    friend bool operator==(const AnnouncementResult&, const AnnouncementResult&) = default;
};

} // namespace brisvane
