#include "app/ViewModels/DashboardViewModel.hpp"

#include "app/Models/UuidText.hpp"
#include "app/Services/platform/InMemoryPreferences.hpp"
#include "app/Services/platform/LocalFileSystemReader.hpp"
#include "app/Services/platform/LocalPathExistenceChecker.hpp"
#include "app/Services/tiles/DashboardStores.hpp"
#include "tests/EventLoopMarker.hpp"
#include "tests/app/AgentHome.hpp"
#include "tests/app/ViewModels/DashboardModelHarness.hpp"

#include <QTest>

#include <gtest/gtest.h>

using namespace brisvane;

namespace {

// A watcher driven by hand that counts its starts and stops.
class FakeWatcher final : public SessionChangeWatching {
public:
    int starts = 0;
    int stops = 0;
    int polls = 0;
    void start() override { starts++; }
    void stop() override { stops++; }
    void pollNow() override { polls++; }
    void fire(SessionWatcherEvent event) { emit sessionEvent(event); }
};

struct ModelFixture : ::testing::Test {
    test::TemporaryHome home{test::TemporaryHome::Content::empty};
    std::shared_ptr<InMemoryPreferences> prefs = std::make_shared<InMemoryPreferences>();
    std::shared_ptr<AppNotificationCenter> center =
        std::make_shared<AppNotificationCenter>([] { return QDateTime::currentDateTimeUtc(); });
    FakeWatcher* watcher = nullptr;
    std::unique_ptr<DashboardViewModel> model;

    void make()
    {
        // An empty agent home: refreshes then find nothing to report.
        DashboardViewModel::Parameters p = test::modelParameters(home.claudeHome(), prefs, center);
        auto fake = std::make_unique<FakeWatcher>();
        watcher = fake.get();
        p.watcher = std::move(fake);
        // Fast loops: the model waits what it is given.
        p.debounceInterval = 0.02;
        p.focusPollInterval = 0.01;
        model = std::make_unique<DashboardViewModel>(std::move(p));
    }

    void SetUp() override { make(); }

    // Returns once a refresh the debounce (20 ms) had queued by now would have run.
    [[nodiscard]] static bool debounceDue() { return waitForEventsDueWithin(50); }

