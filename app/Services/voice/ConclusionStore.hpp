#pragma once

#include "app/Models/AnnouncementConclusion.hpp"
#include "app/Services/platform/FileSystemReading.hpp"

#include <QDateTime>
#include <QMap>
#include <QString>

#include <cstdint>
#include <memory>

namespace brisvane {

// What one refresh hands the spoken-summary read: plain values and a shared reader, so that it
// can run on a worker.
struct ConclusionStoreParameters {
    // The agent home's "brisvane-say" folder.
    QString directory;
    std::shared_ptr<const FileSystemReading> fileSystem;
    // The refresh's time, against which freshness is judged.
    QDateTime now;
};

namespace ConclusionStore {

// A summary older than this (seconds) is not read any more.
inline constexpr double kFreshness = 120;

// The fresh spoken summaries by agent process id: one per usable "*.json" record of the folder
// (a pid that fits 32 bits, a capture time, a text not blank once trimmed) captured less than
// `kFreshness` before `now` or after it. Of two records for one pid the one listed later wins.
// Never fails: a folder that cannot be listed gives none, an unusable record is left out.
QMap<int32_t, AnnouncementConclusion> load(const ConclusionStoreParameters& parameters);

} // namespace ConclusionStore

} // namespace brisvane
