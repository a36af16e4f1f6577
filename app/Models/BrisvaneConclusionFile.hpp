#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace brisvane {

// One spoken-summary file `<agent home>/brisvane-say/<name>.json`, as the Stop-hook script writes
// it: {"pid": 4242, "sessionId": "...", "text": "...", "capturedAt": 1700000000.5}, the capture
// time in seconds since 1970 UTC.
struct BrisvaneConclusionFile {
    std::optional<int64_t> pid;
    std::optional<QString> sessionId;
    std::optional<QString> text;
    std::optional<double> capturedAt;

    // A missing key or null leaves the field absent and other keys are ignored; a value of the
    // wrong type (a string pid, a numeric text, a fractional pid) or a document that is not an
    // object makes the whole file undecodable: nothing.
    static std::optional<BrisvaneConclusionFile> decode(const QByteArray& json);

    friend bool operator==(const BrisvaneConclusionFile&, const BrisvaneConclusionFile&) = default;
};

} // namespace brisvane
