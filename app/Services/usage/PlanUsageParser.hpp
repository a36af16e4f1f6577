#pragma once

#include "app/Models/BrisvaneUsageFile.hpp"
#include "app/Models/PlanUsageSummary.hpp"

#include <QDateTime>

#include <optional>

namespace brisvane::PlanUsageParser {

// The summary of a decoded plan-usage file: nothing without `fetchedAt`; a window only when
// both its percentage and its reset time are there. Both windows may be absent.
std::optional<PlanUsageSummary> summary(const BrisvaneUsageFile& file);

// The instant `seconds` after 1970-01-01 00:00 UTC, to the millisecond. Seconds beyond
// ±8.64e12 (about 275,000 years) stick there, so that any number in the file gives a date the
// formatters can do arithmetic on.
QDateTime dateFromSecondsSince1970(double seconds);

} // namespace brisvane::PlanUsageParser
