#include "app/Services/usage/PlanUsageStore.hpp"

#include "app/Services/usage/PlanUsageParser.hpp"

namespace brisvane::PlanUsageStore {

std::optional<PlanUsageSummary> load(const PlanUsageStoreParameters& parameters)
{
    const auto data = parameters.fileSystem->readData(parameters.path);
    if (!data) return std::nullopt;
    const std::optional<BrisvaneUsageFile> file = BrisvaneUsageFile::decode(*data);
    if (!file) return std::nullopt;
    std::optional<PlanUsageSummary> summary = PlanUsageParser::summary(*file);
    if (!summary) return std::nullopt;

    // In doubles: both ends may sit far apart at the limits of the range.
    const double ageSeconds =
        (double(parameters.now.toMSecsSinceEpoch()) - double(summary->fetchedAt.toMSecsSinceEpoch())) / 1000.0;
    if (ageSeconds >= kMaxAgeSeconds) return std::nullopt;
    if (!summary->fiveHour && !summary->sevenDay) return std::nullopt;
    return summary;
}

} // namespace brisvane::PlanUsageStore
