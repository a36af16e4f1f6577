#pragma once

#include "app/Models/Result.hpp"
#include "app/Models/VoicevoxHTTPError.hpp"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>

namespace brisvane {

// The two requests that turn a text into speech on a VOICEVOX engine. Both may be in flight
// several times at once. Used on the GUI thread.
class VoicevoxHTTPRequesting {
public:
    using Completion = std::function<void(Result<QByteArray, VoicevoxRequestError>)>;

    virtual ~VoicevoxHTTPRequesting() = default;

    // The engine's description of how to say `text` in voice `speakerId` (JSON, passed on as it
    // came). `completion` is called once from the event loop, never from within the call.
    virtual void fetchAudioQuery(const QString& text, int64_t speakerId, Completion completion) = 0;
    // The WAV audio for a description from `fetchAudioQuery`; called back as above.
    virtual void synthesize(const QByteArray& audioQuery, int64_t speakerId, Completion completion) = 0;
};

} // namespace brisvane
