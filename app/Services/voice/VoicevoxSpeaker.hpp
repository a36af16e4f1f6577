#pragma once

#include "app/Models/AnnouncementVoice.hpp"
#include "app/Services/voice/AnnouncementSpeaking.hpp"
#include "app/Services/voice/VoicevoxAudioPlaying.hpp"
#include "app/Services/voice/VoicevoxHTTPRequesting.hpp"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

namespace brisvane {

// Speaks announcements in one voice of the local VOICEVOX engine. Each announcement is sent to
// the engine at once (several may be in flight), but the clips play one after another in the
// order the announcements arrived, each when the one before has ended. When the engine cannot
// deliver or a clip cannot be played, the user is told through `notifyFailure` and the
// announcement is spoken by the fallback voice instead, in its turn. Nothing is retried. GUI
// thread only.
class VoicevoxSpeaker final : public QObject, public AnnouncementSpeaking {
    Q_OBJECT

public:
    // (dedupe key, title, detail): posts an in-app notice.
    using FailureReporter =
        std::function<void(const QString& dedupeKey, const QString& title, const std::optional<QString>& detail)>;

    static constexpr char kSynthesisFailureKey[] = "voicevox.synthesis";
    static constexpr char kPlaybackFailureKey[] = "voicevox.playback";

    // The engine's speaker number of a VOICEVOX voice; none for the system voice.
    static std::optional<int64_t> speakerId(AnnouncementVoice voice);

    // Without `notifyFailure` failures are only logged.
    VoicevoxSpeaker(int64_t speakerId, std::shared_ptr<VoicevoxHTTPRequesting> httpClient,
                    std::shared_ptr<VoicevoxAudioPlaying> audioPlayer, std::shared_ptr<AnnouncementSpeaking> fallback,
                    FailureReporter notifyFailure = {}, QObject* parent = nullptr);
    ~VoicevoxSpeaker() override;

    int64_t speakerId() const { return speakerId_; }

    void speak(const Announcement& announcement, Finished finished = {}) override;

private:
    struct Item {
        uint64_t serial = 0;
        Announcement announcement;
        Finished finished;
        // Set when the engine has answered: the clip, or why there is none.
        std::optional<QByteArray> wav;
        std::optional<QString> synthesisFailure;

        bool isReady() const { return wav || synthesisFailure; }
    };

    void synthesisEnded(uint64_t serial, Result<QByteArray, VoicevoxRequestError> wav);
    void playReadyItems();
    enum class Failure {
        synthesis,
        playback,
    };

    // Logs, tells the user, and has the fallback voice speak the item; `turnEnded` follows it.
    void fallBack(const Item& item, Failure failure, const QString& error, Finished turnEnded);
    void turnEnded(Finished finished);

    int64_t speakerId_;
    std::shared_ptr<VoicevoxHTTPRequesting> httpClient_;
    std::shared_ptr<VoicevoxAudioPlaying> audioPlayer_;
    std::shared_ptr<AnnouncementSpeaking> fallback_;
    FailureReporter notifyFailure_;
    // In arrival order; the front one plays next.
    std::deque<Item> items_;
    // A clip or a fallback speech is under way.
    bool playing_ = false;
    uint64_t nextSerial_ = 0;
};

} // namespace brisvane
