#pragma once

#include <QString>

#include <optional>

namespace brisvane {

// Where the agent's command was found, if anywhere.
struct ClaudeCLIDetectionResult {
    bool isFound = false;
    std::optional<QString> path;

    friend bool operator==(const ClaudeCLIDetectionResult&, const ClaudeCLIDetectionResult&) = default;
};

} // namespace brisvane
