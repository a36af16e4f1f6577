#include "app/Services/platform/AppNotificationCenter.hpp"

#include "tests/app/AnnouncementPrinters.hpp"

#include <gtest/gtest.h>

using namespace brisvane;
using Severity = AppNotificationSeverity;

namespace {

const QDateTime kStart = QDateTime::fromMSecsSinceEpoch(1'796'917'700'000, Qt::UTC);

class AppNotificationCenterTest : public testing::Test {
protected:
    AppNotificationCenterTest()
    {
        QObject::connect(&center, &AppNotificationCenter::activeNotificationsChanged, [this] { ++changes; });
    }

    // Moves the centre's clock.
    void advance(double seconds) { now = now.addMSecs(static_cast<qint64>(seconds * 1000)); }
    QStringList keys() const
    {
        QStringList keys;
        for (const AppNotification& notification : center.activeNotifications()) keys << notification.dedupeKey;
        return keys;
    }

    QDateTime now = kStart;
    AppNotificationCenter center{[this] { return now; }};
    int changes = 0;
};

} // namespace

TEST_F(AppNotificationCenterTest, ARepeatedKeyRefreshesItsNoticeInPlace)
{
    const AppNotification first = center.post(Severity::warning, "session.scan", "first title");
    center.post(Severity::error, "process.tree", QString::fromUtf8("プロセス情報を取得できません"));
    EXPECT_EQ(first,
              (AppNotification{first.id, Severity::warning, "first title", std::nullopt, "session.scan", kStart, 1}));
    EXPECT_FALSE(first.id.isNull());
    EXPECT_EQ(changes, 2);

    advance(3);
    const AppNotification again =
        center.post(Severity::error, "session.scan", "second title", QStringLiteral("detail"));
    const AppNotification expected{first.id, Severity::error, "second title", QStringLiteral("detail"),
                                   "session.scan", kStart.addSecs(3), 2};
    EXPECT_EQ(again, expected);
    EXPECT_EQ(center.activeNotifications().front(), expected);
    EXPECT_EQ(keys(), (QStringList{"session.scan", "process.tree"}));
    EXPECT_EQ(changes, 3);
    // The property the views observe.
    EXPECT_EQ(center.property("activeNotifications").value<QList<AppNotification>>(), center.activeNotifications());
}

TEST_F(AppNotificationCenterTest, AtMostThreeAreKeptAndTheOldestGoesFirst)
{
    center.post(Severity::error, "one", "1");
    center.post(Severity::info, "two", "2");
    center.post(Severity::info, "three", "3");
    // A repeat while full evicts nothing.
    center.post(Severity::info, "two", "2");
    EXPECT_EQ(keys(), (QStringList{"one", "two", "three"}));
    // A fourth key pushes out the oldest, error or not.
    center.post(Severity::info, "four", "4");
    EXPECT_EQ(keys(), (QStringList{"two", "three", "four"}));
    EXPECT_EQ(center.activeNotifications().front().occurrenceCount, 2);
}

TEST_F(AppNotificationCenterTest, NonErrorsExpireEightSecondsAfterTheirLatestOccurrence)
{
    center.post(Severity::error, "error", "e");
    center.post(Severity::warning, "warning", "w");
    advance(1);
    center.post(Severity::info, "info", "i");
    const int posted = changes;

    advance(6.999); // warning 7.999 s old
    center.purgeExpired();
    EXPECT_EQ(keys(), (QStringList{"error", "warning", "info"}));
    EXPECT_EQ(changes, posted);

    advance(0.001); // warning exactly 8 s old, info 7 s
    center.purgeExpired();
    EXPECT_EQ(keys(), (QStringList{"error", "info"}));
    EXPECT_EQ(changes, posted + 1);

    // A repeat restarts the life of the notice.
    center.post(Severity::info, "info", "i");
    advance(7.5);
    center.purgeExpired();
    EXPECT_EQ(keys(), (QStringList{"error", "info"}));

    // An explicit time wins over the clock; errors never expire.
    center.purgeExpired(now.addSecs(3600));
    EXPECT_EQ(keys(), QStringList{"error"});
}

TEST_F(AppNotificationCenterTest, DismissRemovesOnlyThatNotice)
{
    center.post(Severity::error, "one", "1");
    const AppNotification middle = center.post(Severity::error, "two", "2");
    center.post(Severity::error, "three", "3");
    const int posted = changes;

    center.dismiss(QUuid::createUuid());
    EXPECT_EQ(changes, posted);
    center.dismiss(middle.id);
    EXPECT_EQ(keys(), (QStringList{"one", "three"}));
    EXPECT_EQ(changes, posted + 1);
    center.dismiss(middle.id);
    EXPECT_EQ(changes, posted + 1);
}
