#include "app/ViewModels/DashboardAnnouncements.hpp"

#include "app/Models/UuidText.hpp"
#include "app/Services/voice/AnnouncementMessageFormatter.hpp"
#include "app/Services/voice/ConclusionAnnouncementPlanner.hpp"
#include "app/ViewModels/DashboardPreferences.hpp"
#include "app/ViewModels/DashboardSpeechEngine.hpp"

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

DashboardAnnouncements::DashboardAnnouncements(const DashboardPreferences& preferences,
                                               const DashboardSpeechEngine& speech, bool isJapaneseLocale,
                                               TileLookups tiles)
    : preferences_(preferences)
    , speech_(speech)
    , isJapaneseLocale_(isJapaneseLocale)
    , tiles_(std::move(tiles))
    , engine_(seconds(preferences.completionAnnouncementThreshold()), isJapaneseLocale)
{
    reevaluationTimer_ = new QTimer(this);
    reevaluationTimer_->setSingleShot(true);
    connect(reevaluationTimer_, &QTimer::timeout, this, &DashboardAnnouncements::reevaluationDue);
}

QMap<QString, AnnouncementSessionInfo> DashboardAnnouncements::snapshot(const QList<TerminalTile>& tiles)
{
    // Shell-only and closed tiles are not announced.
    QMap<QString, AnnouncementSessionInfo> snapshot;
    for (const TerminalTile& tile : tiles) {
        if (tile.lifecycle.kind != TerminalTileLifecycle::Case::attached) continue;
        snapshot.insert(QStringLiteral("t:") + UuidText::format(tile.id), {tile.projectName.primary, tile.sessionState});
    }
    return snapshot;
}

void DashboardAnnouncements::evaluate(const QMap<QString, AnnouncementSessionInfo>& snapshot, const QDateTime& now)
{
    const AnnouncementEngine::ProcessingOutcome outcome = engine_.processSnapshotDetailed(snapshot, now);
    if (!outcome.results.isEmpty()) {
        qCInfo(lcDashboardViewModel, "音声通知判定: snapshot件数=%lld 発火件数=%lld enabled=%d voice=%s",
               static_cast<long long>(snapshot.size()), static_cast<long long>(outcome.results.size()),
               int(preferences_.isAnnouncementsEnabled()), qUtf8Printable(rawValue(preferences_.announcementVoice())));
    }
    if (!preferences_.isAnnouncementsEnabled() || outcome.results.isEmpty()) {
        scheduleReevaluationIfNeeded(outcome.reevaluationDelay);
        return;
    }

    const ConclusionAnnouncementPlanner::Plan plan = ConclusionAnnouncementPlanner::plan(
        outcome.results, seconds(preferences_.conclusionReadingBusyThreshold()),
        [this](const QUuid& tile) {
            return tiles_.readingEnabled(tile).value_or(preferences_.isConclusionReadingDefaultEnabled());
        },
        tiles_.conclusionText);

    // The engine's own words, in the engine's language.
    const bool engineJapanese = engine_.isJapaneseLocale();
    for (const Announcement& announcement : plan.individual)
        speak(spokenAnnouncement(announcement, preferences_.readingDictionary(), engineJapanese));

    if (plan.winner) {
        Announcement winner = spokenAnnouncement(*plan.winner, preferences_.readingDictionary(), engineJapanese);
        if (plan.winnerConclusionText) {
            // The summary is the agent's free text: the name can only be found in it by replacing.
            QString summary = *plan.winnerConclusionText;
            if (const std::optional<QString> reading = preferences_.readingDictionary().reading(plan.winner->projectName))
                summary = AnnouncementMessageFormatter::replaceAll(summary, plan.winner->projectName, *reading);
            const QString joiner = isJapaneseLocale_ ? QStringLiteral("。") : QStringLiteral(". ");
            winner.message += joiner + summary;
        }
        speak(winner);
        if (plan.remainingCompletedCount >= 1) {
            speak({AnnouncementKind::completed, QString(),
                   remainingCompletedMessage(plan.remainingCompletedCount, isJapaneseLocale_)});
        }
    }
    scheduleReevaluationIfNeeded(outcome.reevaluationDelay);
}

void DashboardAnnouncements::speakReadingPreview(const ReadingEntry& entry) const
{
    const bool japanese = isJapaneseLocale_;
    QString name = entry.projectName.trimmed();
    if (name.isEmpty()) name = japanese ? QStringLiteral("サンプル") : QStringLiteral("Sample");
    // The row as it is typed now, not as saved.
    const ReadingDictionary row{{ReadingEntry{entry.id, name, entry.reading}}};
    const Announcement completion{AnnouncementKind::completed, name, AnnouncementEngine::completedMessage(name, japanese)};
    speak(spokenAnnouncement(completion, row, japanese));
}

void DashboardAnnouncements::playTestAnnouncement() const
{
    const QString message = isJapaneseLocale_ ? QStringLiteral("これはテスト再生です。")
                                              : QStringLiteral("This is a test playback.");
    speak({AnnouncementKind::completed, QString(), message});
}

void DashboardAnnouncements::stop()
{
    reevaluationTimer_->stop();
}

void DashboardAnnouncements::speak(const Announcement& announcement) const
{
    if (AnnouncementSpeaking* voice = speech_.speaker(preferences_.announcementVoice())) voice->speak(announcement);
}

Announcement DashboardAnnouncements::spokenAnnouncement(const Announcement& announcement,
                                                        const ReadingDictionary& dictionary,
                                                        bool isJapaneseLocale) const
{
    Announcement spoken = AnnouncementMessageFormatter::styled(announcement, preferences_.announcementVoice());
    // The message is made again around the reading rather than searched for the name: a short name
    // ("a", "完了") would also be found inside the message's own words.
    if (const std::optional<QString> reading = dictionary.reading(announcement.projectName)) {
        const Announcement read{announcement.kind, *reading, messageFor(announcement.kind, *reading, isJapaneseLocale)};
        spoken.message = AnnouncementMessageFormatter::styled(read, preferences_.announcementVoice()).message;
    }
    return spoken;
}

void DashboardAnnouncements::scheduleReevaluationIfNeeded(std::optional<double> delay)
{
    reevaluationTimer_->stop();
    if (!delay) return;
    // A second past the moment the engine named, so that its confirmation time has surely passed.
    // (Capped at a day, which keeps the milliseconds within the timer's range.)
    const double wait = std::min(std::max(*delay, 0.0) + 1.0, 24.0 * 3600.0);
    reevaluationTimer_->start(int(std::lround(wait * 1000.0)));
}

} // namespace brisvane
