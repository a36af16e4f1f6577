#pragma once

#include <QString>

#include <cstdint>
#include <variant>

namespace brisvane {

// The engine answered, but not with what was asked for; or the request could not be formed.
struct VoicevoxHTTPError {
    enum class Kind {
        // A status outside 200...299, or -1 for an answer that is not HTTP.
        unexpectedStatusCode,
        // The text cannot be written as UTF-8 (it holds a lone surrogate).
        encodingFailed,
        // The address is not a well-formed URL, or not the loopback engine's.
        invalidURL,
    };

    Kind kind = Kind::invalidURL;
    // Only for `unexpectedStatusCode`.
    int64_t statusCode = 0;

    static VoicevoxHTTPError unexpectedStatus(int64_t code) { return {Kind::unexpectedStatusCode, code}; }

    // "unexpectedStatusCode(500)", "encodingFailed", "invalidURL": the text users see as a notice's
    // detail.
    QString description() const;

    friend bool operator==(const VoicevoxHTTPError&, const VoicevoxHTTPError&) = default;
};

// The exchange itself failed: nothing listening, the connection broke, or no answer in time.
struct VoicevoxTransportError {
    enum class Kind {
        failed,
        timedOut,
    };

    Kind kind = Kind::failed;
    // The network layer's own text, or the deadline for a time-out.
    QString message;

    QString description() const { return message; }

    friend bool operator==(const VoicevoxTransportError&, const VoicevoxTransportError&) = default;
};

using VoicevoxRequestError = std::variant<VoicevoxHTTPError, VoicevoxTransportError>;

QString description(const VoicevoxRequestError& error);

} // namespace brisvane
