#pragma once

namespace brisvane {

// Finds and starts the VOICEVOX engine program.
class VoicevoxAppLaunching {
public:
    virtual ~VoicevoxAppLaunching() = default;

    // The program can be found.
    virtual bool isInstalled() const = 0;
    // Starts it in the background without waiting for it; false when it cannot be found or
    // cannot be started.
    virtual bool launch() = 0;
};

} // namespace brisvane
