#include "app/Services/integration/ClaudeHomeAccessChecker.hpp"

namespace brisvane::ClaudeHomeAccessChecker {

ClaudeHomeAccessStatus currentStatus(const QString& claudeHome, const FileSystemReading& fileSystem)
{
    const auto listing = fileSystem.contentsOfDirectory(claudeHome);
    if (listing) return ClaudeHomeAccessStatus::accessible;
    if (listing.error().kind == FileSystemReadingError::Kind::permissionDenied) return ClaudeHomeAccessStatus::permissionDenied;
    return ClaudeHomeAccessStatus::unknown;
}

} // namespace brisvane::ClaudeHomeAccessChecker

