#include "app/Services/platform/AppNotificationCenter.hpp"

#include <QThread>

#include <algorithm>

namespace brisvane {

AppNotificationCenter::AppNotificationCenter(Clock clock, double autoDismissInterval, int maxVisible, QObject* parent)
    : QObject(parent)
    , clock_(std::move(clock))
    , autoDismissInterval_(autoDismissInterval)
    , maxVisible_(std::max(0, maxVisible))
{
}

AppNotification AppNotificationCenter::post(AppNotificationSeverity severity, const QString& dedupeKey,
                                            const QString& title, const std::optional<QString>& detail)
{
    Q_ASSERT(QThread::currentThread() == thread());
    const QDateTime now = clock_();
    QList<AppNotification> notifications = activeNotifications_;
    for (AppNotification& existing : notifications) {
        if (existing.dedupeKey != dedupeKey) continue;
        existing = {existing.id, severity, title, detail, dedupeKey, now, existing.occurrenceCount + 1};
        const AppNotification refreshed = existing;
        setActiveNotifications(std::move(notifications));
        return refreshed;
    }
    const AppNotification added{QUuid::createUuid(), severity, title, detail, dedupeKey, now, 1};
    notifications.append(added);
    if (notifications.size() > maxVisible_) notifications.remove(0, notifications.size() - maxVisible_);
    setActiveNotifications(std::move(notifications));
    return added;
}

void AppNotificationCenter::dismiss(const QUuid& id)
{
    Q_ASSERT(QThread::currentThread() == thread());
    QList<AppNotification> notifications = activeNotifications_;
    notifications.removeIf([&id](const AppNotification& notification) { return notification.id == id; });
    setActiveNotifications(std::move(notifications));
}

void AppNotificationCenter::purgeExpired(const std::optional<QDateTime>& now)
{
    Q_ASSERT(QThread::currentThread() == thread());
    const QDateTime time = now ? *now : clock_();
    QList<AppNotification> notifications = activeNotifications_;
    notifications.removeIf([&](const AppNotification& notification) {
        return notification.severity != AppNotificationSeverity::error
            && notification.occurredAt.msecsTo(time) / 1000.0 >= autoDismissInterval_;
    });
    setActiveNotifications(std::move(notifications));
}

void AppNotificationCenter::setActiveNotifications(QList<AppNotification> notifications)
{
    if (notifications == activeNotifications_) return;
    activeNotifications_ = std::move(notifications);
    emit activeNotificationsChanged();
}

} // namespace brisvane
