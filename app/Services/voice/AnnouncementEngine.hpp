#pragma once

#include "app/Models/Announcement.hpp"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QMap>
#include <QString>

#include <optional>

namespace brisvane {

// Decides from successive snapshots of the sessions running in terminal tiles when a session has
// finished a long piece of work (a completion) or has waited for approval for a while. Plain
// logic over the snapshot and the time handed in: it reads nothing, owns no timer and never
// fails; what it remembers of a session is dropped as soon as a snapshot lacks the session.
// Not for concurrent use: the dashboard model calls it on the GUI thread.
class AnnouncementEngine {
public:
    // Two announcements of one session, of either kind, are at least this far apart (seconds).
    static constexpr double kDebounceInterval = 10;
    // A busy stretch interrupted for less than this goes on from its old start.
    static constexpr double kInterruptionBridge = 30;
    // How long a session stays idle before its completion is announced.
    static constexpr double kIdleConfirmation = 10;
    // How long a session waits for approval before that is announced.
    static constexpr double kWaitingConfirmation = 8;

    struct ProcessingOutcome {
        // In snapshot order.
        QList<AnnouncementResult> results;
        // Seconds after which the caller should evaluate again; absent when nothing is pending.
        std::optional<double> reevaluationDelay;

        friend bool operator==(const ProcessingOutcome&, const ProcessingOutcome&) = default;
    };

    // `completionThreshold`: the shortest busy stretch (seconds) whose end earns a completion.
    AnnouncementEngine(double completionThreshold, bool isJapaneseLocale);

    double completionThreshold() const { return completionThreshold_; }
    void setCompletionThreshold(double seconds) { completionThreshold_ = seconds; }
    bool isJapaneseLocale() const { return isJapaneseLocale_; }

    // One evaluation: the sessions by opaque key, and the time of the evaluation.
    ProcessingOutcome processSnapshotDetailed(const QMap<QString, AnnouncementSessionInfo>& snapshot,
                                              const QDateTime& now);

    static QString completedMessage(const QString& projectName, bool isJapaneseLocale);
    static QString waitingForApprovalMessage(const QString& projectName, bool isJapaneseLocale);

private:
    struct Tracking {
        std::optional<QDateTime> busyStartedAt;
        std::optional<QDateTime> leftBusyAt;
        std::optional<QDateTime> idleStreakStartedAt;
        // The busy stretch's length, measured when the idle streak began.
        std::optional<double> idleStreakBusyDuration;
        bool completionAnnouncedForCurrentIdleStreak = false;
        std::optional<QDateTime> waitingStreakStartedAt;
        bool waitingAnnouncedForCurrentWaitingStreak = false;
    };

    // Appends the result and notes the time, unless the session announced something less than
    // the debounce interval ago; false when held back.
    bool announceUnlessHeld(AnnouncementResult result, const QDateTime& now, ProcessingOutcome& outcome);

    double completionThreshold_;
    bool isJapaneseLocale_;
    QHash<QString, SessionState> previousStates_;
    QHash<QString, Tracking> tracking_;
    QHash<QString, QDateTime> lastAnnouncedAt_;
};

} // namespace brisvane
