#include "app/Services/voice/AnnouncementEngine.hpp"

#include "tests/app/AnnouncementPrinters.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

using namespace brisvane;

namespace {

const QDateTime kStart = QDateTime::fromMSecsSinceEpoch(1'796'917'700'000, Qt::UTC);
const QString kA = QStringLiteral("t:0C1D2E3F-4A5B-4C6D-8E7F-901A2B3C4D5E");
const QString kB = QStringLiteral("t:A1B2C3D4-E5F6-4071-8293-A4B5C6D7E8F9");

QString projectOf(const QString& key)
{
    return key == kA ? QStringLiteral("my_proj.v2") : QString::fromUtf8("日本語");
}

struct Expected {
    QString key;
    AnnouncementKind kind;
    std::optional<double> busyDuration;
};

Expected done(const QString& key, double busyDuration)
{
    return {key, AnnouncementKind::completed, busyDuration};
}

Expected waits(const QString& key)
{
    return {key, AnnouncementKind::waitingForApproval, std::nullopt};
}

QString message(AnnouncementKind kind, const QString& project, bool japanese)
{
    if (kind == AnnouncementKind::completed) {
        return japanese ? project + QString::fromUtf8("のタスクが完了しました")
                        : "Task completed for " + project;
    }
    return japanese ? project + QString::fromUtf8("が確認待ちです") : project + " is waiting for approval";
}

struct Step {
    double at; // seconds after kStart
    QList<std::pair<QString, SessionState>> sessions;
    QList<Expected> results;
    std::optional<double> delay;
};

struct Scenario {
    const char* name;
    QList<Step> steps;
    double threshold = 30;
    bool japanese = true;
};

const SessionState kBusy = SessionState::busy();
const SessionState kIdle = SessionState::idle();
const SessionState kWaiting = SessionState::waiting(QStringLiteral("permission prompt"));
const SessionState kDialog = SessionState::waiting(QStringLiteral("dialog open"));
const SessionState kTerminated = SessionState::terminated();
const SessionState kUnknown = SessionState::unknown();
const std::optional<double> kNone;

const Scenario kScenarios[] = {
    {"completion after 10 s idle, once per streak; the completion clears the stretch", {
        {0, {{kA, kBusy}}, {}, kNone},
        {40, {{kA, kIdle}}, {}, 10},
        {45, {{kA, kIdle}}, {}, 5},
        {50, {{kA, kIdle}}, {done(kA, 40)}, kNone},
        {70, {{kA, kIdle}}, {}, kNone},
        {75, {{kA, kWaiting}}, {}, 8},
        {80, {{kA, kIdle}}, {}, kNone},
        {95, {{kA, kIdle}}, {}, kNone},
    }},
    {"first seen idle: no busy stretch is known", {
        {0, {{kA, kIdle}}, {}, kNone},
        {20, {{kA, kIdle}}, {}, kNone},
    }},
    {"a stretch below the threshold keeps its start for a later idle streak", {
        {0, {{kA, kBusy}}, {}, kNone},
        {20, {{kA, kIdle}}, {}, kNone},
        {31, {{kA, kIdle}}, {}, kNone},
        {35, {{kA, kWaiting}}, {}, 8},
        {40, {{kA, kIdle}}, {}, 10},
        {50, {{kA, kIdle}}, {done(kA, 40)}, kNone},
    }},
    {"an interruption under 30 s is bridged", {
        {0, {{kA, kBusy}}, {}, kNone},
        {100, {{kA, kIdle}}, {}, 10},
        {105, {{kA, kBusy}}, {}, kNone},
        {200, {{kA, kIdle}}, {}, 10},
        {210, {{kA, kIdle}}, {done(kA, 200)}, kNone},
    }},
    {"waiting 29.9 s is bridged, and the wait counts as busy time", {
        {0, {{kA, kBusy}}, {}, kNone},
        {10, {{kA, kWaiting}}, {}, 8},
        {39.9, {{kA, kBusy}}, {}, kNone},
        {50, {{kA, kIdle}}, {}, 10},
        {60, {{kA, kIdle}}, {done(kA, 50)}, kNone},
    }},
    {"leaving busy for 30 s starts a new stretch", {
        {0, {{kA, kBusy}}, {}, kNone},
        {10, {{kA, kWaiting}}, {}, 8},
        {18, {{kA, kWaiting}}, {waits(kA)}, kNone},
        {40, {{kA, kBusy}}, {}, kNone},
        {50, {{kA, kIdle}}, {}, kNone},
        {60, {{kA, kIdle}}, {}, kNone},
    }},
    {"the debounce holds a waiting announcement back and asks again when it ends", {
        {0, {{kA, kBusy}}, {}, kNone},
        {40, {{kA, kIdle}}, {}, 10},
        {50, {{kA, kIdle}}, {done(kA, 40)}, kNone},
        {50.5, {{kA, kWaiting}}, {}, 8},
        {58.5, {{kA, kWaiting}}, {}, 1.5},
        {60, {{kA, kWaiting}}, {waits(kA)}, kNone},
    }},
    {"waiting is announced once per streak; a new reason is the same streak", {
        {0, {{kA, kWaiting}}, {}, 8},
        {7.9, {{kA, kWaiting}}, {}, 0.1},
        {8, {{kA, kWaiting}}, {waits(kA)}, kNone},
        {9, {{kA, kDialog}}, {}, kNone},
        {20, {{kA, kIdle}}, {}, kNone},
        {21, {{kA, kWaiting}}, {}, 8},
        {29, {{kA, kWaiting}}, {waits(kA)}, kNone},
    }},
    {"terminated and unknown end the streaks and are never announced", {
        {0, {{kA, kBusy}, {kB, kWaiting}}, {}, 8},
        {40, {{kA, kIdle}, {kB, kUnknown}}, {}, 10},
        {45, {{kA, kTerminated}, {kB, kUnknown}}, {}, kNone},
        {60, {{kA, kTerminated}, {kB, kUnknown}}, {}, kNone},
    }},
    {"a session missing from a snapshot is forgotten", {
        {0, {{kA, kBusy}}, {}, kNone},
        {40, {{kB, kIdle}}, {}, kNone},
        {41, {{kA, kIdle}}, {}, kNone},
        {60, {{kA, kIdle}}, {}, kNone},
    }},
    {"an empty snapshot clears everything", {
        {0, {{kA, kBusy}, {kB, kWaiting}}, {}, 8},
        {40, {}, {}, kNone},
        {41, {{kA, kIdle}, {kB, kWaiting}}, {}, 8},
        {49, {{kA, kIdle}, {kB, kWaiting}}, {waits(kB)}, kNone},
    }},
    {"threshold 0: any observed busy stretch earns a completion", {
        {0, {{kA, kBusy}}, {}, kNone},
        {0.5, {{kA, kIdle}}, {}, 10},
        {10.5, {{kA, kIdle}}, {done(kA, 0.5)}, kNone},
    }, 0},
    {"sessions in key order, the smallest delay of all", {
        {0, {{kB, kBusy}, {kA, kBusy}}, {}, kNone},
        {40, {{kB, kIdle}, {kA, kIdle}}, {}, 10},
        {43, {{kB, kIdle}, {kA, kIdle}}, {}, 7},
        {50, {{kB, kIdle}, {kA, kIdle}}, {done(kA, 40), done(kB, 40)}, kNone},
        {52, {{kB, kWaiting}, {kA, kIdle}}, {}, 8},
        {55, {{kB, kWaiting}, {kA, kWaiting}}, {}, 5},
    }},
    {"English wording", {
        {0, {{kA, kBusy}}, {}, kNone},
        {40, {{kA, kIdle}}, {}, 10},
        {50, {{kA, kIdle}}, {done(kA, 40)}, kNone},
        {51, {{kA, kWaiting}}, {}, 8},
        {59, {{kA, kWaiting}}, {}, 1},
        {60, {{kA, kWaiting}}, {waits(kA)}, kNone},
    }, 30, false},
};

} // namespace

