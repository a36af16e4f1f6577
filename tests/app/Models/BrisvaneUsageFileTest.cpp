#include "app/Models/BrisvaneUsageFile.hpp"

#include <gtest/gtest.h>

using namespace brisvane;

namespace {

using Window = BrisvaneUsageFile::RateLimits::Window;
using RateLimits = BrisvaneUsageFile::RateLimits;

} // namespace

TEST(BrisvaneUsageFile, ConvertsSnakeCaseKeys)
{
    const struct {
        const char* key;
        const char* expected;
    } cases[] = {
        {"fetched_at", "fetchedAt"},   {"fetchedAt", "fetchedAt"},     {"used_percentage", "usedPercentage"},
        {"a_b_c", "aBC"},              {"a__b", "aB"},                 {"_private", "_private"},
        {"trailing_", "trailing_"},    {"__both__x__", "__bothX__"},   {"___", "___"},
        {"", ""},                      {"five_hour", "fiveHour"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BrisvaneUsageFile::convertFromSnakeCase(QString::fromLatin1(c.key)), QString::fromLatin1(c.expected))
            << c.key;
    }
}

TEST(BrisvaneUsageFile, DecodesStrictly)
{
    const std::optional<BrisvaneUsageFile> none;
    const struct {
        const char* label;
        const char* json;
        std::optional<BrisvaneUsageFile> expected;
    } cases[] = {
        {"full, snake case",
         R"({"fetched_at":1796917700.25,"rate_limits":{"five_hour":{"used_percentage":29.3,"resets_at":1796924726},)"
         R"("seven_day":{"used_percentage":50,"resets_at":1797176726}},"other":[1]})",
         BrisvaneUsageFile{1796917700.25, RateLimits{Window{29.3, 1796924726}, Window{50, 1797176726}}}},
        {"camel case", R"({"fetchedAt":1,"rateLimits":{"sevenDay":{"usedPercentage":2,"resetsAt":3}}})",
         BrisvaneUsageFile{1, RateLimits{std::nullopt, Window{2, 3}}}},
        {"nulls are absent", R"({"fetched_at":null,"rate_limits":{"five_hour":null,"seven_day":{"used_percentage":null}}})",
         BrisvaneUsageFile{std::nullopt, RateLimits{std::nullopt, Window{}}}},
        {"empty object", "{}", BrisvaneUsageFile{}},
        {"percentage as text", R"({"fetched_at":1,"rate_limits":{"five_hour":{"used_percentage":"50"}}})", none},
        {"window not an object", R"({"fetched_at":1,"rate_limits":{"five_hour":5}})", none},
        {"rate limits not an object", R"({"fetched_at":1,"rate_limits":[]})", none},
        {"time as text", R"({"fetched_at":"1"})", none},
        {"a wrong type deep in an unused window still fails",
         R"({"fetched_at":1,"rate_limits":{"seven_day":{"resets_at":true}}})", none},
        {"null document", "null", none},
        {"array document", "[]", none},
        {"empty text", "", none},
        {"not JSON", "{", none},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(BrisvaneUsageFile::decode(c.json), c.expected);
    }
}
