#include "app/ViewModels/DashboardPreferences.hpp"

#include "app/Services/voice/AnnouncementSettingsStore.hpp"
#include "app/Services/voice/ReadingDictionaryStore.hpp"
#include "app/Services/voice/VoicevoxAutoLaunchStore.hpp"

#include <algorithm>

namespace brisvane {

namespace {

const QString kInlineCostDisplayEnabledKey = QStringLiteral("Brisvane.inlineCostDisplayEnabled");

// Replaces `field` and says whether it changed.
template <typename T>
bool assign(T& field, T value)
{
    if (field == value) return false;
    field = std::move(value);
    return true;
}

} // namespace

DashboardPreferences::DashboardPreferences(std::shared_ptr<Preferences> store, bool isInternalBuild,
                                           bool isJapaneseLocale)
    : store_(std::move(store))
{
    const Preferences& prefs = *store_;
    isAnnouncementsEnabled_ = AnnouncementSettingsStore::load(prefs);
    announcementVoice_ = AnnouncementVoiceStore::load(prefs, isInternalBuild, isJapaneseLocale);
    isVoicevoxAutoLaunchEnabled_ = VoicevoxAutoLaunchStore::load(prefs);
    readingDictionary_ = ReadingDictionaryStore::load(prefs);
    isConclusionReadingDefaultEnabled_ =
        prefs.boolValue(AnnouncementSettingsStore::kConclusionReadingDefaultEnabledKey).value_or(false);
    completionAnnouncementThreshold_ = CompletionAnnouncementThresholdStore::load(prefs);
    conclusionReadingBusyThreshold_ = ConclusionReadingBusyThresholdStore::load(prefs);
    isInlineCostDisplayEnabled_ = prefs.boolValue(kInlineCostDisplayEnabledKey).value_or(false);
}

bool DashboardPreferences::setAnnouncementsEnabled(bool enabled)
{
    store_->setValue(QString::fromLatin1(AnnouncementSettingsStore::kAnnouncementsEnabledKey), enabled);
    return assign(isAnnouncementsEnabled_, enabled);
}

bool DashboardPreferences::setAnnouncementVoice(AnnouncementVoice voice)
{
    AnnouncementVoiceStore::save(voice, *store_);
    return assign(announcementVoice_, voice);
}

bool DashboardPreferences::setVoicevoxAutoLaunchEnabled(bool enabled)
{
    store_->setValue(QString::fromLatin1(VoicevoxAutoLaunchStore::kKey), enabled);
    return assign(isVoicevoxAutoLaunchEnabled_, enabled);
}

bool DashboardPreferences::setCompletionAnnouncementThreshold(AnnouncementThresholdPreset preset)
{
    store_->setValue(QString::fromLatin1(CompletionAnnouncementThresholdStore::kKey), seconds(preset));
    return assign(completionAnnouncementThreshold_, preset);
}

bool DashboardPreferences::setConclusionReadingBusyThreshold(AnnouncementThresholdPreset preset)
{
    store_->setValue(QString::fromLatin1(ConclusionReadingBusyThresholdStore::kKey), seconds(preset));
    return assign(conclusionReadingBusyThreshold_, preset);
}

bool DashboardPreferences::setConclusionReadingDefaultEnabled(bool enabled)
{
    store_->setValue(QString::fromLatin1(AnnouncementSettingsStore::kConclusionReadingDefaultEnabledKey), enabled);
    return assign(isConclusionReadingDefaultEnabled_, enabled);
}

bool DashboardPreferences::setInlineCostDisplayEnabled(bool enabled)
{
    store_->setValue(kInlineCostDisplayEnabledKey, enabled);
    return assign(isInlineCostDisplayEnabled_, enabled);
}

bool DashboardPreferences::setReadingDictionary(ReadingDictionary dictionary)
{
    return assign(readingDictionary_, std::move(dictionary));
}

void DashboardPreferences::saveReadingDictionary()
{
    ReadingDictionaryStore::save(readingDictionary_, *store_);
}

QUuid DashboardPreferences::addReadingEntry()
{
    const ReadingEntry entry{QUuid::createUuid(), QString(), QString()};
    readingDictionary_.entries.append(entry);
    saveReadingDictionary();
    return entry.id;
}

void DashboardPreferences::removeReadingEntry(const QUuid& id)
{
    readingDictionary_.entries.removeIf([&](const ReadingEntry& entry) { return entry.id == id; });
    saveReadingDictionary();
}

bool DashboardPreferences::updateReadingEntry(const QUuid& id, const std::optional<QString>& projectName,
                                              const std::optional<QString>& reading)
{
    const auto entry = std::find_if(readingDictionary_.entries.begin(), readingDictionary_.entries.end(),
                                    [&](const ReadingEntry& e) { return e.id == id; });
    if (entry == readingDictionary_.entries.end()) return false;
    // As typed: trimming here would fight the text field while the user types a space.
    if (projectName) entry->projectName = *projectName;
    if (reading) entry->reading = *reading;
    saveReadingDictionary();
    return true;
}

} // namespace brisvane
