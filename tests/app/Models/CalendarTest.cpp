#include "app/Models/Calendar.hpp"

#include "tests/app/Dates.hpp"
#include "tests/app/Printers.hpp"

#include <gtest/gtest.h>

using namespace brisvane;
using test::at;

namespace {

const Calendar kTokyo(QTimeZone("Asia/Tokyo"));
const Calendar kNewYork(QTimeZone("America/New_York"));

} // namespace

TEST(Calendar, DaysStartAndAddInTheirZone)
{
    ASSERT_TRUE(kTokyo.timeZone().isValid());
    ASSERT_TRUE(kNewYork.timeZone().isValid());
    const struct {
        const char* label;
        const Calendar& calendar;
        QDateTime date;
        QDateTime startOfDay;
        QDateTime nextDay; // the start of day plus one day
    } cases[] = {
        {"Tokyo", kTokyo, at("2026-03-01T05:00:00+09:00"), at("2026-03-01T00:00:00+09:00"),
         at("2026-03-02T00:00:00+09:00")},
        // The same instant is still the evening before in New York.
        {"New York, same instant", kNewYork, at("2026-03-01T05:00:00+09:00"), at("2026-02-28T00:00:00-05:00"),
         at("2026-03-01T00:00:00-05:00")},
        {"23-hour day", kNewYork, at("2026-03-08T12:00:00-04:00"), at("2026-03-08T00:00:00-05:00"),
         at("2026-03-09T00:00:00-04:00")},
        {"25-hour day", kNewYork, at("2026-11-01T23:30:00-05:00"), at("2026-11-01T00:00:00-04:00"),
         at("2026-11-02T00:00:00-05:00")},
        {"the repeated hour of a 25-hour day", kNewYork, at("2026-11-01T01:30:00-05:00"),
         at("2026-11-01T00:00:00-04:00"), at("2026-11-02T00:00:00-05:00")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const QDateTime start = c.calendar.startOfDay(c.date);
        EXPECT_EQ(start, c.startOfDay);
        EXPECT_EQ(c.calendar.addingDays(1, start), c.nextDay);
        EXPECT_EQ(c.calendar.addingDays(-1, c.nextDay), start);
        EXPECT_TRUE(c.calendar.isSameDay(start, c.date));
        EXPECT_FALSE(c.calendar.isSameDay(c.nextDay, c.date));
    }
    EXPECT_EQ(kNewYork.addingDays(-6, at("2026-03-10T00:00:00-04:00")), at("2026-03-04T00:00:00-05:00"));
}

TEST(Calendar, AddingDaysKeepsTheWallClockAndSkipsGaps)
{
    // 02:30 does not exist on 8 March: it moves forward by the hour the clocks skipped.
    EXPECT_EQ(kNewYork.addingDays(1, at("2026-03-07T02:30:00-05:00")), at("2026-03-08T03:30:00-04:00"));
    EXPECT_EQ(kNewYork.addingDays(1, at("2026-03-07T09:05:00-05:00")), at("2026-03-08T09:05:00-04:00"));
    // Where midnight itself is skipped, the day starts at 01:00.
    const Calendar saoPaulo(QTimeZone("America/Sao_Paulo"));
    EXPECT_EQ(saoPaulo.startOfDay(at("2018-11-04T12:00:00-02:00")), at("2018-11-04T01:00:00-02:00"));
    EXPECT_EQ(kTokyo.addingDays(1, QDateTime()), std::nullopt);
    EXPECT_EQ(kTokyo.addingDays(int64_t{1} << 62, at("2026-03-01T00:00:00+09:00")), std::nullopt);
}

TEST(Calendar, WeekdaysAndTextFollowTheZone)
{
    // 2026-03-01 is a Sunday.
    const QDateTime instant = at("2026-03-01T20:05:00Z");
    EXPECT_EQ(kNewYork.weekday(instant), 1);
    EXPECT_EQ(kTokyo.weekday(instant), 2);
    EXPECT_EQ(kTokyo.weekday(at("2026-03-07T12:00:00+09:00")), 7);
    EXPECT_EQ(kTokyo.weekday(QDateTime()), 0);
    EXPECT_EQ(kNewYork.format(instant, "yyyy-MM-dd H:mm"), "2026-03-01 15:05");
    EXPECT_EQ(kTokyo.format(instant, "yyyy-MM-dd H:mm"), "2026-03-02 5:05");
    EXPECT_EQ(Calendar().format(instant, "MM-dd HH:mm"), "03-01 20:05");
}
