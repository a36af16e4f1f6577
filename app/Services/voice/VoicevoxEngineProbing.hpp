#pragma once

#include <functional>

namespace brisvane {

// Whether the local VOICEVOX engine answers. Used on the GUI thread.
class VoicevoxEngineProbing {
public:
    virtual ~VoicevoxEngineProbing() = default;

    // Calls `answer` once from the event loop, never from within the call: true when the engine
    // answered with a status from 200 to 299, false on anything else (nothing listening, another
    // status, no answer in time). Dropped if the probe is destroyed first.
    virtual void isEngineAvailable(std::function<void(bool)> answer) = 0;
};

} // namespace brisvane
