#include "tests/app/ViewModels/AnnouncementModelFixture.hpp"

#include "app/ViewModels/TerminalProcessController.hpp"
#include "tests/app/AgentHome.hpp"
#include "tests/app/Services/ScopedHomeEnvironment.hpp"
#include "tests/app/ViewModels/DashboardModelHarness.hpp"

#include <QDir>
#include <QFileInfo>
#include <QTest>

#include <gtest/gtest.h>

using namespace brisvane;
using Seam = DashboardViewModelTestSeam;

namespace {

QStringList messages(const test::RecordingSpeaker& speaker)
{
    QStringList said;
    for (const Announcement& announcement : speaker.spoken) said << announcement.message;
    return said;
}

struct AnnouncementsTest : test::AnnouncementModelFixture {
    // Every tile works for `busy` seconds, then all go idle together; returns once the engine's
    // idle confirmation has passed and the completions have been evaluated.
    void completeTogether(QList<TerminalTile> tiles, double busy = 200)
    {
        for (TerminalTile& tile : tiles) tile.sessionState = SessionState::busy();
        model->setTerminalTiles(tiles);
        model->evaluateAnnouncements(now);
        advance(busy);
        for (TerminalTile& tile : tiles) tile.sessionState = SessionState::idle();
        model->setTerminalTiles(tiles);
        model->evaluateAnnouncements(now);
        advance(AnnouncementEngine::kIdleConfirmation);
        model->evaluateAnnouncements(now);
    }

