#include "app/Services/voice/ConclusionAnnouncementPlanner.hpp"

#include "app/Models/UuidText.hpp"

#include <algorithm>

namespace brisvane::ConclusionAnnouncementPlanner {

namespace {

struct Eligible {
    QString sortKey;
    Announcement announcement;
    std::optional<QString> conclusionText;
};

// The tile of a snapshot key "t:<UUID>".
std::optional<QUuid> tileId(const QString& key)
{
    if (!key.startsWith(QLatin1String("t:"))) return std::nullopt;
    return UuidText::parse(QStringView(key).mid(2));
}

} // namespace

Plan plan(const QList<AnnouncementResult>& results, double busyThreshold,
          const std::function<bool(const QUuid&)>& readingEnabled,
          const std::function<std::optional<QString>(const QUuid&)>& conclusionText)
{
    Plan plan;
    QList<Eligible> eligible;
    for (const AnnouncementResult& result : results) {
        std::optional<QUuid> tile;
        if (result.announcement.kind == AnnouncementKind::completed) tile = tileId(result.id);
        const bool candidate = tile && result.busyDuration && *result.busyDuration >= busyThreshold
            && readingEnabled(*tile);
        if (candidate) {
            eligible.append({UuidText::format(*tile), result.announcement, conclusionText(*tile)});
        } else {
            plan.individual.append(result.announcement);
        }
    }
    if (eligible.isEmpty()) return plan;

    std::stable_sort(eligible.begin(), eligible.end(),
                     [](const Eligible& a, const Eligible& b) { return a.sortKey < b.sortKey; });
    const auto withText = std::find_if(eligible.cbegin(), eligible.cend(),
                                       [](const Eligible& e) { return e.conclusionText.has_value(); });
    const Eligible& winner = withText != eligible.cend() ? *withText : eligible.front();
    plan.winner = winner.announcement;
    plan.winnerConclusionText = winner.conclusionText;
    plan.remainingCompletedCount = eligible.size() - 1;
    return plan;
}

} // namespace brisvane::ConclusionAnnouncementPlanner