    TerminalTile tile(int n)
    {
        TerminalTile t;
        t.id = QUuid(QStringLiteral("{00000000-0000-0000-0000-%1}").arg(n, 12, 10, QLatin1Char('0')));
        return t;
    }
};

TEST_F(ModelFixture, EmptyPreferencesGiveTheDefaults)
{
    EXPECT_EQ(model->layoutPreset(), GridLayoutPreset::twoByTwo);
    EXPECT_TRUE(model->gridOrdering().orderedIds.isEmpty());
    EXPECT_EQ(model->terminalFontSize(), 13);
    EXPECT_TRUE(model->isAnnouncementsEnabled());
    EXPECT_EQ(model->announcementVoice(), AnnouncementVoice::system);
    EXPECT_TRUE(model->isVoicevoxAutoLaunchEnabled());
    EXPECT_EQ(model->completionAnnouncementThreshold(), AnnouncementThresholdPreset::seconds30);
    EXPECT_EQ(model->conclusionReadingBusyThreshold(), AnnouncementThresholdPreset::minutes3);
    EXPECT_EQ(model->announcementEngine().completionThreshold(), 30);
    EXPECT_EQ(model->readingDictionary(), ReadingDictionary::builtIn());
    EXPECT_FALSE(model->isConclusionReadingDefaultEnabled());
    EXPECT_FALSE(model->isInlineCostDisplayEnabled());
    EXPECT_TRUE(model->pinnedProjects().isEmpty());

    // The first start shows the onboarding; a completed one does not.
    model->start();
    EXPECT_TRUE(model->isOnboardingPresented());
    prefs->setValue("Brisvane.onboardingCompletedVersion", 1);
    make();
    model->start();
    EXPECT_FALSE(model->isOnboardingPresented());
}

TEST_F(ModelFixture, ChangesAreDebouncedAndStopCancelsThePendingRefresh)
{
    model->start();
    const int afterStart = model->refreshCount();
    for (int i = 0; i < 10; i++) watcher->fire(SessionWatcherEvent::changed);
    EXPECT_EQ(model->refreshCount(), afterStart);
    EXPECT_TRUE(QTest::qWaitFor([&] { return model->refreshCount() == afterStart + 1; }, 1000));
    ASSERT_TRUE(debounceDue());
    EXPECT_EQ(model->refreshCount(), afterStart + 1);

    watcher->fire(SessionWatcherEvent::changed);
    model->stop();
    ASSERT_TRUE(debounceDue());
    EXPECT_EQ(model->refreshCount(), afterStart + 1);
    EXPECT_EQ(watcher->stops, 1);
    // Events after stop reach nothing.
    watcher->fire(SessionWatcherEvent::changed);
    ASSERT_TRUE(debounceDue());
    EXPECT_EQ(model->refreshCount(), afterStart + 1);
}

TEST_F(ModelFixture, ScanFailuresShowAsOneNoticeWithACount)
{
    model->start();
    for (int i = 0; i < 3; i++) watcher->fire(SessionWatcherEvent::scanFailed);
    ASSERT_EQ(center->activeNotifications().size(), 1);
    const AppNotification& notice = center->activeNotifications().front();
    EXPECT_EQ(notice.dedupeKey, "session.scan");
    EXPECT_EQ(notice.occurrenceCount, 3);
    EXPECT_EQ(notice.title, "セッション情報を読み取れません。状態表示が更新されない可能性があります");
    EXPECT_FALSE(notice.detail.has_value());
}

TEST_F(ModelFixture, StartingTwiceLeavesOneOfEachLoop)
{
    model->start();
    model->stop();
    model->start();
    model->start();
    EXPECT_TRUE(model->isWatching());
    EXPECT_TRUE(model->isFocusPolling());
    // One live event source: one burst gives one refresh, one failure one occurrence.
    const int before = model->refreshCount();
    watcher->fire(SessionWatcherEvent::changed);
    EXPECT_TRUE(QTest::qWaitFor([&] { return model->refreshCount() == before + 1; }, 1000));
    ASSERT_TRUE(debounceDue());
    EXPECT_EQ(model->refreshCount(), before + 1);
    watcher->fire(SessionWatcherEvent::scanFailed);
    EXPECT_EQ(center->activeNotifications().front().occurrenceCount, 1);
    model->stop();
    EXPECT_FALSE(model->isWatching());
    EXPECT_FALSE(model->isFocusPolling());
}

TEST_F(ModelFixture, FontSizeActionsClampAndStore)
{
    model->resetTerminalFontSize();
    EXPECT_EQ(model->terminalFontSize(), 13);
    for (int i = 0; i < 30; i++) model->increaseTerminalFontSize();
    EXPECT_EQ(model->terminalFontSize(), 32);
    for (int i = 0; i < 40; i++) model->decreaseTerminalFontSize();
    EXPECT_EQ(model->terminalFontSize(), 8);
    EXPECT_EQ(prefs->doubleValue(TerminalFontSizeStore::kKey), 8);
    model->resetTerminalFontSize();
    EXPECT_EQ(model->terminalFontSize(), 13);
}

TEST_F(ModelFixture, PagesOrderAndMoves)
{
    // No tiles: one page with the new-terminal tile.
    ASSERT_EQ(model->pages().size(), 1);
    EXPECT_EQ(model->currentPage().front().id(), GridTile::kNewSessionId);

    // Five tiles in the 2 x 2 layout: two pages, the new-terminal tile last on the second.
    QList<TerminalTile> tiles;
    for (int i = 1; i <= 5; i++) tiles.push_back(tile(i));
    model->setTerminalTiles(tiles);
    const auto pages = model->pages();
    ASSERT_EQ(pages.size(), 2);
    EXPECT_EQ(pages[0].size(), 4);
    EXPECT_EQ(pages[1].back().id(), GridTile::kNewSessionId);

    // On the last page next shows the same page, and the index stays past it.
    model->nextPage();
    model->nextPage();
    EXPECT_EQ(model->currentPageIndex(), 1);
    model->previousPage();
    EXPECT_EQ(model->currentPageIndex(), 0);

    // Moving the first tile before the third saves the new order, "new-session" last.
    const QString first = GridTile::of(tiles[0]).id();
    const QString third = GridTile::of(tiles[2]).id();
    model->moveTile(first, third);
    const QStringList stored = prefs->stringListValue("Brisvane.gridOrderedIds").value_or(QStringList());
    ASSERT_EQ(stored.size(), 6);
    EXPECT_EQ(stored[1], first);
    EXPECT_EQ(stored[2], third);
    EXPECT_EQ(stored.back(), GridTile::kNewSessionId);
    EXPECT_EQ(model->pages()[0][1].id(), first);
}

TEST_F(ModelFixture, NotificationReporterPostsErrors)
{
    const auto report = DashboardViewModel::makeAppNotificationReporter(center);
    report("voicevox.synthesis", "title", QStringLiteral("detail"));
    ASSERT_EQ(center->activeNotifications().size(), 1);
    EXPECT_EQ(center->activeNotifications().front().severity, AppNotificationSeverity::error);
    EXPECT_EQ(center->activeNotifications().front().detail, QStringLiteral("detail"));
}

} // namespace
