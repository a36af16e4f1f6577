#include "app/ViewModels/DashboardViewModel.hpp"

namespace brisvane {

void DashboardViewModel::evaluateAnnouncements(const QDateTime& now)
{
    evaluateAnnouncements(DashboardAnnouncements::snapshot(terminalTiles_), now);
}

void DashboardViewModel::evaluateAnnouncements(const QMap<QString, AnnouncementSessionInfo>& snapshot,
                                               const QDateTime& now)
{
    announcements_->evaluate(snapshot, now);
}

// ---- Speech engine ---------------------------------------------------------------------------------

void DashboardViewModel::updateVoicevoxEngineStatus(bool forceLaunch)
{
    speechEngine_->updateStatus(forceLaunch);
}

void DashboardViewModel::launchVoicevoxNow()
{
    // Queued like the poll's checks; dropped with the model.
    speechEngine_->updateStatusLater(true);
}

void DashboardViewModel::setVoicevoxAutoLaunchEnabled(bool enabled)
{
    if (preferences_->setVoicevoxAutoLaunchEnabled(enabled)) emit isVoicevoxAutoLaunchEnabledChanged();
    if (enabled) speechEngine_->updateStatusLater(false);
}

} // namespace brisvane
