#pragma once

#include <QString>

#include <optional>

namespace brisvane {

// What the announcement popover and the settings say about the local VOICEVOX engine.
enum class VoicevoxEngineStatus {
    // Not checked yet, or the system voice is selected.
    unknown,
    connected,
    // Asked to start and not answering yet.
    launching,
    // Installed, not answering, and not to be started.
    notRunning,
    // The engine program cannot be found, or starting it failed.
    notInstalled,
};

// "unknown", "connected", ...: the case's name.
QString rawValue(VoicevoxEngineStatus status);
// The status whose raw value is exactly the text.
std::optional<VoicevoxEngineStatus> voicevoxEngineStatusFromRawValue(const QString& text);
// The localised short text shown to the user.
QString displayName(VoicevoxEngineStatus status);

} // namespace brisvane