    // One tile waits for approval long enough to be announced.
    void waitForApproval(const TerminalTile& tile)
    {
        TerminalTile waiting = tile;
        waiting.sessionState = SessionState::waiting();
        model->setTerminalTiles({waiting});
        model->evaluateAnnouncements(now);
        advance(AnnouncementEngine::kWaitingConfirmation);
        model->evaluateAnnouncements(now);
    }
};

// Tiles finishing together read one summary (the first tile's, by UUID) and count the others.
TEST_F(AnnouncementsTest, TilesFinishingTogetherReadOneSummaryAndCountTheRest)
{
    struct Case {
        bool japanese;
        int tiles;
        QString winner;
        QString last;
    };
    const Case cases[] = {
        {true, 2, "alphaのタスクが完了しました。Summary 1", "他に1件完了しました"},
        {false, 2, "Task completed for alpha. Summary 1", "1 more task completed"},
        {false, 4, "Task completed for alpha. Summary 1", "3 more tasks completed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.last.toStdString());
        systemVoice->spoken.clear();
        make(c.japanese);
        QList<TerminalTile> tiles;
        const QStringList names = {"alpha", "beta", "gamma", "delta"};
        for (int n = 1; n <= c.tiles; n++) {
            tiles << attachedTile(n, names[n - 1], SessionState::busy());
            Seam::attach(*model, tileId(n), 1000 + n);
            Seam::setConclusion(*model, 1000 + n, QStringLiteral("Summary %1").arg(n));
        }
        // Reading on through the default for the first tile, through the tile's own flag for the others.
        model->setConclusionReadingDefaultEnabled(true);
        for (int n = 2; n <= c.tiles; n++) Seam::setTileReading(*model, tileId(n), true);
        // Busy for exactly the reading threshold (3 minutes).
        completeTogether(tiles, 180);

        ASSERT_EQ(messages(*systemVoice), QStringList({c.winner, c.last}));
        EXPECT_EQ(systemVoice->spoken[0].projectName, "alpha");
        EXPECT_EQ(systemVoice->spoken[1].projectName, "");
        EXPECT_EQ(systemVoice->spoken[1].kind, AnnouncementKind::completed);
    }
}

TEST_F(AnnouncementsTest, SummariesAreReadOnlyForLongWorkWithReadingOnAndATextAtHand)
{
    // Work shorter than the reading threshold: the plain message, its summary unread.
    model->setConclusionReadingBusyThreshold(AnnouncementThresholdPreset::minutes10);
    Seam::setTileReading(*model, tileId(1), true);
    Seam::attach(*model, tileId(1), 1001);
    Seam::setConclusion(*model, 1001, QStringLiteral("Summary"));
    completeTogether({attachedTile(1, "one", SessionState::busy())}, 599);
    EXPECT_EQ(messages(*systemVoice), QStringList({"oneのタスクが完了しました"}));

    // Long work: tile 2 has reading off and is said on its own; tile 3 has no agent and tile 4
    // no summary, so the first of them by UUID wins without a text and the other is counted.
    systemVoice->spoken.clear();
    make();
    Seam::setTileReading(*model, tileId(2), false);
    Seam::setTileReading(*model, tileId(3), true);
    Seam::setTileReading(*model, tileId(4), true);
    Seam::attach(*model, tileId(4), 1004);
    completeTogether({attachedTile(2, "two", SessionState::busy()), attachedTile(3, "three", SessionState::busy()),
                      attachedTile(4, "four", SessionState::busy())},
                     600);
    EXPECT_EQ(messages(*systemVoice),
              QStringList({"twoのタスクが完了しました", "threeのタスクが完了しました", "他に1件完了しました"}));
}

// A reading stands for the project's name: the message is said around it, and its own words are
// never taken for the name, however short the name.
TEST_F(AnnouncementsTest, AReadingReplacesTheNameAndNeverTheMessagesOwnWords)
{
    struct Case {
        bool japanese;
        AnnouncementVoice voice;
        QString project;
        QString reading;
        bool waiting;
        std::optional<QString> summary;
        QString expected;
    };
    const Case cases[] = {
        {true, AnnouncementVoice::system, "完了", "かんりょう", false, {}, "かんりょうのタスクが完了しました"},
        {false, AnnouncementVoice::system, "a", "エー", false, {}, "Task completed for エー"},
        {false, AnnouncementVoice::system, "is", "イズ", true, {}, "イズ is waiting for approval"},
        {true, AnnouncementVoice::zundamon, "の", "ノ", false, {}, "ノのタスクが完了したのだ"},
        {true, AnnouncementVoice::zundamon, "確認", "かくにん", true, {}, "かくにんが確認待ちなのだ"},
        // The summary is the agent's own text: there the name is replaced wherever it stands.
        {true, AnnouncementVoice::system, "完了", "かんりょう", false, QString("完了の報告です"),
         "かんりょうのタスクが完了しました。かんりょうの報告です"},
        {false, AnnouncementVoice::system, "Brisvane", "ブリスベイン", false, QString("Brisvane builds"),
         "Task completed for ブリスベイン. ブリスベイン builds"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected.toStdString());
        for (auto* speaker : {systemVoice.get(), zundamon.get()}) speaker->spoken.clear();
        make(c.japanese);
        model->setAnnouncementVoice(c.voice);
        model->setReadingDictionary(ReadingDictionary{{{QUuid::createUuid(), c.project, c.reading}}});
        const TerminalTile tile = attachedTile(1, c.project, SessionState::busy());
        if (c.summary) {
            Seam::setTileReading(*model, tile.id, true);
            Seam::attach(*model, tile.id, 1001);
            Seam::setConclusion(*model, 1001, *c.summary);
        }
        if (c.waiting) {
            waitForApproval(tile);
        } else {
            completeTogether({tile});
        }
        const test::RecordingSpeaker& speaker = c.voice == AnnouncementVoice::system ? *systemVoice : *zundamon;
        ASSERT_EQ(messages(speaker), QStringList({c.expected}));
        // The tile's name goes with the announcement as the tile shows it.
        EXPECT_EQ(speaker.spoken[0].projectName, c.project);
    }
}

TEST_F(AnnouncementsTest, OnlyAttachedTilesAreAnnouncedAndSwitchedOffTheEngineStillKeepsCount)
{
    // A shell-only tile that "finishes" says nothing.
    TerminalTile shell = attachedTile(2, "shell", SessionState::busy());
    shell.lifecycle = TerminalTileLifecycle::shellOnly();
    completeTogether({shell});
    EXPECT_TRUE(systemVoice->spoken.isEmpty());

    // Switched off: nothing is said, yet the engine saw the completion (it is not said later)
    // and the re-evaluation the engine asked for is still scheduled.
    model->setAnnouncementsEnabled(false);
    TerminalTile tile = attachedTile(1, "alpha", SessionState::busy());
    model->setTerminalTiles({tile});
    model->evaluateAnnouncements(now);
    advance(60);
    tile.sessionState = SessionState::idle();
    model->setTerminalTiles({tile});
    model->evaluateAnnouncements(now);
    EXPECT_TRUE(Seam::reevaluationTimer(*model).isActive());
    EXPECT_EQ(Seam::reevaluationTimer(*model).interval(), 11000);
    advance(AnnouncementEngine::kIdleConfirmation);
    model->evaluateAnnouncements(now);
    EXPECT_TRUE(systemVoice->spoken.isEmpty());

    model->setAnnouncementsEnabled(true);
    advance(30);
    model->evaluateAnnouncements(now);
    EXPECT_TRUE(systemVoice->spoken.isEmpty());
}

TEST_F(AnnouncementsTest, ReevaluationRunsASecondAfterTheEnginesDelayAndIsReplacedEachTime)
{
    const QTimer& timer = Seam::reevaluationTimer(*model);
    struct Case {
        std::optional<double> delay;
        int expectedMs; // 0: nothing pending
    };
    const Case cases[] = {{0.0, 1000}, {-5.0, 1000}, {7.5, 8500}, {std::nullopt, 0}, {2.0, 3000}};
    for (const Case& c : cases) {
        Seam::scheduleReevaluation(*model, c.delay);
        EXPECT_EQ(timer.isActive(), c.expectedMs != 0);
        if (c.expectedMs) {
            EXPECT_EQ(timer.interval(), c.expectedMs);
        }
    }

    // A tile waiting for approval: the engine asks again after its 8 s confirmation.
    TerminalTile tile = attachedTile(1, "alpha", SessionState::waiting());
    model->setTerminalTiles({tile});
    model->evaluateAnnouncements(now);
    ASSERT_TRUE(timer.isActive());
    EXPECT_EQ(timer.interval(), 9000);

    // When the re-evaluation fires it reads the tiles and the clock afresh; the announcement
    // made, nothing is pending any more.
    advance(AnnouncementEngine::kWaitingConfirmation);
    Seam::scheduleReevaluation(*model, 0.0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !systemVoice->spoken.isEmpty(); }, 10000));
    EXPECT_EQ(messages(*systemVoice), QStringList({"alphaが確認待ちです"}));
    EXPECT_FALSE(timer.isActive());

