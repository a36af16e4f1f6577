#include "app/Services/usage/PlanUsageDisplayFormatter.hpp"

#include "app/Models/Saturating.hpp"

#include <algorithm>
#include <cmath>

namespace brisvane::PlanUsageDisplayFormatter {

QString formatCountdown(const QDateTime& now, const QDateTime& reset)
{
    const int64_t milliseconds =
        std::max<int64_t>(Saturating::subtract(reset.toMSecsSinceEpoch(), now.toMSecsSinceEpoch()), 0);
    const long long minutes = milliseconds / 60'000;
    if (minutes < 60) return QString::asprintf("%lldm", minutes);
    return QString::asprintf("%lldh%02lldm", minutes / 60, minutes % 60);
}

QString formatWeekdayTime(const QDateTime& date, const Calendar& calendar, bool isJapaneseLocale)
{
    static const char16_t* const kJapanese[] = {u"日", u"月", u"火", u"水", u"木", u"金", u"土"};
    static const char16_t* const kEnglish[] = {u"Sun", u"Mon", u"Tue", u"Wed", u"Thu", u"Fri", u"Sat"};
    const int weekday = calendar.weekday(date);
    const QString name = weekday < 1 || weekday > 7
        ? QStringLiteral("?")
        : QString::fromUtf16((isJapaneseLocale ? kJapanese : kEnglish)[weekday - 1]);
    const QString time = calendar.format(date, QStringLiteral("H:mm"));
    return isJapaneseLocale ? name + time : name + u' ' + time;
}

QString formatPercentage(double percentage)
{
    return QString::asprintf("%lld%%", static_cast<long long>(Saturating::toInt64(std::round(percentage))));
}

QString formatExactDateTime(const QDateTime& date, const Calendar& calendar)
{
    return calendar.format(date, QStringLiteral("MM-dd HH:mm"));
}

} // namespace brisvane::PlanUsageDisplayFormatter
