#include "app/ViewModels/DashboardViewModel.hpp"

#include <QCoreApplication>

#include <exception>

namespace brisvane {

// ---- Announcement and display preferences ----------------------------------------------------------

void DashboardViewModel::setAnnouncementsEnabled(bool enabled)
{
    if (preferences_->setAnnouncementsEnabled(enabled)) emit isAnnouncementsEnabledChanged();
}

void DashboardViewModel::setAnnouncementVoice(AnnouncementVoice voice)
{
    if (preferences_->setAnnouncementVoice(voice)) emit announcementVoiceChanged();
    // The new voice may need the engine: checked after the picker's event is done.
    speechEngine_->updateStatusLater(false);
}

void DashboardViewModel::setCompletionAnnouncementThreshold(AnnouncementThresholdPreset preset)
{
    if (preferences_->setCompletionAnnouncementThreshold(preset)) emit completionAnnouncementThresholdChanged();
    announcements_->engine().setCompletionThreshold(seconds(preset));
}

void DashboardViewModel::setConclusionReadingBusyThreshold(AnnouncementThresholdPreset preset)
{
    if (preferences_->setConclusionReadingBusyThreshold(preset)) emit conclusionReadingBusyThresholdChanged();
}

void DashboardViewModel::setConclusionReadingDefaultEnabled(bool enabled)
{
    if (preferences_->setConclusionReadingDefaultEnabled(enabled)) emit isConclusionReadingDefaultEnabledChanged();
}

void DashboardViewModel::setInlineCostDisplayEnabled(bool enabled)
{
    if (preferences_->setInlineCostDisplayEnabled(enabled)) emit isInlineCostDisplayEnabledChanged();
}

QList<AnnouncementVoice> DashboardViewModel::selectableAnnouncementVoices() const
{
    // The pickers never offer the internal builds' extra voices.
    return ::brisvane::selectableAnnouncementVoices(false, parameters_.isJapaneseLocale);
}

// ---- Reading dictionary ------------------------------------------------------------------------------

void DashboardViewModel::setReadingDictionary(ReadingDictionary dictionary)
{
    if (preferences_->setReadingDictionary(std::move(dictionary))) emit readingDictionaryChanged();
}

QUuid DashboardViewModel::addReadingEntry()
{
    const QUuid id = preferences_->addReadingEntry();
    emit readingDictionaryChanged();
    return id;
}

void DashboardViewModel::removeReadingEntry(const QUuid& id)
{
    preferences_->removeReadingEntry(id);
    emit readingDictionaryChanged();
}

void DashboardViewModel::updateReadingEntry(const QUuid& id, const std::optional<QString>& projectName,
                                            const std::optional<QString>& reading)
{
    if (preferences_->updateReadingEntry(id, projectName, reading)) emit readingDictionaryChanged();
}

void DashboardViewModel::speakReadingPreview(const ReadingEntry& entry)
{
    announcements_->speakReadingPreview(entry);
}

void DashboardViewModel::playTestAnnouncement()
{
    announcements_->playTestAnnouncement();
}

// ---- Agent integrations ------------------------------------------------------------------------------

void DashboardViewModel::setHookInstallationStatus(HookInstallationStatus status)
{
    if (status == hookInstallationStatus_) return;
    hookInstallationStatus_ = std::move(status);
    emit hookInstallationStatusChanged();
}

void DashboardViewModel::runHookAction(const std::function<HookInstaller::Outcome()>& action,
                                       const QString& dedupeKey, const QString& title)
{
    bool failed = false;
    std::optional<QString> detail;
    try {
        const HookInstaller::Outcome outcome = action();
        if (!outcome) {
            failed = true;
            detail = outcome.error().userMessage();
        }
    } catch (const std::exception&) {
        // A failure the installer did not foresee (from the file layer beneath it): the user
        // still learns that the action failed, without a reason to show.
        failed = true;
    }
    if (failed) appNotificationCenter().post(AppNotificationSeverity::error, dedupeKey, title, detail);
    // Re-read either way: a partly applied change shows as it is.
    setHookInstallationStatus(hookInstaller().currentStatus());
}

void DashboardViewModel::installHook(HookKind kind, bool replacingConflictingStatusLine)
{
    runHookAction([&] { return hookInstaller().install(kind, replacingConflictingStatusLine); },
                  QStringLiteral("hook.install.") + rawValue(kind),
                  QCoreApplication::translate("DashboardViewModel", "%1を導入できませんでした").arg(displayName(kind)));
}

void DashboardViewModel::uninstallHook(HookKind kind)
{
    runHookAction([&] { return hookInstaller().uninstall(kind); }, QStringLiteral("hook.uninstall.") + rawValue(kind),
                  QCoreApplication::translate("DashboardViewModel", "%1を撤去できませんでした").arg(displayName(kind)));
}

void DashboardViewModel::uninstallAllHooks()
{
    runHookAction([&] { return hookInstaller().uninstallAll(); }, QStringLiteral("hook.uninstall.all"),
                  QCoreApplication::translate("DashboardViewModel", "連携を撤去できませんでした"));
}

} // namespace brisvane
