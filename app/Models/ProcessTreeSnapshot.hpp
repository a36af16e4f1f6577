#pragma once

#include <QHash>

#include <cstdint>

namespace brisvane {

// The machine's process table as parent links: process id to parent process id.
struct ProcessTreeSnapshot {
    QHash<int32_t, int32_t> parentByPid;

    friend bool operator==(const ProcessTreeSnapshot&, const ProcessTreeSnapshot&) = default;
};

// One reading of the process table. A failed reading is an empty snapshot, flagged so the model
// can tell the user; an empty table read successfully is not a failure.
struct ProcessTreeFetchResult {
    ProcessTreeSnapshot snapshot;
    bool psFailed = false;

    friend bool operator==(const ProcessTreeFetchResult&, const ProcessTreeFetchResult&) = default;
};

} // namespace brisvane
