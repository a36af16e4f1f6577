#include "app/Services/usage/PlanUsageDisplayFormatter.hpp"

#include "tests/app/Dates.hpp"
#include "tests/app/Printers.hpp"

#include <gtest/gtest.h>

#include <limits>

using namespace brisvane;
using test::at;

namespace {

const Calendar kTokyo(QTimeZone("Asia/Tokyo"));
const Calendar kNewYork(QTimeZone("America/New_York"));
constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

} // namespace

TEST(PlanUsageDisplayFormatter, Countdowns)
{
    const QDateTime now = at("2026-03-01T09:00:00+09:00");
    const struct {
        double secondsLeft;
        const char* expected;
    } cases[] = {
        {59, "0m"},       {59.999, "0m"},         {60, "1m"},           {3599, "59m"},
        {3600, "1h00m"},  {3600 + 61, "1h01m"},   {7 * 86400, "168h00m"}, {-1, "0m"},
        {-86400 * 365, "0m"},
    };
    for (const auto& c : cases) {
        const QDateTime reset = now.addMSecs(int64_t(c.secondsLeft * 1000));
        EXPECT_EQ(PlanUsageDisplayFormatter::formatCountdown(now, reset), c.expected) << c.secondsLeft;
    }
    // Dates at the far ends of the range, as a plan-usage file of 1e300 gives, and invalid ones.
    const QDateTime far = QDateTime::fromMSecsSinceEpoch(8'640'000'000'000'000, Qt::UTC);
    const QDateTime farBack = QDateTime::fromMSecsSinceEpoch(-8'640'000'000'000'000, Qt::UTC);
    EXPECT_EQ(PlanUsageDisplayFormatter::formatCountdown(farBack, far), "4800000000h00m");
    EXPECT_EQ(PlanUsageDisplayFormatter::formatCountdown(far, farBack), "0m");
    EXPECT_EQ(PlanUsageDisplayFormatter::formatCountdown(QDateTime(), QDateTime()), "0m");
}

TEST(PlanUsageDisplayFormatter, WeekdaysAndTimes)
{
    // Monday 2 March 2026, 09:05 in Tokyo; still Sunday evening in New York.
    const QDateTime monday = at("2026-03-02T09:05:00+09:00");
    EXPECT_EQ(PlanUsageDisplayFormatter::formatWeekdayTime(monday, kTokyo, false), "Mon 9:05");
    EXPECT_EQ(PlanUsageDisplayFormatter::formatWeekdayTime(monday, kTokyo, true), QString::fromUtf8("月9:05"));
    EXPECT_EQ(PlanUsageDisplayFormatter::formatWeekdayTime(monday, kNewYork, false), "Sun 19:05");
    EXPECT_EQ(PlanUsageDisplayFormatter::formatWeekdayTime(monday, kNewYork, true), QString::fromUtf8("日19:05"));
    const char* const japanese[] = {"日", "月", "火", "水", "木", "金", "土"};
    const char* const english[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    for (int i = 0; i < 7; ++i) {
        const QDateTime day = at("2026-03-01T00:00:00+09:00").addDays(i); // from Sunday on
        EXPECT_EQ(PlanUsageDisplayFormatter::formatWeekdayTime(day, kTokyo, true), QString::fromUtf8(japanese[i]) + "0:00");
        EXPECT_EQ(PlanUsageDisplayFormatter::formatWeekdayTime(day, kTokyo, false), QString(english[i]) + " 0:00");
    }
    EXPECT_TRUE(PlanUsageDisplayFormatter::formatWeekdayTime(QDateTime(), kTokyo, false).startsWith("?"));

    EXPECT_EQ(PlanUsageDisplayFormatter::formatExactDateTime(at("2026-03-01T09:05:00+09:00"), kTokyo), "03-01 09:05");
    EXPECT_EQ(PlanUsageDisplayFormatter::formatExactDateTime(at("2026-03-01T09:05:00+09:00"), kNewYork), "02-28 19:05");
}

TEST(PlanUsageDisplayFormatter, Percentages)
{
    const struct {
        double percentage;
        const char* expected;
    } cases[] = {
        {42.5, "43%"},  {42.4, "42%"},   {-0.5, "-1%"}, {100, "100%"}, {0, "0%"}, {130, "130%"}, {-5, "-5%"},
        {1e300, "9223372036854775807%"}, {-1e300, "-9223372036854775808%"}, {kInfinity, "9223372036854775807%"},
        {kNaN, "0%"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PlanUsageDisplayFormatter::formatPercentage(c.percentage), c.expected) << c.percentage;
    }
}
