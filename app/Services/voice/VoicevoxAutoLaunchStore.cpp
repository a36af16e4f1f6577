#include "app/Services/voice/VoicevoxAutoLaunchStore.hpp"

namespace brisvane {

bool VoicevoxAutoLaunchStore::load(const Preferences& preferences)
{
    return preferences.boolValue(QLatin1String(kKey)).value_or(true);
}

} // namespace brisvane
