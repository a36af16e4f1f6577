#include "app/Services/voice/VoicevoxEngineStatusRule.hpp"

#include <gtest/gtest.h>

#include <optional>

using namespace brisvane;
using Status = VoicevoxEngineStatus;
using VoicevoxEngineStatusRule::Decision;
using VoicevoxEngineStatusRule::Input;

namespace brisvane {

inline void PrintTo(VoicevoxEngineStatus status, std::ostream* out)
{
    *out << rawValue(status).toStdString();
}

} // namespace brisvane

TEST(VoicevoxEngineStatusRuleTest, StatusAndLaunchFollowTheProbeTheProgramAndTheLastAttempt)
{
    const QDateTime now = QDateTime::fromMSecsSinceEpoch(1'796'917'700'000, Qt::UTC);
    struct Case {
        const char* name;
        bool available;
        bool installed;
        std::optional<double> attemptSecondsAgo;
        bool autoLaunch;
        bool force;
        Decision decision;
    };
    const Case cases[] = {
        {"answering", true, false, std::nullopt, false, false, {Status::connected, false}},
        {"answering while launching", true, true, 5, true, false, {Status::connected, false}},
        {"not installed", false, false, std::nullopt, true, true, {Status::notInstalled, false}},
        {"auto-launch on", false, true, std::nullopt, true, false, {Status::launching, true}},
        {"auto-launch off", false, true, std::nullopt, false, false, {Status::notRunning, false}},
        {"auto-launch off, forced", false, true, std::nullopt, false, true, {Status::launching, true}},
        {"attempt 89.9 s ago", false, true, 89.9, true, false, {Status::launching, false}},
        {"attempt 89.9 s ago, auto-launch off", false, true, 89.9, false, false, {Status::launching, false}},
        {"attempt 90 s ago", false, true, 90, true, false, {Status::launching, true}},
        {"attempt 90 s ago, auto-launch off", false, true, 90, false, false, {Status::notRunning, false}},
        {"attempt 1 s ago, forced", false, true, 1, false, true, {Status::launching, true}},
        {"clock set back an hour", false, true, -3600, true, false, {Status::launching, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Input input;
        input.engineAvailable = c.available;
        input.isInstalled = c.installed;
        if (c.attemptSecondsAgo) {
            input.lastLaunchAttempt = now.addMSecs(static_cast<qint64>(-*c.attemptSecondsAgo * 1000));
        }
        input.autoLaunchEnabled = c.autoLaunch;
        input.forceLaunch = c.force;
        input.now = now;
        const Decision decision = VoicevoxEngineStatusRule::decide(input);
        EXPECT_EQ(decision.status, c.decision.status);
        EXPECT_EQ(decision.launch, c.decision.launch);
    }
}
