#include "app/ViewModels/DashboardViewModel.hpp"

#include "tests/app/AgentHome.hpp"
#include "tests/app/Dates.hpp"
#include "tests/app/Printers.hpp"
#include "tests/app/Services/FakeFileSystemReader.hpp"
#include "tests/app/ViewModels/DashboardModelHarness.hpp"

#include <QElapsedTimer>
#include <QMetaMethod>
#include <QScopeGuard>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>

using namespace brisvane;
using test::refreshAndWait;

namespace {

// 2026-12-10 15:48:20 UTC, a little after the checked-in agent home was written.
constexpr qint64 kNowSeconds = 1'796'917'700;
const QDateTime kNow = QDateTime::fromSecsSinceEpoch(kNowSeconds, Qt::UTC);

// Spies on every signal the model declares.
class ModelSignals {
public:
    explicit ModelSignals(DashboardViewModel& model)
    {
        const QMetaObject& meta = DashboardViewModel::staticMetaObject;
        for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
            const QMetaMethod method = meta.method(i);
            if (method.methodType() != QMetaMethod::Signal) continue;
            spies_.push_back(std::make_unique<QSignalSpy>(&model, method));
        }
    }
    // The names of the signals emitted since the spies were made.
    QStringList emitted() const
    {
        QStringList names;
        for (const auto& spy : spies_) {
            if (spy->count() > 0) names << QString::fromLatin1(spy->signal());
        }
        return names;
    }

private:
    std::vector<std::unique_ptr<QSignalSpy>> spies_;
};

class DashboardRefreshTest : public testing::Test {
protected:
    void make(DashboardViewModel::Parameters parameters)
    {
        model = std::make_unique<DashboardViewModel>(std::move(parameters));
    }
    DashboardViewModel::Parameters parameters(const QString& claudeHome)
    {
        DashboardViewModel::Parameters p = test::modelParameters(claudeHome, preferences, center);
        p.clock = [] { return kNow; };
        p.processTreeProvider = [] { return ProcessTreeFetchResult{}; };
        return p;
    }
    const AppNotification* notice(const QString& key) const
    {
        for (const AppNotification& notification : center->activeNotifications()) {
            if (notification.dedupeKey == key) return &notification;
        }
        return nullptr;
    }

    std::shared_ptr<InMemoryPreferences> preferences = std::make_shared<InMemoryPreferences>();
    std::shared_ptr<AppNotificationCenter> center =
        std::make_shared<AppNotificationCenter>([] { return QDateTime::currentDateTimeUtc(); });
    std::unique_ptr<DashboardViewModel> model;
};

} // namespace

TEST_F(DashboardRefreshTest, APassReadsTheAgentHomeAndAnUnchangedPassNotifiesNothing)
{
    test::TemporaryHome home;
    make(parameters(home.claudeHome()));
    ASSERT_TRUE(refreshAndWait(*model));

    EXPECT_EQ(model->knownTiles().keys(), QStringList({"17147", "22207"}));
    // No tile claims them: both are sessions outside the application, in project-name order.
    ASSERT_EQ(model->tiles().size(), 2);
    EXPECT_EQ(model->tiles()[0].id, "22207");
    EXPECT_EQ(model->tiles()[1].id, "17147");
    EXPECT_NE(model->usageSummary(), UsageSummary::unavailable());
    EXPECT_EQ(model->claudeHomeAccessStatus(), ClaudeHomeAccessStatus::accessible);
    EXPECT_TRUE(model->terminalTiles().isEmpty());
    EXPECT_TRUE(model->liveShellCwds().isEmpty());
    EXPECT_TRUE(center->activeNotifications().isEmpty());

    const ModelSignals observed(*model);
    ASSERT_TRUE(refreshAndWait(*model));
    EXPECT_EQ(observed.emitted(), QStringList());
    EXPECT_EQ(model->knownTiles().size(), 2);
}

TEST_F(DashboardRefreshTest, TheThreeFailuresAreShownAndCountedWhileTheyLast)
{
    const QString claudeHome = QStringLiteral("/home/user/.claude");
    auto reader = std::make_shared<test::FakeFileSystemReader>();
    reader->setError(claudeHome, FileSystemReadingError::Kind::permissionDenied);
    reader->setError(claudeHome + "/sessions", FileSystemReadingError::Kind::permissionDenied);
    DashboardViewModel::Parameters p = parameters(claudeHome);
    p.fileSystem = reader;
    p.processTreeProvider = [] { return ProcessTreeFetchResult{{}, true}; };
    make(std::move(p));

    for (int pass = 1; pass <= 3; pass++) {
        SCOPED_TRACE(pass);
        ASSERT_TRUE(refreshAndWait(*model));
        ASSERT_EQ(center->activeNotifications().size(), 3);
        const struct {
            const char* key;
            const char* title;
        } expected[] = {
            {"session.scan", "セッション情報を読み取れません。状態表示が更新されない可能性があります"},
            {"process.tree", "プロセス情報を取得できません。状態表示が付かない場合があります"},
            {"claude.access.denied", "「~/.claude」へのアクセスが許可されていません"},
        };
        for (const auto& row : expected) {
            SCOPED_TRACE(row.key);
            const AppNotification* shown = notice(QString::fromUtf8(row.key));
            ASSERT_NE(shown, nullptr);
            EXPECT_EQ(shown->severity, AppNotificationSeverity::error);
            EXPECT_EQ(shown->title, QString::fromUtf8(row.title));
            EXPECT_EQ(shown->occurrenceCount, pass);
        }
        EXPECT_EQ(notice("session.scan")->detail, std::nullopt);
        EXPECT_EQ(notice("process.tree")->detail, std::nullopt);
        EXPECT_EQ(notice("claude.access.denied")->detail,
                  QStringLiteral("セッション一覧・状態表示・プラン使用率ゲージ・音声通知が機能しません。"
                                 "システム設定の「プライバシーとセキュリティ」でBrisvaneを許可すると復帰します。"));
    }
    EXPECT_EQ(model->claudeHomeAccessStatus(), ClaudeHomeAccessStatus::permissionDenied);
}