TEST(AnnouncementEngine, Timelines)
{
    for (const Scenario& scenario : kScenarios) {
        SCOPED_TRACE(scenario.name);
        AnnouncementEngine engine(scenario.threshold, scenario.japanese);
        for (const Step& step : scenario.steps) {
            SCOPED_TRACE("at " + std::to_string(step.at) + " s");
            QMap<QString, AnnouncementSessionInfo> snapshot;
            for (const auto& [key, state] : step.sessions) snapshot.insert(key, {projectOf(key), state});
            QList<AnnouncementResult> expected;
            for (const Expected& e : step.results) {
                const QString project = projectOf(e.key);
                expected.append({e.key, {e.kind, project, message(e.kind, project, scenario.japanese)}, e.busyDuration});
            }

            const AnnouncementEngine::ProcessingOutcome outcome = engine.processSnapshotDetailed(
                snapshot, kStart.addMSecs(std::llround(step.at * 1000)));

            EXPECT_EQ(outcome.results, expected);
            ASSERT_EQ(outcome.reevaluationDelay.has_value(), step.delay.has_value());
            if (step.delay) EXPECT_NEAR(*outcome.reevaluationDelay, *step.delay, 1e-9);
        }
    }
}

TEST(AnnouncementEngine, ALoweredThresholdCountsAtTheNextEvaluation)
{
    AnnouncementEngine engine(600, true);
    const QMap<QString, AnnouncementSessionInfo> busy{{kA, {projectOf(kA), kBusy}}};
    const QMap<QString, AnnouncementSessionInfo> idle{{kA, {projectOf(kA), kIdle}}};
    engine.processSnapshotDetailed(busy, kStart);
    EXPECT_EQ(engine.processSnapshotDetailed(idle, kStart.addSecs(40)).reevaluationDelay, std::nullopt);
    engine.setCompletionThreshold(30);
    const auto outcome = engine.processSnapshotDetailed(idle, kStart.addSecs(55));
    ASSERT_EQ(outcome.results.size(), 1);
    EXPECT_EQ(outcome.results.front().busyDuration, 40.0);
}
