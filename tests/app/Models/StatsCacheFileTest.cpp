#include "app/Models/StatsCacheFile.hpp"

#include "tests/app/AgentHome.hpp"

#include <gtest/gtest.h>

using namespace brisvane;

namespace {

using ModelUsageEntry = StatsCacheFile::ModelUsageEntry;
using DailyModelTokensEntry = StatsCacheFile::DailyModelTokensEntry;

ModelUsageEntry costOnly(double cost)
{
    ModelUsageEntry entry;
    entry.costUSD = cost;
    return entry;
}

} // namespace

TEST(StatsCacheFile, DecodesTheAgentsOwnFile)
{
    const auto cache = StatsCacheFile::decode(test::readFile(test::fixtureAgentHome() + "/.claude/stats-cache.json"));
    ASSERT_TRUE(cache);
    EXPECT_EQ(cache->lastComputedDate, "2026-12-09");
    ASSERT_TRUE(cache->dailyActivity);
    EXPECT_EQ(*cache->dailyActivity, (QList<StatsCacheFile::DailyActivityEntry>{{"2026-12-08", 22, 1, 2}}));
    ASSERT_TRUE(cache->dailyModelTokens);
    EXPECT_EQ(*cache->dailyModelTokens,
              (QList<DailyModelTokensEntry>{{"2026-12-08", QMap<QString, int64_t>{{"claude-opus-4-8", 1095}}}}));
    ASSERT_TRUE(cache->modelUsage);
    EXPECT_EQ(cache->modelUsage->value("claude-opus-4-8"), (ModelUsageEntry{960, 135, 0, 0, 0, 0.0, 0, 0}));
    EXPECT_EQ(cache->totalSessions, 1);
    EXPECT_EQ(cache->totalMessages, 22);
}

TEST(StatsCacheFile, DecodesStrictly)
{
    const std::optional<StatsCacheFile> none;
    StatsCacheFile withoutDate;
    withoutDate.dailyModelTokens = QList<DailyModelTokensEntry>{{std::nullopt, QMap<QString, int64_t>{{"m", 5}}}};
    StatsCacheFile onlyCost;
    onlyCost.modelUsage = QMap<QString, ModelUsageEntry>{{"m", costOnly(2.5)}};
    StatsCacheFile integerCost;
    integerCost.modelUsage = QMap<QString, ModelUsageEntry>{{"m", costOnly(3.0)}};
    StatsCacheFile largest;
    largest.totalMessages = std::numeric_limits<int64_t>::max();
    StatsCacheFile nulls;
    nulls.dailyModelTokens = QList<DailyModelTokensEntry>{{}};

    const struct {
        const char* label;
        const char* json;
        std::optional<StatsCacheFile> expected;
    } cases[] = {
        {"empty object", "{}", StatsCacheFile{}},
        {"element without a date", R"({"dailyModelTokens":[{"tokensByModel":{"m":5}}]})", withoutDate},
        {"usage with only a cost", R"({"modelUsage":{"m":{"costUSD":2.5}}})", onlyCost},
        {"integer literal in a double field", R"({"modelUsage":{"m":{"costUSD":3}}})", integerCost},
        {"largest integer", R"({"totalMessages":9223372036854775807})", largest},
        {"nulls are absent", R"({"lastComputedDate":null,"dailyModelTokens":[{"date":null,"tokensByModel":null}]})",
         nulls},
        {"fraction in an unused integer field", R"({"totalSessions":12.5})", none},
        {"fraction in a token count", R"({"dailyModelTokens":[{"date":"2026-12-08","tokensByModel":{"m":1.5}}]})",
         none},
        {"integer beyond 64 bits", R"({"totalMessages":9223372036854775808})", none},
        {"list element not an object", R"({"dailyModelTokens":[5]})", none},
        {"null list element", R"({"dailyActivity":[null]})", none},
        {"null table value", R"({"modelUsage":{"m":null}})", none},
        {"null token count", R"({"dailyModelTokens":[{"tokensByModel":{"m":null}}]})", none},
        {"date as a number", R"({"lastComputedDate":20261209})", none},
        {"cost as text", R"({"modelUsage":{"m":{"costUSD":"1"}}})", none},
        {"list where a table belongs", R"({"modelUsage":[]})", none},
        {"array document", "[]", none},
        {"not JSON", "{\"lastComputedDate\":", none},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(StatsCacheFile::decode(c.json), c.expected);
    }
}