    // Stop cancels a pending re-evaluation.
    Seam::scheduleReevaluation(*model, 3.0);
    model->stop();
    EXPECT_FALSE(timer.isActive());
}

// ---- Speech engine status ---------------------------------------------------------------------------

TEST_F(AnnouncementsTest, EngineStatusFollowsTheProbeAndTheLauncher)
{
    // The system voice needs no engine: unknown, with nothing probed or launched.
    model->updateVoicevoxEngineStatus(true);
    EXPECT_EQ(model->voicevoxEngineStatus(), VoicevoxEngineStatus::unknown);
    EXPECT_TRUE(probe->pending.empty());

    // Choosing a VOICEVOX voice checks the engine once the picker's event is done.
    model->setAnnouncementVoice(AnnouncementVoice::zundamon);
    EXPECT_TRUE(probe->pending.empty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return probe->pending.size() == 1; }, 5000));
    probe->answer(true);
    EXPECT_EQ(model->voicevoxEngineStatus(), VoicevoxEngineStatus::connected);

    struct Case {
        bool installed;
        bool launchSucceeds;
        VoicevoxEngineStatus expected;
        int launches;
    };
    const Case cases[] = {
        {false, true, VoicevoxEngineStatus::notInstalled, 0},
        {true, true, VoicevoxEngineStatus::launching, 1},
        {true, false, VoicevoxEngineStatus::notInstalled, 1},
    };
    for (const Case& c : cases) {
        make();
        model->setAnnouncementVoice(AnnouncementVoice::zundamon);
        launcher->installed = c.installed;
        launcher->launchSucceeds = c.launchSucceeds;
        launcher->launches = 0;
        probe->pending.clear();
        model->updateVoicevoxEngineStatus(false);
        probe->answer(false);
        EXPECT_EQ(model->voicevoxEngineStatus(), c.expected);
        EXPECT_EQ(launcher->launches, c.launches);
        // The attempt is recorded even when the launch fails.
        EXPECT_EQ(Seam::lastLaunchAttempt(*model).has_value(), c.launches > 0);
    }

    // Back to the system voice: unknown again, the engine no longer probed.
    probe->pending.clear();
    model->setAnnouncementVoice(AnnouncementVoice::system);
    ASSERT_TRUE(QTest::qWaitFor([&] { return model->voicevoxEngineStatus() == VoicevoxEngineStatus::unknown; }, 5000));
    EXPECT_TRUE(probe->pending.empty());
}

