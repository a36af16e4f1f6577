#include "app/Services/usage/UsageStatsParser.hpp"

#include "tests/app/Dates.hpp"
#include "tests/app/Printers.hpp"

#include <gtest/gtest.h>

#include <limits>

using namespace brisvane;
using test::at;
using namespace brisvane::UsageStatsParser;

namespace {

const Calendar kTokyo(QTimeZone("Asia/Tokyo"));
const Calendar kNewYork(QTimeZone("America/New_York"));
constexpr int64_t kMax = std::numeric_limits<int64_t>::max();

StatsCacheFile::ModelUsageEntry usage(int64_t input, std::optional<double> cost)
{
    StatsCacheFile::ModelUsageEntry entry;
    entry.inputTokens = input;
    entry.costUSD = cost;
    return entry;
}

} // namespace

TEST(UsageStatsParser, ParsesDayStringsInTheCalendarsZone)
{
    EXPECT_EQ(parsedDate(QString("2026-03-08"), kNewYork), at("2026-03-08T00:00:00-05:00"));
    EXPECT_EQ(parsedDate(QString("2026-03-08"), kTokyo), at("2026-03-08T00:00:00+09:00"));
    for (const char* text : {"", "2026-3-8", "2026-02-30", "2026-03-08T00:00", "tomorrow"}) {
        EXPECT_EQ(parsedDate(QString(text), kTokyo), std::nullopt) << text;
    }
    EXPECT_EQ(parsedDate(std::nullopt, kTokyo), std::nullopt);
    EXPECT_EQ(dayString(at("2026-03-01T20:00:00Z"), kTokyo), "2026-03-02");
    EXPECT_EQ(dayString(at("2026-03-01T20:00:00Z"), kNewYork), "2026-03-01");
}

