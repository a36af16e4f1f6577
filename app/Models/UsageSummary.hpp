#pragma once

#include <QDateTime>

#include <cstdint>
#include <optional>

namespace brisvane {

// Where a period's numbers come from, so that the views can say so.
enum class UsageDataSource {
    cache,          // the agent's statistics cache
    selfAggregated, // summed from the transcripts
    unavailable,    // no numbers
};

struct UsagePeriodSummary {
    int64_t tokens = 0;
    double estimatedCostUSD = 0;
    UsageDataSource source = UsageDataSource::unavailable;
    // For numbers from the cache: the start of the day the agent last computed it.
    std::optional<QDateTime> lastUpdated;

    friend bool operator==(const UsagePeriodSummary&, const UsagePeriodSummary&) = default;
};

// Token usage of today, of today and the six days before it (a rolling week), and of all time.
struct UsageSummary {
    UsagePeriodSummary today;
    UsagePeriodSummary thisWeek;
    UsagePeriodSummary allTime;

    // Every period at 0 tokens and cost 0 from no source: what shows before the first build.
    static UsageSummary unavailable() { return {}; }

    friend bool operator==(const UsageSummary&, const UsageSummary&) = default;
};

} // namespace brisvane
