#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace brisvane::ShellCwdReader {

// The current folder of a process, from /proc/<pid>/cwd. Nothing when the process is gone or
// not ours to inspect, and when its folder was deleted (the kernel then adds " (deleted)").
std::optional<QString> currentWorkingDirectory(int32_t pid);
// The output of `lsof -a -p <pid> -d cwd -Fn`: the first line beginning with "n", without the
// "n"; nothing when there is none or it holds nothing more. The path is kept as it is.
std::optional<QString> parse(const QString& lsofOutput);

} // namespace brisvane::ShellCwdReader
