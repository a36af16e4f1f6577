#pragma once

namespace brisvane {

// Whether the agent's home folder can be listed. A missing folder is `unknown`, not a refusal.
enum class ClaudeHomeAccessStatus {
    unknown,
    accessible,
    permissionDenied,
};

} // namespace brisvane
