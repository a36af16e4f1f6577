#include "app/Services/sessions/SessionStateMapper.hpp"

#include "tests/app/Printers.hpp"

#include <gtest/gtest.h>

using namespace brisvane;

TEST(SessionStateMapper, MapsStatusesExactly)
{
    auto record = [](std::optional<QString> status, std::optional<QString> waitingFor = std::nullopt) {
        SessionRecord r;
        r.status = std::move(status);
        r.waitingFor = std::move(waitingFor);
        return std::optional<SessionRecord>(r);
    };
    const struct {
        const char* label;
        std::optional<SessionRecord> record;
        bool fileExists;
        SessionState expected;
    } cases[] = {
        {"idle", record("idle"), true, SessionState::idle()},
        {"busy", record("busy"), true, SessionState::busy()},
        {"waiting with reason", record("waiting", "permission prompt"), true, SessionState::waiting("permission prompt")},
        {"waiting without reason", record("waiting"), true, SessionState::waiting()},
        {"no status", record(std::nullopt), true, SessionState::unknown()},
        {"no record", std::nullopt, true, SessionState::unknown()},
        {"capital", record("Idle"), true, SessionState::unknown()},
        {"padded", record(" busy"), true, SessionState::unknown()},
        {"other", record("compacting"), true, SessionState::unknown()},
        {"file gone", record("busy"), false, SessionState::terminated()},
        {"file gone, no record", std::nullopt, false, SessionState::terminated()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(SessionStateMapper::map(c.record, c.fileExists), c.expected);
    }
    EXPECT_NE(SessionState::waiting("a"), SessionState::waiting("b"));
    EXPECT_NE(SessionState::waiting(), SessionState::waiting(""));
}
