#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTimeZone>

#include <cstdint>
#include <optional>

namespace brisvane {

// The Gregorian calendar in one time zone: which day an instant falls on, where days start, and
// dates written as text. The zone is handed in, so that days and day strings do not depend on
// the machine running the tests. A value; copies may be used on any thread.
class Calendar {
public:
    explicit Calendar(QTimeZone timeZone = QTimeZone::utc());
    // The user's calendar: the system's time zone.
    static Calendar current();

    const QTimeZone& timeZone() const { return timeZone_; }

    // The day on which the instant falls in this zone.
    QDate day(const QDateTime& date) const;
    // The first instant of the day (later than midnight where midnight does not exist).
    QDateTime startOfDay(QDate day) const;
    QDateTime startOfDay(const QDateTime& date) const;
    // The same wall-clock time `days` calendar days later (earlier when negative). A time that
    // does not exist on the new day moves forward by the length of the gap. Nothing when the
    // result lies outside the range of dates.
    std::optional<QDateTime> addingDays(int64_t days, const QDateTime& date) const;
    // 1 for Sunday up to 7 for Saturday; 0 for an invalid date.
    int weekday(const QDateTime& date) const;
    bool isSameDay(const QDateTime& a, const QDateTime& b) const;
    // The date as wall-clock text in this zone, in Qt's pattern syntax ("yyyy-MM-dd", "H:mm"),
    // with English names whatever the user's locale.
    QString format(const QDateTime& date, const QString& pattern) const;

    friend bool operator==(const Calendar&, const Calendar&) = default;

private:
    QTimeZone timeZone_;
};

} // namespace brisvane
