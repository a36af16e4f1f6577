#pragma once

#include "app/Models/Calendar.hpp"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>

// The short texts of the usage meter, the same in every view. Numbers always use a decimal point.
namespace brisvane::UsageDisplayFormatter {

// "999 tok", "1.2K tok", "25.5M tok" (negative counts in full).
QString formatTokenCount(int64_t tokens);
// The token count, followed by " ($2.50)" unless the cost is exactly 0.
QString formatTokensWithOptionalCost(int64_t tokens, double costUSD);
// "最終更新 03-01" (localised) for the date's day in the calendar; nothing without a date.
std::optional<QString> formatLastUpdated(const std::optional<QDateTime>& date, const Calendar& calendar);

} // namespace brisvane::UsageDisplayFormatter
