#pragma once

#include "app/Services/platform/Preferences.hpp"

namespace brisvane::VoicevoxAutoLaunchStore {

inline constexpr char kKey[] = "Brisvane.voicevoxAutoLaunchEnabled";

// Whether the engine may be started automatically; on when nothing is stored, otherwise the
// stored value through the coercions of `Preferences`.
bool load(const Preferences& preferences);

} // namespace brisvane::VoicevoxAutoLaunchStore
