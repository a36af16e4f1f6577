#pragma once

#include "app/Models/Calendar.hpp"

#include <QDateTime>
#include <QString>

// The short texts of the plan-usage gauges. Inputs come from the plan-usage file, where any
// number may stand: values beyond the 64-bit range are shown at its ends instead of failing.
namespace brisvane::PlanUsageDisplayFormatter {

// The time left until `reset` in whole minutes: "59m", "1h00m", "168h00m"; "0m" once past.
QString formatCountdown(const QDateTime& now, const QDateTime& reset);
// The reset's weekday and time in the calendar's zone: "月9:05" in Japanese, "Mon 9:05" in English.
QString formatWeekdayTime(const QDateTime& date, const Calendar& calendar, bool isJapaneseLocale);
// The percentage rounded half away from zero: "43%".
QString formatPercentage(double percentage);
// "03-01 09:05" in the calendar's zone.
QString formatExactDateTime(const QDateTime& date, const Calendar& calendar);

} // namespace brisvane::PlanUsageDisplayFormatter
