#include "app/Services/voice/VoicevoxEngineStatusRule.hpp"

namespace brisvane {

VoicevoxEngineStatusRule::Decision VoicevoxEngineStatusRule::decide(const Input& input)
{
    if (input.engineAvailable) return {VoicevoxEngineStatus::connected, false};
    if (!input.isInstalled) return {VoicevoxEngineStatus::notInstalled, false};
    if (input.lastLaunchAttempt && !input.forceLaunch) {
        const double elapsed = static_cast<double>(input.lastLaunchAttempt->msecsTo(input.now)) / 1000.0;
        // An attempt "in the future" means the clock was set back: it holds nothing back, or a
        // clock moved back by an hour would stop launches for that hour.
        if (elapsed >= 0 && elapsed < kLaunchRetryInterval) return {VoicevoxEngineStatus::launching, false};
    }
    if (input.autoLaunchEnabled || input.forceLaunch) return {VoicevoxEngineStatus::launching, true};
    return {VoicevoxEngineStatus::notRunning, false};
}

} // namespace brisvane
