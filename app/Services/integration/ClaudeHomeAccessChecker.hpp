#pragma once

#include "app/Models/ClaudeHomeAccessStatus.hpp"
#include "app/Services/platform/FileSystemReading.hpp"

#include <QString>

namespace brisvane::ClaudeHomeAccessChecker {

// Lists the agent home: any listing, an empty one included, is accessible; a refused one is
// permissionDenied; anything else (missing, not a folder) is unknown.
ClaudeHomeAccessStatus currentStatus(const QString& claudeHome, const FileSystemReading& fileSystem);

} // namespace brisvane::ClaudeHomeAccessChecker
