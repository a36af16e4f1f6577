#include "app/Services/usage/PlanUsageParser.hpp"

#include "app/Models/Saturating.hpp"

#include <algorithm>
#include <cmath>

namespace brisvane::PlanUsageParser {

namespace {

constexpr double kLatestMilliseconds = 8.64e15;

std::optional<PlanUsageWindow> window(const std::optional<BrisvaneUsageFile::RateLimits::Window>& window)
{
    if (!window || !window->usedPercentage || !window->resetsAt) return std::nullopt;
    return PlanUsageWindow{*window->usedPercentage, dateFromSecondsSince1970(*window->resetsAt)};
}

} // namespace

QDateTime dateFromSecondsSince1970(double seconds)
{
    const double milliseconds = std::clamp(std::round(seconds * 1000.0), -kLatestMilliseconds, kLatestMilliseconds);
    return QDateTime::fromMSecsSinceEpoch(Saturating::toInt64(milliseconds), Qt::UTC);
}

std::optional<PlanUsageSummary> summary(const BrisvaneUsageFile& file)
{
    if (!file.fetchedAt) return std::nullopt;
    PlanUsageSummary result;
    if (file.rateLimits) {
        result.fiveHour = window(file.rateLimits->fiveHour);
        result.sevenDay = window(file.rateLimits->sevenDay);
    }
    result.fetchedAt = dateFromSecondsSince1970(*file.fetchedAt);
    return result;
}

} // namespace brisvane::PlanUsageParser
