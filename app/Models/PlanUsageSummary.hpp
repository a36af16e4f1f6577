#pragma once

#include <QDateTime>

#include <optional>

namespace brisvane {

// One window of the subscription's usage limit.
struct PlanUsageWindow {
    // Percent, as the agent reported it; may lie below 0 or above 100.
    double usedPercentage = 0;
    QDateTime resetsAt;

    friend bool operator==(const PlanUsageWindow&, const PlanUsageWindow&) = default;
};

// The plan usage as the status-line script last received it.
struct PlanUsageSummary {
    std::optional<PlanUsageWindow> fiveHour;
    std::optional<PlanUsageWindow> sevenDay;
    QDateTime fetchedAt;

    friend bool operator==(const PlanUsageSummary&, const PlanUsageSummary&) = default;
};

} // namespace brisvane
