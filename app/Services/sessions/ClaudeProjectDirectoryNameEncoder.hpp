#pragma once

#include <QString>

namespace brisvane::ClaudeProjectDirectoryNameEncoder {

// The name of the agent's folder for a working directory's transcripts, by the agent's own rule:
// every UTF-16 unit that is not an ASCII letter or digit becomes "-"; a name longer than 200 is
// cut to 200 and followed by "-" and the base-36 hash of the whole working directory.
QString encode(const QString& cwd);

} // namespace brisvane::ClaudeProjectDirectoryNameEncoder
