// libFuzzer target: any bytes as the agent's statistics cache, decoded and then summed and priced
// as the usage summary does.
#include "app/Models/StatsCacheFile.hpp"
#include "app/Services/usage/UsageStatsParser.hpp"

#include <QTimeZone>

using namespace brisvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto cache = StatsCacheFile::decode(QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (!cache) return 0;
    const Calendar calendar = Calendar::current();
    const QDateTime now = QDateTime::fromSecsSinceEpoch(1'800'000'000, QTimeZone::utc());
    (void)UsageStatsParser::isTodayFresh(cache->lastComputedDate, now, calendar);
    (void)UsageStatsParser::parsedDate(cache->lastComputedDate, calendar);
    const auto tokens = UsageStatsParser::tokensByModel(*cache, UsageStatsParser::recentDateStrings(7, now, calendar));
    const auto usage = cache->modelUsage.value_or(UsageStatsParser::ModelUsage{});
    (void)UsageStatsParser::estimatedCost(tokens, usage);
    (void)UsageStatsParser::allTimeTotals(usage);
    return 0;
}
