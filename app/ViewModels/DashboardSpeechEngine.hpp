#pragma once

#include "app/Models/AnnouncementVoice.hpp"
#include "app/Models/VoicevoxEngineStatus.hpp"
#include "app/Services/voice/AnnouncementSpeaking.hpp"
#include "app/Services/voice/VoicevoxAppLaunching.hpp"
#include "app/Services/voice/VoicevoxEngineProbing.hpp"

#include <QDateTime>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>

class QTimer;

namespace brisvane {

// The voices the announcements are spoken in and the VOICEVOX engine behind the characters': which
// speaker says what, the engine's status, its poll and its launches. Lives on the GUI thread.
class DashboardSpeechEngine final : public QObject {
    Q_OBJECT

public:
    struct Parameters {
        // The system voice, then one speaker per character.
        std::shared_ptr<AnnouncementSpeaking> systemSpeaker;
        std::shared_ptr<AnnouncementSpeaking> zundamonSpeaker;
        std::shared_ptr<AnnouncementSpeaking> tohokuZunkoSpeaker;
        std::shared_ptr<AnnouncementSpeaking> kuronoTakehiroSpeaker;
        std::shared_ptr<AnnouncementSpeaking> aoyamaRyuuseiSpeaker;
        std::shared_ptr<AnnouncementSpeaking> kotoneNiaSpeaker;
        std::shared_ptr<VoicevoxEngineProbing> probe;
        std::shared_ptr<VoicevoxAppLaunching> launcher;
        double pollInterval = 20;
        std::function<QDateTime()> clock;
        // The current choices, read at each check.
        std::function<AnnouncementVoice()> voice;
        std::function<bool()> isAutoLaunchEnabled;
    };

    explicit DashboardSpeechEngine(Parameters parameters);

    AnnouncementSpeaking* speaker(AnnouncementVoice voice) const;
    VoicevoxEngineStatus status() const { return status_; }
    // Checks now and then every poll interval; starting again restarts the poll.
    void startPolling();
    void stopPolling();
    // Probes the engine for a VOICEVOX voice (nothing for the system voice), launches it when
    // allowed, and sets the status when the probe answers. Returns at once.
    void updateStatus(bool forceLaunch);
    // The same, after the current event is done; dropped with the engine.
    void updateStatusLater(bool forceLaunch);

signals:
    void statusChanged();

private:
    friend struct DashboardViewModelTestSeam;
    void applyProbe(bool available, bool forceLaunch);
    void setStatus(VoicevoxEngineStatus status);

    Parameters parameters_;
    VoicevoxEngineStatus status_ = VoicevoxEngineStatus::unknown;
    std::optional<QDateTime> lastLaunchAttempt_;
    QTimer* pollTimer_ = nullptr;
};

} // namespace brisvane
