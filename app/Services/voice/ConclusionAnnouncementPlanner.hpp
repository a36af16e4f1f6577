#pragma once

#include "app/Models/Announcement.hpp"

#include <QList>
#include <QString>
#include <QUuid>

#include <cstdint>
#include <functional>
#include <optional>

namespace brisvane::ConclusionAnnouncementPlanner {

// How one evaluation's announcements are spoken: some one by one, and at most one completion
// read with its tile's spoken summary, so that sessions ending together do not read every summary.
struct Plan {
    // Spoken as they are, in the order given.
    QList<Announcement> individual;
    // The completion read with its summary.
    std::optional<Announcement> winner;
    // The winner's summary; absent when its tile has none.
    std::optional<QString> winnerConclusionText;
    // The other completions that would have been read; they are only counted.
    int64_t remainingCompletedCount = 0;

    friend bool operator==(const Plan&, const Plan&) = default;
};

// A completion qualifies for reading when its key is "t:" followed by a tile's UUID, it has a
// busy duration of at least `busyThreshold` seconds and reading is on for the tile;
// `conclusionText` is asked only for those. Of the qualifying ones, the first in the order of the
// UUIDs' upper-case text that has a summary wins, else the first. Everything else is individual.
Plan plan(const QList<AnnouncementResult>& results, double busyThreshold,
          const std::function<bool(const QUuid& tileId)>& readingEnabled,
          const std::function<std::optional<QString>(const QUuid& tileId)>& conclusionText);

} // namespace brisvane::ConclusionAnnouncementPlanner
