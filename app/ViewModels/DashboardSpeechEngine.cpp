#include "app/ViewModels/DashboardSpeechEngine.hpp"

#include "app/Services/voice/VoicevoxEngineStatusRule.hpp"

#include <QLoggingCategory>
#include <QPointer>
#include <QTimer>

#include <cmath>

Q_DECLARE_LOGGING_CATEGORY(lcDashboardViewModel)

namespace brisvane {

DashboardSpeechEngine::DashboardSpeechEngine(Parameters parameters) : parameters_(std::move(parameters))
{
    pollTimer_ = new QTimer(this);
    connect(pollTimer_, &QTimer::timeout, this, [this] { updateStatus(false); });
}

AnnouncementSpeaking* DashboardSpeechEngine::speaker(AnnouncementVoice voice) const
{
    const Parameters& p = parameters_;
    switch (voice) {
    case AnnouncementVoice::system: return p.systemSpeaker.get();
    case AnnouncementVoice::zundamon: return p.zundamonSpeaker.get();
    case AnnouncementVoice::tohokuZunko: return p.tohokuZunkoSpeaker.get();
    case AnnouncementVoice::kuronoTakehiro: return p.kuronoTakehiroSpeaker.get();
    case AnnouncementVoice::aoyamaRyuusei: return p.aoyamaRyuuseiSpeaker.get();
    case AnnouncementVoice::kotoneNia: return p.kotoneNiaSpeaker.get();
    }
    return p.systemSpeaker.get();
}

void DashboardSpeechEngine::startPolling()
{
    pollTimer_->stop();
    updateStatus(false);
    pollTimer_->start(int(std::lround(std::max(parameters_.pollInterval, 0.0) * 1000.0)));
}

void DashboardSpeechEngine::stopPolling()
{
    pollTimer_->stop();
}

void DashboardSpeechEngine::updateStatus(bool forceLaunch)
{
    if (parameters_.voice() == AnnouncementVoice::system) {
        setStatus(VoicevoxEngineStatus::unknown);
        return;
    }
    if (!parameters_.probe) {
        applyProbe(false, forceLaunch);
        return;
    }
    QPointer<DashboardSpeechEngine> self(this);
    parameters_.probe->isEngineAvailable([self, forceLaunch](bool available) {
        if (self) self->applyProbe(available, forceLaunch);
    });
}

void DashboardSpeechEngine::updateStatusLater(bool forceLaunch)
{
    QTimer::singleShot(0, this, [this, forceLaunch] { updateStatus(forceLaunch); });
}

void DashboardSpeechEngine::applyProbe(bool available, bool forceLaunch)
{
    VoicevoxAppLaunching* launcher = parameters_.launcher.get();
    VoicevoxEngineStatusRule::Input input;
    input.engineAvailable = available;
    input.isInstalled = launcher && launcher->isInstalled();
    input.lastLaunchAttempt = lastLaunchAttempt_;
    input.autoLaunchEnabled = parameters_.isAutoLaunchEnabled();
    input.forceLaunch = forceLaunch;
    input.now = parameters_.clock();
    const VoicevoxEngineStatusRule::Decision decision = VoicevoxEngineStatusRule::decide(input);
    setStatus(decision.status);
    if (!decision.launch) return;

    // Recorded even when the launch fails, so that automatic attempts stay spaced.
    lastLaunchAttempt_ = parameters_.clock();
    const bool launched = launcher->launch();
    qCInfo(lcDashboardViewModel, "VOICEVOXエンジン未起動を検知し起動を要求: launched=%d forceLaunch=%d", int(launched),
           int(forceLaunch));
    if (!launched) setStatus(VoicevoxEngineStatus::notInstalled);
}

void DashboardSpeechEngine::setStatus(VoicevoxEngineStatus status)
{
    if (status == status_) return;
    status_ = status;
    emit statusChanged();
}

} // namespace brisvane
