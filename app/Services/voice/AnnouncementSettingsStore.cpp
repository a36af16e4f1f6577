#include "app/Services/voice/AnnouncementSettingsStore.hpp"

namespace brisvane {

namespace {

AnnouncementThresholdPreset loadThreshold(const Preferences& preferences, const QString& key,
                                          AnnouncementThresholdPreset fallback)
{
    const std::optional<double> stored = preferences.doubleValue(key);
    return stored ? nearestThresholdPreset(*stored) : fallback;
}

} // namespace

bool AnnouncementSettingsStore::load(const Preferences& preferences)
{
    return preferences.boolValue(QLatin1String(kAnnouncementsEnabledKey)).value_or(true);
}

AnnouncementVoice AnnouncementVoiceStore::load(const Preferences& preferences, bool isInternalBuild,
                                               bool isJapaneseLocale)
{
    const std::optional<QString> stored = preferences.stringValue(QLatin1String(kKey));
    if (!stored) return AnnouncementVoice::system;
    const std::optional<AnnouncementVoice> voice = announcementVoiceFromRawValue(*stored);
    if (!voice || !selectableAnnouncementVoices(isInternalBuild, isJapaneseLocale).contains(*voice)) {
        return AnnouncementVoice::system;
    }
    return *voice;
}

void AnnouncementVoiceStore::save(AnnouncementVoice voice, Preferences& preferences)
{
    preferences.setValue(QLatin1String(kKey), rawValue(voice));
}

AnnouncementThresholdPreset CompletionAnnouncementThresholdStore::load(const Preferences& preferences)
{
    return loadThreshold(preferences, QLatin1String(kKey), AnnouncementThresholdPreset::seconds30);
}

AnnouncementThresholdPreset ConclusionReadingBusyThresholdStore::load(const Preferences& preferences)
{
    return loadThreshold(preferences, QLatin1String(kKey), AnnouncementThresholdPreset::minutes3);
}

} // namespace brisvane
