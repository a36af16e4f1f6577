#include "app/Services/UsageSummaryBuilder.hpp"

#include "app/Models/Saturating.hpp"
#include "app/Models/StatsCacheFile.hpp"
#include "app/Services/UsageSelfAggregator.hpp"
#include "app/Services/UsageStatsParser.hpp"

#include <optional>

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

// The period of `days` days ending with today, summed from the transcripts; priced only when the
// cache gave its model usage.
UsagePeriodSummary selfAggregatedPeriod(int64_t days, const UsageSummaryBuildParameters& parameters,
                                        const std::optional<ModelUsage>& modelUsage)
{
    const Calendar& calendar = parameters.calendar;
    const QDateTime dayStart = calendar.startOfDay(parameters.now);
    const QDateTime periodEnd = calendar.addingDays(1, dayStart).value_or(parameters.now);
    const QDateTime periodStart = calendar.addingDays(-(days - 1), dayStart).value_or(dayStart);
    const TokensByModel byModel = UsageSelfAggregator::aggregateTokensByModel(
        parameters.projectsDirectory, *parameters.fileSystem, periodStart, periodEnd);
    const double cost = modelUsage ? UsageStatsParser::estimatedCost(byModel, *modelUsage) : 0.0;
    return {sum(byModel), cost, UsageDataSource::selfAggregated, std::nullopt};
}

// The period from the cache when `isFresh` holds for it, else from the transcripts.
UsagePeriodSummary period(int64_t days, bool isFresh, const StatsCacheFile& cache, const ModelUsage& modelUsage,
                          const std::optional<QDateTime>& lastUpdated, const UsageSummaryBuildParameters& parameters)
{
    if (!isFresh) return selfAggregatedPeriod(days, parameters, modelUsage);
    const TokensByModel byModel = UsageStatsParser::tokensByModel(
        cache, UsageStatsParser::recentDateStrings(days, parameters.now, parameters.calendar));
    return {sum(byModel), UsageStatsParser::estimatedCost(byModel, modelUsage), UsageDataSource::cache, lastUpdated};
}

} // namespace

UsageSummary build(const UsageSummaryBuildParameters& parameters)
{
    const auto data = parameters.fileSystem->readData(parameters.statsCachePath);
    const std::optional<StatsCacheFile> cache = data ? StatsCacheFile::decode(*data) : std::nullopt;
    if (!cache) {
        return {selfAggregatedPeriod(1, parameters, std::nullopt), selfAggregatedPeriod(7, parameters, std::nullopt),
                UsagePeriodSummary{}};
    }

    const ModelUsage modelUsage = cache->modelUsage.value_or(ModelUsage{});
    const Calendar& calendar = parameters.calendar;
    const std::optional<QDateTime> lastUpdated = UsageStatsParser::parsedDate(cache->lastComputedDate, calendar);
    UsageSummary summary;
    summary.today = period(1, UsageStatsParser::isTodayFresh(cache->lastComputedDate, parameters.now, calendar),
                           *cache, modelUsage, lastUpdated, parameters);
    summary.thisWeek = period(7, UsageStatsParser::isWeekFresh(cache->lastComputedDate, parameters.now, calendar),
                              *cache, modelUsage, lastUpdated, parameters);
    if (cache->modelUsage) {
        const UsageStatsParser::AllTimeTotals totals = UsageStatsParser::allTimeTotals(modelUsage);
        summary.allTime = {totals.tokens, totals.costUSD, UsageDataSource::cache, lastUpdated};
    }
    return summary;
}

} // namespace brisvane::UsageSummaryBuilder