TEST_F(DashboardRefreshTest, APassOvertakenByANewerOneIsDropped)
{
    test::TemporaryHome home(test::TemporaryHome::Content::empty);
    // Fresh for a pass at kNow + 60 s, stale (older than 900 s) for one at kNow + 2000 s.
    test::writeFile(home.claudeHome() + "/brisvane-usage.json",
                    QStringLiteral(R"({"fetched_at":%1,"rate_limits":)"
                                   R"({"five_hour":{"used_percentage":29.3,"resets_at":1796924726},)"
                                   R"("seven_day":{"used_percentage":50,"resets_at":1797176726}}})")
                        .arg(kNowSeconds)
                        .toUtf8());

    // The second pass's process-table read is held until the test lets it go; it then reports
    // a failure that only that pass saw.
    struct Gate {
        std::mutex lock;
        std::condition_variable changed;
        int calls = 0;
        bool holding = false;
        bool released = false;
    };
    auto gate = std::make_shared<Gate>();
    QDateTime now = kNow;
    DashboardViewModel::Parameters p = parameters(home.claudeHome());
    p.clock = [&now] { return now; };
    p.processTreeProvider = [gate] {
        std::unique_lock hold(gate->lock);
        if (++gate->calls != 2) return ProcessTreeFetchResult{};
        gate->holding = true;
        gate->changed.notify_all();
        gate->changed.wait(hold, [&] { return gate->released; });
        return ProcessTreeFetchResult{{}, true};
    };
    make(std::move(p));
    // Never leave a pool thread waiting: the model's end waits for its reads.
    const auto release = [gate] {
        {
            std::lock_guard hold(gate->lock);
            gate->released = true;
        }
        gate->changed.notify_all();
    };
    const auto releaseOnExit = qScopeGuard(release);

    ASSERT_TRUE(refreshAndWait(*model));
    ASSERT_TRUE(model->planUsage().has_value());

    now = kNow.addSecs(60);
    model->refresh();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            std::lock_guard hold(gate->lock);
            return gate->holding;
        },
        test::kPatienceMs));
    now = kNow.addSecs(2000);
    QSignalSpy planUsageChanges(model.get(), &DashboardViewModel::planUsageChanged);
    model->refresh();
    ASSERT_TRUE(QTest::qWaitFor([&] { return model->lastAppliedRefresh() == 3; }, test::kPatienceMs));
    EXPECT_EQ(model->planUsage(), std::nullopt);
    EXPECT_EQ(planUsageChanges.count(), 1);
    EXPECT_EQ(model->refreshesInFlight(), 1);

    const ModelSignals observed(*model);
    release();
    ASSERT_TRUE(test::waitForRefreshes(*model));
    EXPECT_EQ(model->lastAppliedRefresh(), 3);
    EXPECT_EQ(observed.emitted(), QStringList());
    EXPECT_EQ(model->planUsage(), std::nullopt);
    EXPECT_EQ(notice("process.tree"), nullptr);
}

// A home holding a 1 TiB sparse transcript written today: the first pass still comes in with the
// sessions, later passes read on where it stopped, and the model ends as quickly as without it.
TEST_F(DashboardRefreshTest, AHugeTranscriptHoldsUpNeitherTheSessionsNorTheEnd)
{
    qint64 endMs[2] = {};
    for (const bool huge : {false, true}) {
        SCOPED_TRACE(huge ? "with a 1 TiB transcript" : "without");
        test::TemporaryHome home;
        if (huge) {
            const QString path = home.projectsDirectory() + "/p/t.jsonl";
            QDir().mkpath(home.projectsDirectory() + "/p");
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            ASSERT_TRUE(file.resize(qint64(1) << 40));
            file.close();
            test::setModified(path, kNow);
        }
        make(parameters(home.claudeHome()));
        model->start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return model->lastAppliedRefresh() >= 1; }, test::kPatienceMs));
        EXPECT_EQ(model->knownTiles().keys(), QStringList({"17147", "22207"}));
        EXPECT_NE(model->usageSummary(), UsageSummary::unavailable());
        // Passes of their own keep reading the file.
        if (huge) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return model->lastAppliedRefresh() >= 3; }, test::kPatienceMs));
        }

        // A pass in flight when the application quits.
        model->refresh();
        QElapsedTimer timer;
        timer.start();
        model->stop();
        model.reset();
        endMs[huge] = timer.elapsed();
    }
    EXPECT_LT(endMs[1], endMs[0] + 1000) << endMs[1] << " ms against " << endMs[0] << " ms";
}
