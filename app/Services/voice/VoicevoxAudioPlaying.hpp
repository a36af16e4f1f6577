#pragma once

#include "app/Models/Result.hpp"
#include "app/Models/VoicevoxPlaybackError.hpp"

#include <QByteArray>

#include <functional>

namespace brisvane {

// Plays the WAV clips a VOICEVOX engine returns. Used on the GUI thread.
class VoicevoxAudioPlaying {
public:
    virtual ~VoicevoxAudioPlaying() = default;

    // Starts playing the clip and returns at once, or fails without playing anything. After a
    // start, `finished` is called once from the event loop when the clip has ended (or the output
    // gave up on it); it is dropped if the player is destroyed first.
    virtual Result<void, VoicevoxPlaybackError> play(const QByteArray& wavData, std::function<void()> finished) = 0;
};

} // namespace brisvane
