#pragma once

#include "app/Models/AnnouncementThresholdPreset.hpp"
#include "app/Models/AnnouncementVoice.hpp"
#include "app/Services/platform/Preferences.hpp"

namespace brisvane {

// The announcement preferences as loaded at start-up. Nothing here fails: an absent value gives
// the default, a value of another type goes through the coercions of `Preferences`.

namespace AnnouncementSettingsStore {
inline constexpr char kAnnouncementsEnabledKey[] = "Brisvane.announcementsEnabled";
inline constexpr char kConclusionReadingDefaultEnabledKey[] = "Brisvane.conclusionReadingDefaultEnabled";

// Whether announcements are on; on when nothing is stored.
bool load(const Preferences& preferences);
} // namespace AnnouncementSettingsStore

namespace AnnouncementVoiceStore {
inline constexpr char kKey[] = "Brisvane.announcementVoice";

// The stored voice when it is a text naming a voice offered for these flags; otherwise `system`.
AnnouncementVoice load(const Preferences& preferences, bool isInternalBuild, bool isJapaneseLocale);
void save(AnnouncementVoice voice, Preferences& preferences);
} // namespace AnnouncementVoiceStore

namespace CompletionAnnouncementThresholdStore {
inline constexpr char kKey[] = "Brisvane.completionAnnouncementThreshold";

// The preset nearest the stored seconds; `seconds30` when nothing is stored.
AnnouncementThresholdPreset load(const Preferences& preferences);
} // namespace CompletionAnnouncementThresholdStore

namespace ConclusionReadingBusyThresholdStore {
inline constexpr char kKey[] = "Brisvane.conclusionReadingBusyThreshold";

// The preset nearest the stored seconds; `minutes3` when nothing is stored.
AnnouncementThresholdPreset load(const Preferences& preferences);
} // namespace ConclusionReadingBusyThresholdStore

} // namespace brisvane
