#pragma once

#include "app/Models/WavAudio.hpp"

#include <QString>

#include <optional>

namespace brisvane {

// Why a synthesised clip could not be played.
struct VoicevoxPlaybackError {
    enum class Kind {
        // The bytes are not a WAV clip that can be played.
        invalidAudio,
        // No sound output takes the clip, or the output would not start.
        playReturnedFalse,
    };

    Kind kind = Kind::playReturnedFalse;
    // Only for `invalidAudio`.
    std::optional<WavAudioError> audioError;

    static VoicevoxPlaybackError invalidAudio(WavAudioError error) { return {Kind::invalidAudio, error}; }

    // "playReturnedFalse" or "invalidAudio(notRiffWave)": the notice's detail.
    QString description() const;

    friend bool operator==(const VoicevoxPlaybackError&, const VoicevoxPlaybackError&) = default;
};

} // namespace brisvane