TEST_F(AnnouncementsTest, AutomaticLaunchesAreNinetySecondsApartUnlessTheUserAsks)
{
    model->setAnnouncementVoice(AnnouncementVoice::zundamon);
    QTest::qWait(0);
    probe->pending.clear();
    const auto check = [&](bool force = false) {
        model->updateVoicevoxEngineStatus(force);
        probe->answer(false);
    };

    check();
    EXPECT_EQ(model->voicevoxEngineStatus(), VoicevoxEngineStatus::launching);
    EXPECT_EQ(launcher->launches, 1);
    EXPECT_EQ(Seam::lastLaunchAttempt(*model), now);
    advance(89);
    check();
    EXPECT_EQ(model->voicevoxEngineStatus(), VoicevoxEngineStatus::launching);
    EXPECT_EQ(launcher->launches, 1);
    advance(1);
    check();
    EXPECT_EQ(launcher->launches, 2);

    // Auto-launch off: an engine that does not answer is shown as not running...
    model->setVoicevoxAutoLaunchEnabled(false);
    EXPECT_EQ(prefs->boolValue("Brisvane.voicevoxAutoLaunchEnabled"), false);
    advance(90);
    check();
    EXPECT_EQ(model->voicevoxEngineStatus(), VoicevoxEngineStatus::notRunning);
    EXPECT_EQ(launcher->launches, 2);
    // ...until the user asks, 90 s or not.
    model->launchVoicevoxNow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !probe->pending.empty(); }, 5000));
    probe->answer(false);
    EXPECT_EQ(launcher->launches, 3);
    EXPECT_EQ(model->voicevoxEngineStatus(), VoicevoxEngineStatus::launching);

    // Turning auto-launch on checks at once: 10 s after an attempt it waits...
    model->setVoicevoxAutoLaunchEnabled(false);
    advance(10);
    check();
    EXPECT_EQ(model->voicevoxEngineStatus(), VoicevoxEngineStatus::launching);
    model->setVoicevoxAutoLaunchEnabled(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !probe->pending.empty(); }, 5000));
    probe->answer(false);
    EXPECT_EQ(launcher->launches, 3);
    // ...and with no recent attempt it launches.
    model->setVoicevoxAutoLaunchEnabled(false);
    advance(90);
    check();
    EXPECT_EQ(model->voicevoxEngineStatus(), VoicevoxEngineStatus::notRunning);
    model->setVoicevoxAutoLaunchEnabled(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !probe->pending.empty(); }, 5000));
    probe->answer(false);
    EXPECT_EQ(launcher->launches, 4);
    EXPECT_EQ(model->voicevoxEngineStatus(), VoicevoxEngineStatus::launching);
    EXPECT_EQ(prefs->boolValue("Brisvane.voicevoxAutoLaunchEnabled"), true);
}

TEST_F(AnnouncementsTest, StartPollsTheEngineAtOnceAndThenEveryInterval)
{
    prefs->setValue("Brisvane.announcementVoice", "zundamon");
    make();
    ASSERT_EQ(model->announcementVoice(), AnnouncementVoice::zundamon);
    model->start();
    model->start();
    // Once per start, at once; then one poll, whose interval is the one handed in.
    EXPECT_EQ(probe->pending.size(), 2u);
    const QTimer& poll = Seam::enginePollTimer(*model);
    EXPECT_TRUE(poll.isActive());
    EXPECT_EQ(poll.interval(), 20000);
    probe->answer(true);
    EXPECT_EQ(model->voicevoxEngineStatus(), VoicevoxEngineStatus::connected);
    model->stop();
    EXPECT_FALSE(poll.isActive());
}

// ---- Through the refresh ---------------------------------------------------------------------------

