#pragma once

// Readable failure messages for the usage types.

#include "app/Models/PlanUsageSummary.hpp"
#include "app/Models/UsageSummary.hpp"

#include <QDateTime>

#include <ostream>

namespace brisvane {

inline void PrintTo(const PlanUsageWindow& window, std::ostream* out)
{
    *out << window.usedPercentage << "% until " << window.resetsAt.toString(Qt::ISODateWithMs).toStdString();
}

inline void PrintTo(const PlanUsageSummary& summary, std::ostream* out)
{
    *out << "{5h ";
    if (summary.fiveHour) PrintTo(*summary.fiveHour, out);
    *out << ", 7d ";
    if (summary.sevenDay) PrintTo(*summary.sevenDay, out);
    *out << ", fetched " << summary.fetchedAt.toString(Qt::ISODateWithMs).toStdString() << "}";
}

inline void PrintTo(UsageDataSource source, std::ostream* out)
{
    static const char* const kNames[] = {"cache", "selfAggregated", "unavailable"};
    *out << kNames[static_cast<int>(source)];
}

inline void PrintTo(const UsagePeriodSummary& period, std::ostream* out)
{
    *out << "{" << period.tokens << " tok, $" << period.estimatedCostUSD << ", ";
    PrintTo(period.source, out);
    if (period.lastUpdated) *out << ", updated " << period.lastUpdated->toString(Qt::ISODate).toStdString();
    *out << "}";
}

inline void PrintTo(const UsageSummary& summary, std::ostream* out)
{
    *out << "today ";
    PrintTo(summary.today, out);
    *out << ", week ";
    PrintTo(summary.thisWeek, out);
    *out << ", all ";
    PrintTo(summary.allTime, out);
}

} // namespace brisvane
