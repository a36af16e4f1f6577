#pragma once

#include "app/Models/VoicevoxEngineStatus.hpp"

#include <QDateTime>

#include <optional>

// Which engine status the dashboard shows for a VOICEVOX voice once the engine has been probed,
// and whether to start the engine now. (With the system voice the status is `unknown` and nothing
// is probed.)
namespace brisvane::VoicevoxEngineStatusRule {

// Launch attempts are at least this far apart (seconds), unless the user asks.
inline constexpr double kLaunchRetryInterval = 90.0;

struct Input {
    bool engineAvailable = false;
    bool isInstalled = false;
    std::optional<QDateTime> lastLaunchAttempt;
    bool autoLaunchEnabled = true;
    // The user pressed the launch button: the last attempt does not hold it back.
    bool forceLaunch = false;
    QDateTime now;
};

struct Decision {
    VoicevoxEngineStatus status = VoicevoxEngineStatus::unknown;
    // Record the attempt time and call `launch()`; when it answers false the status becomes
    // `notInstalled`.
    bool launch = false;

    friend bool operator==(const Decision&, const Decision&) = default;
};

Decision decide(const Input& input);

} // namespace brisvane::VoicevoxEngineStatusRule
