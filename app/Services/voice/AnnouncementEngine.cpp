#include "app/Services/voice/AnnouncementEngine.hpp"

#include <algorithm>
#include <iterator>

namespace brisvane {

namespace {

double secondsSince(const QDateTime& then, const QDateTime& now)
{
    return then.msecsTo(now) / 1000.0;
}

template <typename Value>
void keepOnlyKeysOf(const QMap<QString, AnnouncementSessionInfo>& snapshot, QHash<QString, Value>& map)
{
    for (auto it = map.begin(); it != map.end();) it = snapshot.contains(it.key()) ? std::next(it) : map.erase(it);
}

// Keeps the smallest positive candidate.
void offer(std::optional<double>& smallest, double candidate)
{
    if (candidate <= 0) return;
    smallest = smallest ? std::min(*smallest, candidate) : candidate;
}

} // namespace

AnnouncementEngine::AnnouncementEngine(double completionThreshold, bool isJapaneseLocale)
    : completionThreshold_(completionThreshold)
    , isJapaneseLocale_(isJapaneseLocale)
{
}

QString AnnouncementEngine::completedMessage(const QString& projectName, bool isJapaneseLocale)
{
    if (isJapaneseLocale) return projectName + QStringLiteral("のタスクが完了しました");
    return QStringLiteral("Task completed for ") + projectName;
}

QString AnnouncementEngine::waitingForApprovalMessage(const QString& projectName, bool isJapaneseLocale)
{
    if (isJapaneseLocale) return projectName + QStringLiteral("が確認待ちです");
    return projectName + QStringLiteral(" is waiting for approval");
}

bool AnnouncementEngine::announceUnlessHeld(AnnouncementResult result, const QDateTime& now,
                                            ProcessingOutcome& outcome)
{
    const auto last = lastAnnouncedAt_.constFind(result.id);
    const double held = last == lastAnnouncedAt_.constEnd() ? 0 : kDebounceInterval - secondsSince(*last, now);
    if (held > 0) {
        // Its confirmation time has passed, and nothing in the session file changes while the
        // session stays idle or waiting: without a call when the debounce ends, the announcement
        // would wait for some unrelated refresh, or for ever.
        offer(outcome.reevaluationDelay, held);
        return false;
    }
    lastAnnouncedAt_.insert(result.id, now);
    outcome.results.append(std::move(result));
    return true;
}

AnnouncementEngine::ProcessingOutcome
AnnouncementEngine::processSnapshotDetailed(const QMap<QString, AnnouncementSessionInfo>& snapshot,
                                            const QDateTime& now)
{
    using Case = SessionState::Case;
    ProcessingOutcome outcome;

    for (auto entry = snapshot.constBegin(); entry != snapshot.constEnd(); ++entry) {
        const QString& key = entry.key();
        const AnnouncementSessionInfo& info = entry.value();
        // A session seen for the first time was in none of the states before.
        const auto found = previousStates_.constFind(key);
        const std::optional<Case> previous =
            found == previousStates_.constEnd() ? std::nullopt : std::optional(found->kind);
        const Case current = info.state.kind;
        const bool wasBusy = previous == Case::busy;
        Tracking t = tracking_.value(key);

        if (current == Case::busy) {
            if (!wasBusy) {
                const bool bridged = t.leftBusyAt && t.busyStartedAt
                    && secondsSince(*t.leftBusyAt, now) < kInterruptionBridge;
                if (!bridged) t.busyStartedAt = now;
                t.leftBusyAt.reset();
            }
            t.idleStreakStartedAt.reset();
            t.idleStreakBusyDuration.reset();
            t.waitingStreakStartedAt.reset();
            t.completionAnnouncedForCurrentIdleStreak = false;
            t.waitingAnnouncedForCurrentWaitingStreak = false;
        } else if (wasBusy) {
            t.leftBusyAt = now;
        }

        if (current == Case::idle) {
            if (previous != Case::idle) {
                t.idleStreakStartedAt = now;
                t.completionAnnouncedForCurrentIdleStreak = false;
                t.idleStreakBusyDuration.reset();
                if (t.busyStartedAt) t.idleStreakBusyDuration = secondsSince(*t.busyStartedAt, now);
            }
            const bool due = !t.completionAnnouncedForCurrentIdleStreak && t.idleStreakStartedAt
                && secondsSince(*t.idleStreakStartedAt, now) >= kIdleConfirmation && t.idleStreakBusyDuration
                && *t.idleStreakBusyDuration >= completionThreshold_;
            const Announcement completion{AnnouncementKind::completed, info.projectName,
                                          completedMessage(info.projectName, isJapaneseLocale_)};
            if (due && announceUnlessHeld({key, completion, t.idleStreakBusyDuration}, now, outcome)) {
                t.completionAnnouncedForCurrentIdleStreak = true;
                t.busyStartedAt.reset();
                t.leftBusyAt.reset();
            }
            t.waitingStreakStartedAt.reset();
        } else if (current == Case::waiting) {
            t.idleStreakStartedAt.reset();
            t.idleStreakBusyDuration.reset();
            // A new reason alone is the same wait.
            if (previous != Case::waiting) {
                t.waitingStreakStartedAt = now;
                t.waitingAnnouncedForCurrentWaitingStreak = false;
            }
            const bool due = !t.waitingAnnouncedForCurrentWaitingStreak && t.waitingStreakStartedAt
                && secondsSince(*t.waitingStreakStartedAt, now) >= kWaitingConfirmation;
            const Announcement waiting{AnnouncementKind::waitingForApproval, info.projectName,
                                       waitingForApprovalMessage(info.projectName, isJapaneseLocale_)};
            if (due && announceUnlessHeld({key, waiting, std::nullopt}, now, outcome)) {
                t.waitingAnnouncedForCurrentWaitingStreak = true;
            }
        } else if (current == Case::terminated || current == Case::unknown) {
            t.idleStreakStartedAt.reset();
            t.idleStreakBusyDuration.reset();
            t.waitingStreakStartedAt.reset();
        }

        if (!t.completionAnnouncedForCurrentIdleStreak && t.idleStreakStartedAt && t.idleStreakBusyDuration
            && *t.idleStreakBusyDuration >= completionThreshold_) {
            offer(outcome.reevaluationDelay, kIdleConfirmation - secondsSince(*t.idleStreakStartedAt, now));
        }
        if (!t.waitingAnnouncedForCurrentWaitingStreak && t.waitingStreakStartedAt) {
            offer(outcome.reevaluationDelay, kWaitingConfirmation - secondsSince(*t.waitingStreakStartedAt, now));
        }

        tracking_.insert(key, t);
        previousStates_.insert(key, info.state);
    }

    // A session missing from the snapshot is forgotten: if it comes back, it is new.
    keepOnlyKeysOf(snapshot, previousStates_);
    keepOnlyKeysOf(snapshot, tracking_);
    keepOnlyKeysOf(snapshot, lastAnnouncedAt_);

    return outcome;
}

} // namespace brisvane
