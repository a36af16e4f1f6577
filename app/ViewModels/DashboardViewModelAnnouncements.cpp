#include "app/ViewModels/DashboardViewModel.hpp"

#include "app/Models/UuidText.hpp"
#include "app/Services/voice/AnnouncementMessageFormatter.hpp"
#include "app/Services/voice/ConclusionAnnouncementPlanner.hpp"

#include <QLoggingCategory>
#include <QTimer>

#include <cmath>

Q_DECLARE_LOGGING_CATEGORY(lcDashboardViewModel)

namespace brisvane {

namespace {

QString messageFor(AnnouncementKind kind, const QString& projectName, bool isJapaneseLocale)
{
    return kind == AnnouncementKind::waitingForApproval
        ? AnnouncementEngine::waitingForApprovalMessage(projectName, isJapaneseLocale)
        : AnnouncementEngine::completedMessage(projectName, isJapaneseLocale);
}

// What is said after the winner for the other completions that would have been read.
QString remainingCompletedMessage(int64_t count, bool isJapaneseLocale)
{
    if (isJapaneseLocale) return QStringLiteral("他に%1件完了しました").arg(count);
    if (count == 1) return QStringLiteral("1 more task completed");
    return QStringLiteral("%1 more tasks completed").arg(count);
}

} // namespace

QMap<QString, AnnouncementSessionInfo> DashboardViewModel::announcementSnapshot() const
{
    // Only agents in the application's own tiles are announced; shell-only and closed tiles are not.
    QMap<QString, AnnouncementSessionInfo> snapshot;
    for (const TerminalTile& tile : terminalTiles_) {
        if (tile.lifecycle.kind != TerminalTileLifecycle::Case::attached) continue;
        snapshot.insert(QStringLiteral("t:") + UuidText::format(tile.id),
                        {tile.projectName.primary, tile.sessionState});
    }
    return snapshot;
}

void DashboardViewModel::evaluateAnnouncements(const QDateTime& now)
{
    evaluateAnnouncements(announcementSnapshot(), now);
}

void DashboardViewModel::evaluateAnnouncements(const QMap<QString, AnnouncementSessionInfo>& snapshot,
                                               const QDateTime& now)
{
    const AnnouncementEngine::ProcessingOutcome outcome =
        parameters_.announcementEngine->processSnapshotDetailed(snapshot, now);
    if (!outcome.results.isEmpty()) {
        qCInfo(lcDashboardViewModel, "音声通知判定: snapshot件数=%lld 発火件数=%lld enabled=%d voice=%s",
               static_cast<long long>(snapshot.size()), static_cast<long long>(outcome.results.size()),
               int(preferences_->isAnnouncementsEnabled()), qUtf8Printable(rawValue(preferences_->announcementVoice())));
    }
    if (!preferences_->isAnnouncementsEnabled() || outcome.results.isEmpty()) {
        scheduleAnnouncementReevaluationIfNeeded(outcome.reevaluationDelay);
        return;
    }

    const ConclusionAnnouncementPlanner::Plan plan = ConclusionAnnouncementPlanner::plan(
        outcome.results, seconds(preferences_->conclusionReadingBusyThreshold()),
        [this](const QUuid& tile) {
            return tileConclusionReadingEnabled_.value(tile, preferences_->isConclusionReadingDefaultEnabled());
        },
        [this](const QUuid& tile) -> std::optional<QString> {
            const auto pid = attachedPid_.constFind(tile);
            if (pid == attachedPid_.constEnd()) return std::nullopt;
            const auto conclusion = latestConclusions_.constFind(*pid);
            if (conclusion == latestConclusions_.constEnd()) return std::nullopt;
            return conclusion->text;
        });

    // The engine's own words, in the engine's language.
    const bool engineJapanese = parameters_.announcementEngine->isJapaneseLocale();
    for (const Announcement& announcement : plan.individual)
        speak(spokenAnnouncement(announcement, preferences_->readingDictionary(), engineJapanese));

    if (plan.winner) {
        Announcement winner = spokenAnnouncement(*plan.winner, preferences_->readingDictionary(), engineJapanese);
        if (plan.winnerConclusionText) {
            // The summary is the agent's free text: the name can only be found in it by replacing.
            QString summary = *plan.winnerConclusionText;
            if (const std::optional<QString> reading = preferences_->readingDictionary().reading(plan.winner->projectName))
                summary = AnnouncementMessageFormatter::replaceAll(summary, plan.winner->projectName, *reading);
            const QString joiner = parameters_.isJapaneseLocale ? QStringLiteral("。") : QStringLiteral(". ");
            winner.message += joiner + summary;
        }
        speak(winner);
        if (plan.remainingCompletedCount >= 1) {
            speak({AnnouncementKind::completed, QString(),
                   remainingCompletedMessage(plan.remainingCompletedCount, parameters_.isJapaneseLocale)});
        }
    }
    scheduleAnnouncementReevaluationIfNeeded(outcome.reevaluationDelay);
}

void DashboardViewModel::speak(const Announcement& announcement) const
{
    if (AnnouncementSpeaking* voice = speechEngine_->speaker(preferences_->announcementVoice())) voice->speak(announcement);
}

Announcement DashboardViewModel::spokenAnnouncement(const Announcement& announcement,
                                                    const ReadingDictionary& dictionary, bool isJapaneseLocale) const
{
    Announcement spoken = AnnouncementMessageFormatter::styled(announcement, preferences_->announcementVoice());
    // The message is made again around the reading rather than searched for the name: a short name
    // ("a", "完了") would also be found inside the message's own words.
    if (const std::optional<QString> reading = dictionary.reading(announcement.projectName)) {
        const Announcement read{announcement.kind, *reading, messageFor(announcement.kind, *reading, isJapaneseLocale)};
        spoken.message = AnnouncementMessageFormatter::styled(read, preferences_->announcementVoice()).message;
    }
    return spoken;
}

void DashboardViewModel::scheduleAnnouncementReevaluationIfNeeded(std::optional<double> delay)
{
    announcementReevaluationTimer_->stop();
    if (!delay) return;
    // A second past the moment the engine named, so that its confirmation time has surely passed.
    // (Capped at a day, which keeps the milliseconds within the timer's range.)
    const double wait = std::min(std::max(*delay, 0.0) + 1.0, 24.0 * 3600.0);
    announcementReevaluationTimer_->start(int(std::lround(wait * 1000.0)));
}

// ---- Speech engine ---------------------------------------------------------------------------------

void DashboardViewModel::updateVoicevoxEngineStatus(bool forceLaunch)
{
    speechEngine_->updateStatus(forceLaunch);
}

void DashboardViewModel::launchVoicevoxNow()
{
    // Queued like the poll's checks; dropped with the model.
    speechEngine_->updateStatusLater(true);
}

void DashboardViewModel::setVoicevoxAutoLaunchEnabled(bool enabled)
{
    if (preferences_->setVoicevoxAutoLaunchEnabled(enabled)) emit isVoicevoxAutoLaunchEnabledChanged();
    if (enabled) speechEngine_->updateStatusLater(false);
}

} // namespace brisvane
