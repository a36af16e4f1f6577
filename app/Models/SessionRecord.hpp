#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace brisvane {

// One agent session as the agent describes it in `<agent home>/sessions/<id>.json`. Every field
// is optional; the agent writes them, this application only reads them.
struct SessionRecord {
    std::optional<int64_t> pid;
    std::optional<QString> sessionId;
    std::optional<QString> cwd;
    std::optional<int64_t> startedAt;
    std::optional<QString> version;
    std::optional<QString> kind;
    std::optional<QString> name;
    std::optional<QString> nameSource;
    std::optional<QString> status;
    std::optional<QString> waitingFor;
    std::optional<int64_t> updatedAt;
    std::optional<int64_t> statusUpdatedAt;

    // Decodes one session file. A missing key or null leaves the field absent and unknown keys
    // are ignored; anything else of the wrong type (a string pid, a fraction or a number beyond
    // 64 bits where an integer belongs, a number where text belongs) or a document that is not
    // an object makes the whole file undecodable: nothing.
    static std::optional<SessionRecord> decode(const QByteArray& json);

    friend bool operator==(const SessionRecord&, const SessionRecord&) = default;
};

} // namespace brisvane
