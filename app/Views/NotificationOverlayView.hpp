#pragma once

#include "app/Models/AppNotification.hpp"
#include "app/Services/integration/SystemSettingsOpening.hpp"

#include <QFrame>
#include <QList>
#include <QPointer>
#include <QUuid>
#include <QWidget>

#include <functional>
#include <memory>

class QLabel;
class QPushButton;

namespace brisvane {

// One notice as a small dark card: a severity strip, the title with its repeat count, a close
// button, for errors a detail that can be expanded, and for the refused agent folder a button
// that explains how to grant access.
class NotificationToastView final : public QFrame {
    Q_OBJECT
public:
    static constexpr const char* kAccessDeniedKey = "claude.access.denied";

    NotificationToastView(const AppNotification& notification,
                          std::shared_ptr<const SystemSettingsOpening> systemSettingsOpener,
                          QWidget* parent = nullptr);

    const AppNotification& notification() const { return notification_; }
    // A notice refreshed in place keeps its toast and whether its detail is open.
    void setNotification(const AppNotification& notification);

    // The title, followed by "（N回）" from the second occurrence on.
    static QString titleWithCount(const AppNotification& notification);

    bool isDetailExpanded() const { return isDetailExpanded_; }
    void setDetailExpanded(bool expanded);

    QLabel* titleLabel() const { return title_; }
    QPushButton* closeButton() const { return close_; }
    QPushButton* detailButton() const { return detailButton_; }
    QLabel* detailLabel() const { return detail_; }
    QPushButton* settingsButton() const { return settings_; }

signals:
    // The close button.
    void dismissRequested();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void apply();
    void fitToContent();
    bool hasExpandableDetail() const;

    AppNotification notification_;
    std::shared_ptr<const SystemSettingsOpening> systemSettingsOpener_;
    bool isDetailExpanded_ = false;
    QWidget* strip_ = nullptr;
    QLabel* title_ = nullptr;
    QPushButton* close_ = nullptr;
    QPushButton* detailButton_ = nullptr;
    QLabel* detail_ = nullptr;
    QPushButton* settings_ = nullptr;
};

// The column of toasts over the top of the dashboard, oldest first. The window places it over
// its content; it takes clicks only on its toasts: everywhere else they reach the
// widgets beneath. The window feeds it the centre's notices:
//   connect(&center, &AppNotificationCenter::activeNotificationsChanged, overlay,
//           [&] { overlay->setNotifications(center.activeNotifications()); });
class NotificationOverlayView final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMaximumWidth = 420;

    explicit NotificationOverlayView(std::shared_ptr<const SystemSettingsOpening> systemSettingsOpener,
                                     QWidget* parent = nullptr);

    // Shows these notices in order; a toast is kept (with its expanded detail) while its notice's
    // id stays, created for a new id, and removed when its id is gone.
    void setNotifications(const QList<AppNotification>& notifications);
    // The toasts shown, top to bottom.
    const QList<NotificationToastView*>& toasts() const { return toasts_; }

signals:
    // A toast's close button, with its notice's id.
    void dismissRequested(const QUuid& id);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updateMask();

    std::shared_ptr<const SystemSettingsOpening> systemSettingsOpener_;
    QList<NotificationToastView*> toasts_;
};

} // namespace brisvane
