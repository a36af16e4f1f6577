#include "app/Services/usage/UsageStatsParser.hpp"

#include "app/Models/Saturating.hpp"

#include <algorithm>

namespace brisvane::UsageStatsParser {

namespace {

const QString kDayPattern = QStringLiteral("yyyy-MM-dd");

} // namespace

QString dayString(const QDateTime& date, const Calendar& calendar)
{
    return calendar.format(date, kDayPattern);
}

std::optional<QDateTime> parsedDate(const std::optional<QString>& dayString, const Calendar& calendar)
{
    if (!dayString) return std::nullopt;
    const QDate day = QDate::fromString(*dayString, kDayPattern);
    if (!day.isValid()) return std::nullopt;
    const QDateTime start = calendar.startOfDay(day);
    if (!start.isValid()) return std::nullopt;
    return start;
}

bool isTodayFresh(const std::optional<QString>& lastComputedDate, const QDateTime& referenceDate,
                  const Calendar& calendar)
{
    const std::optional<QDateTime> computed = parsedDate(lastComputedDate, calendar);
    return computed && calendar.isSameDay(*computed, referenceDate);
}

bool isWeekFresh(const std::optional<QString>& lastComputedDate, const QDateTime& referenceDate,
                 const Calendar& calendar)
{
    const std::optional<QDateTime> computed = parsedDate(lastComputedDate, calendar);
    if (!computed) return false;
    constexpr int64_t kDayMilliseconds = 86'400'000;
    return computed->msecsTo(referenceDate) < kDayMilliseconds;
}

QSet<QString> recentDateStrings(int64_t days, const QDateTime& endingAt, const Calendar& calendar)
{
    QSet<QString> strings;
    const QDateTime dayStart = calendar.startOfDay(endingAt);
    const int64_t count = std::max<int64_t>(days, 1);
    for (int64_t i = 0; i < count; ++i) {
        if (const std::optional<QDateTime> date = calendar.addingDays(-i, dayStart)) {
            strings.insert(dayString(*date, calendar));
        }
    }
    return strings;
}

TokensByModel tokensByModel(const StatsCacheFile& cache, const QSet<QString>& matchingDates)
{
    TokensByModel table;
    if (!cache.dailyModelTokens) return table;
    for (const StatsCacheFile::DailyModelTokensEntry& entry : *cache.dailyModelTokens) {
        if (!entry.date || !matchingDates.contains(*entry.date) || !entry.tokensByModel) continue;
        for (auto model = entry.tokensByModel->begin(); model != entry.tokensByModel->end(); ++model) {
            int64_t& sum = table[model.key()];
            sum = Saturating::add(sum, model.value());
        }
    }
    return table;
}

int64_t tokenTotal(const StatsCacheFile::ModelUsageEntry& entry)
{
    int64_t total = 0;
    for (const std::optional<int64_t>& count : {entry.inputTokens, entry.outputTokens, entry.cacheReadInputTokens,
                                                 entry.cacheCreationInputTokens}) {
        total = Saturating::add(total, count.value_or(0));
    }
    return total;
}

double estimatedCost(const TokensByModel& tokensByModel, const ModelUsage& modelUsage)
{
    double cost = 0;
    for (auto model = tokensByModel.begin(); model != tokensByModel.end(); ++model) {
        const auto usage = modelUsage.find(model.key());
        if (usage == modelUsage.end()) continue;
        const int64_t total = tokenTotal(*usage);
        if (total < 1 || !usage->costUSD || !(*usage->costUSD > 0)) continue;
        cost += *usage->costUSD / double(total) * double(model.value());
    }
    return cost;
}

AllTimeTotals allTimeTotals(const ModelUsage& modelUsage)
{
    AllTimeTotals totals;
    for (const StatsCacheFile::ModelUsageEntry& entry : modelUsage) {
        totals.tokens = Saturating::add(totals.tokens, tokenTotal(entry));
        totals.costUSD += entry.costUSD.value_or(0);
    }
    return totals;
}

} // namespace brisvane::UsageStatsParser
