#pragma once

#include <QString>

#include <optional>

namespace brisvane {

// How a project is labelled: the folder name (or a fallback), and the session's own name on a
// second line when it says something the folder name does not.
struct ProjectDisplayName {
    QString primary;
    std::optional<QString> secondary;
    // No folder name could be taken from the working directory.
    bool isFallback = false;

    friend bool operator==(const ProjectDisplayName&, const ProjectDisplayName&) = default;
};

} // namespace brisvane
