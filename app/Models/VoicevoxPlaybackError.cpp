#include "app/Models/VoicevoxPlaybackError.hpp"

namespace brisvane {

QString VoicevoxPlaybackError::description() const
{
    if (kind == Kind::playReturnedFalse) return QStringLiteral("playReturnedFalse");
    return QStringLiteral("invalidAudio(%1)").arg(audioError ? brisvane::description(*audioError) : QString());
}

} // namespace brisvane
