#pragma once

#include "app/Models/PlanUsageSummary.hpp"
#include "app/Services/platform/FileSystemReading.hpp"

#include <QDateTime>
#include <QString>

#include <memory>
#include <optional>

namespace brisvane {

// What one refresh hands the plan-usage load; values and a shared reader, for a worker.
struct PlanUsageStoreParameters {
    // The plan-usage file: the agent's home + "/brisvane-usage.json".
    QString path;
    std::shared_ptr<const FileSystemReading> fileSystem;
    // The reference time of the refresh.
    QDateTime now;
};

namespace PlanUsageStore {

// A file older than this many seconds no longer describes the plan.
inline constexpr double kMaxAgeSeconds = 900;

// The plan usage of the file at `path`, read anew at every call. Nothing when the file cannot be
// read or decoded, has no "fetched_at", was fetched `kMaxAgeSeconds` or more before `now`, or
// holds no complete window. A time after `now` counts as fresh. Failures are not reported: the
// gauge simply shows no data.
std::optional<PlanUsageSummary> load(const PlanUsageStoreParameters& parameters);

} // namespace PlanUsageStore

} // namespace brisvane
