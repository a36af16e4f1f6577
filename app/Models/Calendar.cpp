#include "app/Models/Calendar.hpp"

#include <cstdlib>

namespace brisvane {

namespace {
// Far beyond any date the application handles, and well inside what QDate can add up.
constexpr int64_t kMaxDaysAdded = 1'000'000'000;
} // namespace

Calendar::Calendar(QTimeZone timeZone) : timeZone_(std::move(timeZone)) {}

Calendar Calendar::current()
{
    return Calendar(QTimeZone::systemTimeZone());
}

QDate Calendar::day(const QDateTime& date) const
{
    return date.toTimeZone(timeZone_).date();
}

QDateTime Calendar::startOfDay(QDate day) const
{
    return day.startOfDay(timeZone_);
}

QDateTime Calendar::startOfDay(const QDateTime& date) const
{
    return startOfDay(day(date));
}

std::optional<QDateTime> Calendar::addingDays(int64_t days, const QDateTime& date) const
{
    if (!date.isValid() || std::llabs(days) > kMaxDaysAdded) return std::nullopt;
    const QDateTime local = date.toTimeZone(timeZone_);
    const QDate newDay = local.date().addDays(days);
    if (!newDay.isValid()) return std::nullopt;
    QDateTime result(newDay, local.time(), timeZone_);
    if (!result.isValid()) {
        // The wall time falls in a gap (clocks moved forward): read it with the offset in force
        // before the gap, which lands as far past the gap's end as the time was past its start.
        const QDateTime asUtc(newDay, local.time(), Qt::UTC);
        const int offsetBefore = timeZone_.offsetFromUtc(asUtc.addDays(-1));
        result = asUtc.addSecs(-offsetBefore).toTimeZone(timeZone_);
    }
    if (!result.isValid()) return std::nullopt;
    return result;
}

int Calendar::weekday(const QDateTime& date) const
{
    // Qt counts Monday as 1 and Sunday as 7, and 0 for an invalid date.
    const int dayOfWeek = day(date).dayOfWeek();
    if (dayOfWeek < 1) return 0;
    return dayOfWeek % 7 + 1;
}

bool Calendar::isSameDay(const QDateTime& a, const QDateTime& b) const
{
    return day(a) == day(b);
}

QString Calendar::format(const QDateTime& date, const QString& pattern) const
{
    return date.toTimeZone(timeZone_).toString(pattern);
}

} // namespace brisvane
