#pragma once

#include <QString>

namespace brisvane {

// Whether a path exists and whether it is a folder.
class PathExistenceChecking {
public:
    virtual ~PathExistenceChecking() = default;

    // Symbolic links are followed. `isDirectory`, when given, is set whenever the path exists.
    virtual bool fileExists(const QString& path, bool* isDirectory = nullptr) const = 0;
};

} // namespace brisvane
