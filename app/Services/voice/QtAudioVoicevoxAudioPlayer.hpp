#pragma once

#include "app/Services/voice/VoicevoxAudioPlaying.hpp"

#include <QObject>

namespace brisvane {

// `VoicevoxAudioPlaying` through a QAudioSink on the default output. The WAV header is read here,
// so no codec plug-in is involved. Each clip is kept alive until it has played out, and a clip
// that the output never reports as ended is stopped a few seconds after its length. GUI thread.
class QtAudioVoicevoxAudioPlayer final : public QObject, public VoicevoxAudioPlaying {
    Q_OBJECT

public:
    // How long past its length a clip may go before it counts as ended.
    static constexpr int kEndGraceMilliseconds = 5000;

    explicit QtAudioVoicevoxAudioPlayer(QObject* parent = nullptr);
    // Stops whatever is playing.
    ~QtAudioVoicevoxAudioPlayer() override;

    Result<void, VoicevoxPlaybackError> play(const QByteArray& wavData, std::function<void()> finished) override;
};

} // namespace brisvane
