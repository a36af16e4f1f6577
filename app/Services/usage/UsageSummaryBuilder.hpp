#pragma once

#include "app/Models/Calendar.hpp"
#include "app/Models/UsageSummary.hpp"
#include "app/Services/platform/FileSystemReading.hpp"
#include "app/Services/usage/UsageSelfAggregator.hpp"

#include <QDateTime>
#include <QString>

#include <memory>

namespace brisvane {

// What one refresh hands the usage build; values and a shared reader, for a worker.
struct UsageSummaryBuildParameters {
    // The agent's statistics cache: its home + "/stats-cache.json".
    QString statsCachePath;
    // The agent's home + "/projects", holding the transcripts.
    QString projectsDirectory;
    std::shared_ptr<const FileSystemReading> fileSystem;
    QDateTime now;
    // Fixes the days and their time zone.
    Calendar calendar;
    // The transcripts as read by earlier passes, read on from there; none reads them whole.
    std::shared_ptr<UsageSelfAggregator::TranscriptStore> transcripts;
    // Bounds this pass's reading of the transcripts (with a store only).
    UsageSelfAggregator::PassLimits transcriptLimits;
};

namespace UsageSummaryBuilder {

// Today (the calendar day of `now`), this week (that day and the six before it) and all time.
// A period comes from the agent's statistics cache when the cache is current enough for it,
// else from the transcripts, priced at the cache's per-model costs (nothing without a cache);
// all time comes from the cache alone. Never fails.
UsageSummary build(const UsageSummaryBuildParameters& parameters);

} // namespace UsageSummaryBuilder

} // namespace brisvane
