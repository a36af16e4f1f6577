#pragma once

#include <QString>

namespace brisvane {

// A file or folder that was found to exist for a path-like token.
struct ResolvedFilePath {
    // Absolute and lexically standardised.
    QString absolutePath;
    bool isDirectory = false;

    friend bool operator==(const ResolvedFilePath&, const ResolvedFilePath&) = default;
};

} // namespace brisvane
