#include "app/Services/voice/ConclusionStore.hpp"

#include "app/Models/BrisvaneConclusionFile.hpp"

#include <cmath>
#include <limits>

namespace brisvane::ConclusionStore {

namespace {

// Far beyond any real capture time, and well inside what a QDateTime holds in milliseconds.
constexpr double kCaptureTimeLimit = 1e15;

std::optional<AnnouncementConclusion> usableConclusion(const BrisvaneConclusionFile& file, const QDateTime& now)
{
    if (!file.pid || !file.capturedAt) return std::nullopt;
    // The model keeps 32-bit process ids; a larger one cannot be any agent's.
    if (*file.pid < std::numeric_limits<int32_t>::min() || *file.pid > std::numeric_limits<int32_t>::max()) {
        return std::nullopt;
    }
    const QString text = file.text.value_or(QString()).trimmed();
    if (text.isEmpty()) return std::nullopt;
    const double capturedAt = *file.capturedAt;
    if (std::abs(capturedAt) > kCaptureTimeLimit) return std::nullopt;
    // A capture time after `now` counts as fresh.
    const double age = now.toMSecsSinceEpoch() / 1000.0 - capturedAt;
    if (age >= kFreshness) return std::nullopt;
    const auto milliseconds = static_cast<int64_t>(std::llround(capturedAt * 1000.0));
    return AnnouncementConclusion{static_cast<int32_t>(*file.pid), text,
                                  QDateTime::fromMSecsSinceEpoch(milliseconds, Qt::UTC)};
}

} // namespace

QMap<int32_t, AnnouncementConclusion> load(const ConclusionStoreParameters& parameters)
{
    QMap<int32_t, AnnouncementConclusion> conclusions;
    const auto names = parameters.fileSystem->contentsOfDirectory(parameters.directory);
    if (!names) return conclusions;
    for (const QString& name : *names) {
        if (!name.endsWith(QLatin1String(".json"))) continue;
        const auto data = parameters.fileSystem->readData(parameters.directory + u'/' + name);
        if (!data) continue;
        const std::optional<BrisvaneConclusionFile> file = BrisvaneConclusionFile::decode(*data);
        if (!file) continue;
        if (std::optional<AnnouncementConclusion> conclusion = usableConclusion(*file, parameters.now)) {
            conclusions.insert(conclusion->pid, std::move(*conclusion));
        }
    }
    return conclusions;
}

} // namespace brisvane::ConclusionStore