TEST(UsageStatsParser, FreshnessOfTodayAndOfTheWeek)
{
    const struct {
        const char* label;
        const Calendar& calendar;
        std::optional<QString> lastComputed;
        QDateTime reference;
        bool todayFresh;
        bool weekFresh;
    } cases[] = {
        {"own day, first moment", kTokyo, "2026-03-01", at("2026-03-01T00:00:00+09:00"), true, true},
        {"own day, last moment", kTokyo, "2026-03-01", at("2026-03-01T23:59:59.999+09:00"), true, true},
        {"the next day", kTokyo, "2026-03-01", at("2026-03-02T00:00:00+09:00"), false, false},
        {"yesterday's cache", kTokyo, "2026-02-28", at("2026-03-01T12:00:00+09:00"), false, false},
        {"tomorrow's cache", kTokyo, "2026-03-02", at("2026-03-01T12:00:00+09:00"), false, true},
        {"the same instant is still the day before in New York", kNewYork, "2026-02-28",
         at("2026-03-01T12:00:00+09:00"), true, true},
        {"25-hour day, before its last hour", kNewYork, "2026-11-01", at("2026-11-01T22:59:59.999-05:00"), true,
         true},
        {"25-hour day, its last hour", kNewYork, "2026-11-01", at("2026-11-01T23:00:00-05:00"), true, false},
        {"after a 23-hour day, first hour of the next", kNewYork, "2026-03-08", at("2026-03-09T00:59:59-04:00"),
         false, true},
        {"after a 23-hour day, 24 hours on", kNewYork, "2026-03-08", at("2026-03-09T01:00:00-04:00"), false, false},
        {"empty day string", kTokyo, "", at("2026-03-01T12:00:00+09:00"), false, false},
        {"no day string", kTokyo, std::nullopt, at("2026-03-01T12:00:00+09:00"), false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(isTodayFresh(c.lastComputed, c.reference, c.calendar), c.todayFresh);
        EXPECT_EQ(isWeekFresh(c.lastComputed, c.reference, c.calendar), c.weekFresh);
    }
}

TEST(UsageStatsParser, RecentDayStrings)
{
    const QDateTime reference = at("2026-03-10T12:00:00-04:00");
    EXPECT_EQ(recentDateStrings(1, reference, kNewYork), QSet<QString>{"2026-03-10"});
    EXPECT_EQ(recentDateStrings(0, reference, kNewYork), QSet<QString>{"2026-03-10"});
    EXPECT_EQ(recentDateStrings(-3, reference, kNewYork), QSet<QString>{"2026-03-10"});
    // Across the change to summer time.
    EXPECT_EQ(recentDateStrings(7, reference, kNewYork),
              (QSet<QString>{"2026-03-04", "2026-03-05", "2026-03-06", "2026-03-07", "2026-03-08", "2026-03-09",
                             "2026-03-10"}));
    EXPECT_EQ(recentDateStrings(2, at("2026-03-01T00:30:00+09:00"), kTokyo),
              (QSet<QString>{"2026-02-28", "2026-03-01"}));
}

TEST(UsageStatsParser, GathersDailyTokensByModel)
{
    StatsCacheFile cache;
    cache.dailyModelTokens = QList<StatsCacheFile::DailyModelTokensEntry>{
        {"2026-03-01", QMap<QString, int64_t>{{"a", 10}, {"b", 1}}},
        {"2026-03-01", QMap<QString, int64_t>{{"a", 5}}}, // a second entry of the same day counts too
        {"2026-02-28", QMap<QString, int64_t>{{"a", 100}}},
        {std::nullopt, QMap<QString, int64_t>{{"a", 1000}}},
        {"2026-03-01", std::nullopt},
        {"2026-03-02", QMap<QString, int64_t>{{"c", kMax}}},
        {"2026-03-02", QMap<QString, int64_t>{{"c", 1}}},
    };
    EXPECT_EQ(tokensByModel(cache, {"2026-03-01"}), (TokensByModel{{"a", 15}, {"b", 1}}));
    EXPECT_EQ(tokensByModel(cache, {"2026-03-01", "2026-02-28"}), (TokensByModel{{"a", 115}, {"b", 1}}));
    EXPECT_EQ(tokensByModel(cache, {"2026-03-02"}), (TokensByModel{{"c", kMax}}));
    EXPECT_EQ(tokensByModel(cache, {}), TokensByModel{});
    EXPECT_EQ(tokensByModel(StatsCacheFile{}, {"2026-03-01"}), TokensByModel{});
}

TEST(UsageStatsParser, EstimatesCostsFromTheAgentsOwnAverages)
{
    StatsCacheFile::ModelUsageEntry full;
    full.inputTokens = 400'000;
    full.outputTokens = 300'000;
    full.cacheReadInputTokens = 200'000;
    full.cacheCreationInputTokens = 100'000;
    full.webSearchRequests = 1'000'000; // not tokens
    full.costUSD = 15;
    const ModelUsage models{
        {"priced", full},
        {"free", usage(1000, 0)},
        {"refunded", usage(1000, -3)},
        {"unpriced", usage(1000, std::nullopt)},
        {"no tokens", usage(0, 5)},
    };
    EXPECT_DOUBLE_EQ(estimatedCost({{"priced", 200'000}}, models), 3.0);
    EXPECT_DOUBLE_EQ(estimatedCost({{"priced", 200'000}, {"unknown", 1'000'000}}, models), 3.0);
    for (const char* model : {"free", "refunded", "unpriced", "no tokens", "unknown"}) {
        EXPECT_EQ(estimatedCost({{model, 500}}, models), 0.0) << model;
    }
    EXPECT_EQ(estimatedCost({{"priced", 200'000}}, {}), 0.0);
    EXPECT_EQ(tokenTotal(full), 1'000'000);
}

TEST(UsageStatsParser, AllTimeTotals)
{
    StatsCacheFile::ModelUsageEntry onlyCost;
    onlyCost.costUSD = 2.5;
    EXPECT_EQ(allTimeTotals({{"m", onlyCost}}), (AllTimeTotals{0, 2.5}));
    EXPECT_EQ(allTimeTotals({{"a", usage(10, 1.5)}, {"b", usage(5, -0.5)}, {"c", usage(1, std::nullopt)}}),
              (AllTimeTotals{16, 1.0}));
    EXPECT_EQ(allTimeTotals({{"a", usage(kMax, 0)}, {"b", usage(kMax, 0)}}).tokens, kMax);
    EXPECT_EQ(allTimeTotals({}), AllTimeTotals{});
}
