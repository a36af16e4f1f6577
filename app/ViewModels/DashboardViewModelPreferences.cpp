#include "app/ViewModels/DashboardViewModel.hpp"

#include "app/Services/voice/AnnouncementSettingsStore.hpp"
#include "app/Services/voice/ReadingDictionaryStore.hpp"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <exception>

namespace brisvane {

namespace {

const QString kInlineCostDisplayEnabledKey = QStringLiteral("Brisvane.inlineCostDisplayEnabled");

} // namespace

// ---- Announcement and display preferences ----------------------------------------------------------

void DashboardViewModel::setAnnouncementsEnabled(bool enabled)
{
    if (enabled != isAnnouncementsEnabled_) {
        isAnnouncementsEnabled_ = enabled;
        emit isAnnouncementsEnabledChanged();
    }
    parameters_.userDefaults->setValue(QString::fromLatin1(AnnouncementSettingsStore::kAnnouncementsEnabledKey), enabled);
}

void DashboardViewModel::setAnnouncementVoice(AnnouncementVoice voice)
{
    if (voice != announcementVoice_) {
        announcementVoice_ = voice;
        emit announcementVoiceChanged();
    }
    AnnouncementVoiceStore::save(voice, *parameters_.userDefaults);
    // The new voice may need the engine: checked after the picker's event is done.
    QTimer::singleShot(0, this, [this] { updateVoicevoxEngineStatus(false); });
}

void DashboardViewModel::setCompletionAnnouncementThreshold(AnnouncementThresholdPreset preset)
{
    if (preset != completionAnnouncementThreshold_) {
        completionAnnouncementThreshold_ = preset;
        emit completionAnnouncementThresholdChanged();
    }
    parameters_.userDefaults->setValue(QString::fromLatin1(CompletionAnnouncementThresholdStore::kKey), seconds(preset));
    parameters_.announcementEngine->setCompletionThreshold(seconds(preset));
}

void DashboardViewModel::setConclusionReadingBusyThreshold(AnnouncementThresholdPreset preset)
{
    if (preset != conclusionReadingBusyThreshold_) {
        conclusionReadingBusyThreshold_ = preset;
        emit conclusionReadingBusyThresholdChanged();
    }
    parameters_.userDefaults->setValue(QString::fromLatin1(ConclusionReadingBusyThresholdStore::kKey), seconds(preset));
}

void DashboardViewModel::setConclusionReadingDefaultEnabled(bool enabled)
{
    if (enabled != isConclusionReadingDefaultEnabled_) {
        isConclusionReadingDefaultEnabled_ = enabled;
        emit isConclusionReadingDefaultEnabledChanged();
    }
    parameters_.userDefaults->setValue(
        QString::fromLatin1(AnnouncementSettingsStore::kConclusionReadingDefaultEnabledKey), enabled);
}

void DashboardViewModel::setInlineCostDisplayEnabled(bool enabled)
{
    if (enabled != isInlineCostDisplayEnabled_) {
        isInlineCostDisplayEnabled_ = enabled;
        emit isInlineCostDisplayEnabledChanged();
    }
    parameters_.userDefaults->setValue(kInlineCostDisplayEnabledKey, enabled);
}

QList<AnnouncementVoice> DashboardViewModel::selectableAnnouncementVoices() const
{
    // The pickers never offer the internal builds' extra voices.
    return ::brisvane::selectableAnnouncementVoices(false, parameters_.isJapaneseLocale);
}

// ---- Reading dictionary ------------------------------------------------------------------------------

void DashboardViewModel::setReadingDictionary(ReadingDictionary dictionary)
{
    if (dictionary == readingDictionary_) return;
    readingDictionary_ = std::move(dictionary);
    emit readingDictionaryChanged();
}

void DashboardViewModel::saveReadingDictionary()
{
    ReadingDictionaryStore::save(readingDictionary_, *parameters_.userDefaults);
}

QUuid DashboardViewModel::addReadingEntry()
{
    const ReadingEntry entry{QUuid::createUuid(), QString(), QString()};
    readingDictionary_.entries.append(entry);
    emit readingDictionaryChanged();
    saveReadingDictionary();
    return entry.id;
}

void DashboardViewModel::removeReadingEntry(const QUuid& id)
{
    readingDictionary_.entries.removeIf([&](const ReadingEntry& entry) { return entry.id == id; });
    emit readingDictionaryChanged();
    saveReadingDictionary();
}

void DashboardViewModel::updateReadingEntry(const QUuid& id, const std::optional<QString>& projectName,
                                            const std::optional<QString>& reading)
{
    const auto entry = std::find_if(readingDictionary_.entries.begin(), readingDictionary_.entries.end(),
                                    [&](const ReadingEntry& e) { return e.id == id; });
    if (entry == readingDictionary_.entries.end()) return;
    // As typed: trimming here would fight the text field while the user types a space.
    if (projectName) entry->projectName = *projectName;
    if (reading) entry->reading = *reading;
    emit readingDictionaryChanged();
    saveReadingDictionary();
}

void DashboardViewModel::speakReadingPreview(const ReadingEntry& entry)
{
    const bool japanese = parameters_.isJapaneseLocale;
    QString name = entry.projectName.trimmed();
    if (name.isEmpty()) name = japanese ? QStringLiteral("サンプル") : QStringLiteral("Sample");
    // The row as it is typed now, not as saved.
    const ReadingDictionary row{{ReadingEntry{entry.id, name, entry.reading}}};
    const Announcement completion{AnnouncementKind::completed, name, AnnouncementEngine::completedMessage(name, japanese)};
    speak(spokenAnnouncement(completion, row, japanese));
}

void DashboardViewModel::playTestAnnouncement()
{
    const QString message = parameters_.isJapaneseLocale ? QStringLiteral("これはテスト再生です。")
                                                         : QStringLiteral("This is a test playback.");
    speak({AnnouncementKind::completed, QString(), message});
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
