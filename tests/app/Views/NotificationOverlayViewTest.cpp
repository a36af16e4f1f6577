#include "app/Services/platform/AppNotificationCenter.hpp"
#include "app/Views/NotificationOverlayView.hpp"
#include "app/Views/SystemSettingsExplanationOpener.hpp"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace brisvane;

namespace {

class CountingSettingsOpener final : public SystemSettingsOpening {
public:
    void openPrivacySettings() const override { opened++; }
    mutable int opened = 0;
};

// The overlay over a window-sized host, fed by a real notification centre as the window does.
class NotificationOverlayTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        host.resize(800, 600);
        overlay = new NotificationOverlayView(opener, &host);
        QObject::connect(overlay, &NotificationOverlayView::dismissRequested, &center, &AppNotificationCenter::dismiss);
        overlay->setGeometry(host.rect());
        QObject::connect(&center, &AppNotificationCenter::activeNotificationsChanged, overlay,
                         [this] { overlay->setNotifications(center.activeNotifications()); });
        host.show();
    }

    NotificationToastView& toast(int index) { return *overlay->toasts().at(index); }
    QStringList titles() const
    {
        QStringList result;
        for (NotificationToastView* t : overlay->toasts()) result << t->titleLabel()->text();
        return result;
    }

    AppNotificationCenter center{[] { return QDateTime::currentDateTimeUtc(); }};
    std::shared_ptr<CountingSettingsOpener> opener = std::make_shared<CountingSettingsOpener>();
    QWidget host;
    NotificationOverlayView* overlay = nullptr;
};

TEST_F(NotificationOverlayTest, ShowsCountsAndDismissesNoticesOldestFirst)
{
    EXPECT_TRUE(overlay->toasts().isEmpty());
    center.post(AppNotificationSeverity::error, "a", "読めません");
    ASSERT_EQ(overlay->toasts().size(), 1);
    EXPECT_EQ(toast(0).titleLabel()->text(), "読めません");
    NotificationToastView* first = &toast(0);

    // The same key again: the same toast, now with its count.
    center.post(AppNotificationSeverity::error, "a", "読めません");
    ASSERT_EQ(overlay->toasts().size(), 1);
    EXPECT_EQ(&toast(0), first);
    EXPECT_EQ(toast(0).titleLabel()->text(), "読めません（2回）");

    // Oldest at the top; a fourth notice pushes the oldest out.
    center.post(AppNotificationSeverity::warning, "b", "B");
    center.post(AppNotificationSeverity::info, "c", "C");
    EXPECT_EQ(titles(), (QStringList{"読めません（2回）", "B", "C"}));
    EXPECT_LT(toast(0).geometry().top(), toast(1).geometry().top());
    center.post(AppNotificationSeverity::error, "d", "D");
    EXPECT_EQ(titles(), (QStringList{"B", "C", "D"}));
    for (NotificationToastView* t : overlay->toasts()) EXPECT_LE(t->width(), NotificationOverlayView::kMaximumWidth);

    // The close button dismisses its own notice only.
    QTest::mouseClick(toast(1).closeButton(), Qt::LeftButton);
    EXPECT_EQ(titles(), (QStringList{"B", "D"}));
    EXPECT_EQ(center.activeNotifications().size(), 2);
    EXPECT_EQ(toast(0).closeButton()->accessibleName(), "閉じる");
    EXPECT_EQ(toast(0).closeButton()->property("symbolName").toString(), "xmark");
}

TEST_F(NotificationOverlayTest, OnlyErrorsWithADetailExpandAndTheExpansionSurvivesARefresh)
{
    center.post(AppNotificationSeverity::error, "err", "E", QString("詳しい説明"));
    center.post(AppNotificationSeverity::warning, "warn", "W", QString("警告の説明"));
    center.post(AppNotificationSeverity::error, "empty", "X", QString(""));
    ASSERT_EQ(overlay->toasts().size(), 3);
    EXPECT_TRUE(toast(0).detailButton()->isVisible());
    EXPECT_FALSE(toast(1).detailButton()->isVisible());
    EXPECT_FALSE(toast(2).detailButton()->isVisible());

    NotificationToastView& error = toast(0);
    EXPECT_EQ(error.detailButton()->text(), "詳細");
    EXPECT_FALSE(error.detailLabel()->isVisible());
    QTest::mouseClick(error.detailButton(), Qt::LeftButton);
    EXPECT_TRUE(error.detailLabel()->isVisible());
    EXPECT_EQ(error.detailLabel()->text(), "詳しい説明");
    EXPECT_EQ(error.detailButton()->text(), "詳細を閉じる");
    EXPECT_TRUE(error.detailLabel()->textInteractionFlags() & Qt::TextSelectableByMouse);

    // A repeat refreshes it in place, still expanded.
    center.post(AppNotificationSeverity::error, "err", "E", QString("詳しい説明"));
    EXPECT_EQ(&toast(0), &error);
    EXPECT_TRUE(error.detailLabel()->isVisible());
    QTest::mouseClick(error.detailButton(), Qt::LeftButton);
    EXPECT_FALSE(error.detailLabel()->isVisible());
    EXPECT_EQ(error.detailButton()->text(), "詳細");
}

TEST_F(NotificationOverlayTest, TheAccessButtonBelongsToTheAccessNoticeAndLeavesItInPlace)
{
    center.post(AppNotificationSeverity::error, "session.scan", "S");
    center.post(AppNotificationSeverity::warning, "claude.access.denied", "「~/.claude」へのアクセスが許可されていません");
    ASSERT_EQ(overlay->toasts().size(), 2);
    EXPECT_FALSE(toast(0).settingsButton()->isVisible());
    ASSERT_TRUE(toast(1).settingsButton()->isVisible());
    EXPECT_EQ(toast(1).settingsButton()->text(), "システム設定を開く");
    QTest::mouseClick(toast(1).settingsButton(), Qt::LeftButton);
    EXPECT_EQ(opener->opened, 1);
    EXPECT_EQ(center.activeNotifications().size(), 2);
}

TEST_F(NotificationOverlayTest, ClicksOutsideTheToastsReachTheWidgetsBeneath)
{
    EXPECT_FALSE(overlay->mask().contains(QPoint(400, 300)));
    center.post(AppNotificationSeverity::error, "a", "A");
    const QRect card = toast(0).geometry();
    EXPECT_EQ(card.top(), 12);
    EXPECT_NEAR(card.center().x(), host.width() / 2, 1);
    EXPECT_TRUE(overlay->mask().contains(card.center()));
    EXPECT_FALSE(overlay->mask().contains(QPoint(400, 500)));
    EXPECT_EQ(host.childAt(QPoint(400, 500)), nullptr);
}

} // namespace

namespace {

// Linux has no privacy pane: the button explains which folder must be readable, without blocking.
TEST(SystemSettingsExplanationOpener, ShowsWhichFolderToMakeReadable)
{
    const SystemSettingsExplanationOpener opener("/home/someone/.claude");
    EXPECT_TRUE(opener.explanation().contains("「/home/someone/.claude」"));
    opener.openPrivacySettings();
    QMessageBox* box = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* candidate = qobject_cast<QMessageBox*>(window); candidate && candidate->isVisible()) box = candidate;
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), opener.explanation());
    box->close();
}

} // namespace
