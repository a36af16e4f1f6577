#pragma once

#include "app/Models/AppNotification.hpp"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QUuid>

#include <functional>
#include <optional>

namespace brisvane {

// The application's one list of in-app notices, oldest first, shown as toasts. A notice that
// recurs (same dedupe key) is refreshed in place with a rising count instead of stacking; notices
// that are not errors expire; the oldest drop out beyond `maxVisible`. Lives on the GUI thread;
// `activeNotificationsChanged` fires once per operation that changed the list, never otherwise.
class AppNotificationCenter final : public QObject {
    Q_OBJECT
    Q_PROPERTY(QList<brisvane::AppNotification> activeNotifications READ activeNotifications NOTIFY
                   activeNotificationsChanged)

public:
    using Clock = std::function<QDateTime()>;

    static constexpr double kAutoDismissInterval = 8.0;
    static constexpr int kMaxVisible = 3;

    // `clock` times each occurrence and, by default, each purge.
    explicit AppNotificationCenter(Clock clock, double autoDismissInterval = kAutoDismissInterval,
                                   int maxVisible = kMaxVisible, QObject* parent = nullptr);

    const QList<AppNotification>& activeNotifications() const { return activeNotifications_; }
    double autoDismissInterval() const { return autoDismissInterval_; }
    int maxVisible() const { return maxVisible_; }

    // Refreshes the notice with this key in place (same id and position; new severity and texts,
    // time now, count + 1), or appends a new one and drops the oldest beyond `maxVisible`.
    // Returns the stored notice.
    AppNotification post(AppNotificationSeverity severity, const QString& dedupeKey, const QString& title,
                         const std::optional<QString>& detail = std::nullopt);
    // Removes the notice with this id, if there is one.
    void dismiss(const QUuid& id);
    // Removes every notice that is not an error and last occurred `autoDismissInterval` or more
    // before `now` (the clock's time when absent).
    void purgeExpired(const std::optional<QDateTime>& now = std::nullopt);

signals:
    void activeNotificationsChanged();

private:
    void setActiveNotifications(QList<AppNotification> notifications);

    QList<AppNotification> activeNotifications_;
    Clock clock_;
    double autoDismissInterval_;
    int maxVisible_;
};

} // namespace brisvane