// The whole way: a real shell in a tile runs a stand-in agent that works, then goes idle, with a
// spoken summary on disk; the refreshes attach it and the completion is read with its summary.
TEST(AnnouncementsThroughRefreshTest, AnAgentFinishingInATileIsAnnouncedWithItsSummary)
{
    test::TemporaryHome home{test::TemporaryHome::Content::empty};
    test::ScopedHomeEnvironment environment{home.path()};
    const QString bin = home.path() + "/bin";
    test::writeFile(bin + "/claude", QStringLiteral(R"(#!/bin/sh
file='%2/'$$.json
write() {
  printf '{"pid":%s,"sessionId":"s-%s","cwd":"%s","kind":"interactive","status":"%s"}' $$ $$ "$PWD" "$1" >"$file.writing"
  mv "$file.writing" "$file"
}
write busy
while [ ! -e '%1/claude-idle' ]; do sleep 0.05; done
write idle
while [ ! -e '%1/claude-stop' ]; do sleep 0.05; done
rm -f "$file"
)")
                                           .arg(home.path(), home.sessionsDirectory())
                                           .toUtf8());
    QFile::setPermissions(bin + "/claude", QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QByteArray profile = QStringLiteral("PATH='%1':\"$PATH\"; export PATH\n").arg(bin).toUtf8();
    for (const char* name : {"/.profile", "/.zprofile"}) test::writeFile(home.path() + name, profile);
    struct StopAgent {
        QString path;
        ~StopAgent() { test::writeFile(path, {}); }
    } stopAgent{home.path() + "/claude-stop"};

    QDateTime now = QDateTime::currentDateTimeUtc();
    auto speaker = std::make_shared<test::RecordingSpeaker>();
    auto preferences = std::make_shared<InMemoryPreferences>();
    auto center = std::make_shared<AppNotificationCenter>([] { return QDateTime::currentDateTimeUtc(); });
    DashboardViewModel::Parameters p = test::modelParameters(home.claudeHome(), preferences, center);
    p.clock = [&now] { return now; };
    p.announcementSpeaker = speaker;
    DashboardViewModel model(std::move(p));
    model.setConclusionReadingDefaultEnabled(true);

    const QUuid id = model.createTerminalTile();
    ASSERT_TRUE(test::waitForRefreshes(model));
    model.terminalControllers().at(id)->session().send(std::string_view("claude\r"));
    QString sessionFile;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const QStringList names = QDir(home.sessionsDirectory()).entryList({"*.json"}, QDir::Files);
            if (!names.isEmpty()) sessionFile = home.sessionsDirectory() + "/" + names.front();
            return !names.isEmpty();
        },
        test::kPatienceMs));
    const int32_t agent = QFileInfo(sessionFile).completeBaseName().toInt();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return test::refreshAndWait(model) && !model.terminalTiles().isEmpty()
                && model.terminalTiles()[0].lifecycle == TerminalTileLifecycle::attached(agent);
        },
        test::kPatienceMs));
    ASSERT_EQ(model.terminalTiles()[0].sessionState, SessionState::busy());
    const QString project = model.terminalTiles()[0].projectName.primary;

    // Four minutes of work, then idle, with the summary the Stop hook left.
    now = now.addSecs(240);
    test::writeFile(home.claudeHome() + QStringLiteral("/brisvane-say/%1.json").arg(agent),
                    QStringLiteral(R"({"pid":%1,"sessionId":"s","text":"All tests pass","capturedAt":%2})")
                        .arg(agent)
                        .arg(now.toMSecsSinceEpoch() / 1000.0, 0, 'f', 3)
                        .toUtf8());
    test::writeFile(home.path() + "/claude-idle", {});
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return test::refreshAndWait(model) && model.terminalTiles()[0].sessionState == SessionState::idle(); },
        test::kPatienceMs));
    EXPECT_TRUE(speaker->spoken.isEmpty());

    now = now.addSecs(qint64(AnnouncementEngine::kIdleConfirmation));
    ASSERT_TRUE(test::refreshAndWait(model));
    ASSERT_EQ(messages(*speaker), QStringList({project + "のタスクが完了しました。All tests pass"}));
    EXPECT_EQ(speaker->spoken[0].projectName, project);

    // Leave nothing running in the temporary home.
    test::writeFile(home.path() + "/claude-stop", {});
    EXPECT_TRUE(QTest::qWaitFor([&] { return !QFileInfo::exists(QStringLiteral("/proc/%1").arg(agent)); },
                                test::kPatienceMs));
    model.stop();
    EXPECT_TRUE(QTest::qWaitFor([&] { return model.terminalControllers().at(id)->hasShellExited(); },
                                test::kPatienceMs));
}

} // namespace
