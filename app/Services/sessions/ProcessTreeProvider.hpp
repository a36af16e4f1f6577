#pragma once

#include "app/Models/ProcessTreeSnapshot.hpp"

#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <optional>

namespace brisvane::ProcessTreeProvider {

// The process table, read from /proc: every numeric entry whose "stat" file names a parent.
// Processes that end while it is read are left out. `psFailed` when /proc cannot be listed.
// Blocks on file reads: refresh workers call it.
ProcessTreeFetchResult currentSnapshotResult();
// The parent pid in the text of a /proc/<pid>/stat file: the second field after the command
// name, which is in parentheses and may itself hold spaces and parentheses.
std::optional<int32_t> parentPid(QByteArrayView statText);
// The listing of `ps -axo pid=,ppid=`: lines of exactly two decimal 32-bit numbers separated by
// spaces; other lines are skipped, and a later line for a pid replaces an earlier one.
ProcessTreeSnapshot parse(const QString& psOutput);

} // namespace brisvane::ProcessTreeProvider
