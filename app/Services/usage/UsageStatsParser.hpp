#pragma once

#include "app/Models/Calendar.hpp"
#include "app/Models/StatsCacheFile.hpp"

#include <QDateTime>
#include <QMap>
#include <QSet>
#include <QString>

#include <cstdint>
#include <optional>

// How the agent's statistics cache is read: its day strings ("yyyy-MM-dd" in the calendar's
// zone), when it is current, which days make a period, and costs derived from what the agent
// itself recorded per model (the application keeps no price list). Token sums stick at the ends
// of the 64-bit range.
namespace brisvane::UsageStatsParser {

using TokensByModel = QMap<QString, int64_t>;
using ModelUsage = QMap<QString, StatsCacheFile::ModelUsageEntry>;

struct AllTimeTotals {
    int64_t tokens = 0;
    double costUSD = 0;

    friend bool operator==(const AllTimeTotals&, const AllTimeTotals&) = default;
};

// The day string of the date's day in the calendar.
QString dayString(const QDateTime& date, const Calendar& calendar);
// The start of the day a day string names; nothing for an absent or malformed string.
std::optional<QDateTime> parsedDate(const std::optional<QString>& dayString, const Calendar& calendar);
// Whether the cache was computed on the reference date's own day.
bool isTodayFresh(const std::optional<QString>& lastComputedDate, const QDateTime& referenceDate,
                  const Calendar& calendar);
// Whether less than 24 hours (fixed, not a calendar day) have passed since the start of the
// cache's day; a day after the reference date counts as fresh.
bool isWeekFresh(const std::optional<QString>& lastComputedDate, const QDateTime& referenceDate,
                 const Calendar& calendar);
// The day strings of the day of `endingAt` and the `days` − 1 days before it (at least that day).
QSet<QString> recentDateStrings(int64_t days, const QDateTime& endingAt, const Calendar& calendar);
// The cache's daily tokens of the given days, by model; two entries of one day both count.
TokensByModel tokensByModel(const StatsCacheFile& cache, const QSet<QString>& matchingDates);
// A model's all-time tokens: input, output, cache read and cache creation (web searches are not
// tokens).
int64_t tokenTotal(const StatsCacheFile::ModelUsageEntry& entry);
// The tokens priced at each model's average all-time cost per token. Models the cache does not
// know, or knows without tokens or without a positive cost, add nothing.
double estimatedCost(const TokensByModel& tokensByModel, const ModelUsage& modelUsage);
// All models' token totals and recorded costs (a missing cost counts 0).
AllTimeTotals allTimeTotals(const ModelUsage& modelUsage);

} // namespace brisvane::UsageStatsParser
