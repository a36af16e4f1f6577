#include "app/Services/usage/UsageSummaryBuilder.hpp"

#include "app/Models/Saturating.hpp"
#include "app/Models/StatsCacheFile.hpp"
#include "app/Services/usage/UsageSelfAggregator.hpp"
#include "app/Services/usage/UsageStatsParser.hpp"

#include <optional>
#include <tuple>
#include <utility>

namespace brisvane::UsageSummaryBuilder {

namespace {

using UsageStatsParser::ModelUsage;
using UsageStatsParser::TokensByModel;

int64_t sum(const TokensByModel& byModel)
{
    int64_t total = 0;
    for (const int64_t tokens : byModel) total = Saturating::add(total, tokens);
    return total;
}

// The period of `days` days ending with today.
UsageSelfAggregator::Period lastDays(int64_t days, const UsageSummaryBuildParameters& parameters)
{
    const Calendar& calendar = parameters.calendar;
    const QDateTime dayStart = calendar.startOfDay(parameters.now);
    const QDateTime periodEnd = calendar.addingDays(1, dayStart).value_or(parameters.now);
    const QDateTime periodStart = calendar.addingDays(-(days - 1), dayStart).value_or(dayStart);
    return {periodStart, periodEnd};
}

// Today and this week, each from the cache when `isFresh` holds for it, else summed from the
// transcripts (both in one reading) and priced only when the cache gave its model usage.
std::pair<UsagePeriodSummary, UsagePeriodSummary> todayAndWeek(bool todayFresh, bool weekFresh,
                                                               const StatsCacheFile* cache,
                                                               const std::optional<ModelUsage>& modelUsage,
                                                               const std::optional<QDateTime>& lastUpdated,
                                                               const UsageSummaryBuildParameters& parameters)
{
    const int64_t days[2] = {1, 7};
    const bool fresh[2] = {todayFresh, weekFresh};
    QList<UsageSelfAggregator::Period> stale;
    for (int i = 0; i < 2; ++i)
        if (!fresh[i]) stale.append(lastDays(days[i], parameters));
    const QList<TokensByModel> aggregated =
        parameters.transcripts
        ? parameters.transcripts->aggregate(parameters.projectsDirectory, *parameters.fileSystem, stale,
                                            parameters.transcriptLimits)
        : UsageSelfAggregator::aggregateTokensByModel(parameters.projectsDirectory, *parameters.fileSystem, stale);

    UsagePeriodSummary periods[2];
    qsizetype next = 0;
    for (int i = 0; i < 2; ++i) {
        if (fresh[i]) {
            const TokensByModel byModel = UsageStatsParser::tokensByModel(
                *cache, UsageStatsParser::recentDateStrings(days[i], parameters.now, parameters.calendar));
            periods[i] = {sum(byModel), UsageStatsParser::estimatedCost(byModel, *modelUsage), UsageDataSource::cache,
                          lastUpdated};
        } else {
            const TokensByModel& byModel = aggregated[next++];
            const double cost = modelUsage ? UsageStatsParser::estimatedCost(byModel, *modelUsage) : 0.0;
            periods[i] = {sum(byModel), cost, UsageDataSource::selfAggregated, std::nullopt};
        }
    }
    return {periods[0], periods[1]};
}

} // namespace

UsageSummary build(const UsageSummaryBuildParameters& parameters)
{
    const auto data = parameters.fileSystem->readData(parameters.statsCachePath);
    const std::optional<StatsCacheFile> cache = data ? StatsCacheFile::decode(*data) : std::nullopt;
    UsageSummary summary;
    if (!cache) {
        std::tie(summary.today, summary.thisWeek) =
            todayAndWeek(false, false, nullptr, std::nullopt, std::nullopt, parameters);
        return summary;
    }

    const ModelUsage modelUsage = cache->modelUsage.value_or(ModelUsage{});
    const Calendar& calendar = parameters.calendar;
    const std::optional<QDateTime> lastUpdated = UsageStatsParser::parsedDate(cache->lastComputedDate, calendar);
    std::tie(summary.today, summary.thisWeek) =
        todayAndWeek(UsageStatsParser::isTodayFresh(cache->lastComputedDate, parameters.now, calendar),
                     UsageStatsParser::isWeekFresh(cache->lastComputedDate, parameters.now, calendar), &*cache,
                     modelUsage, lastUpdated, parameters);
    if (cache->modelUsage) {
        const UsageStatsParser::AllTimeTotals totals = UsageStatsParser::allTimeTotals(modelUsage);
        summary.allTime = {totals.tokens, totals.costUSD, UsageDataSource::cache, lastUpdated};
    }
    return summary;
}

} // namespace brisvane::UsageSummaryBuilder
