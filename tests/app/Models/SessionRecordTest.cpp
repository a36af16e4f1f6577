#include "app/Models/SessionRecord.hpp"

#include "tests/app/AgentHome.hpp"
#include "tests/app/Printers.hpp"

#include <gtest/gtest.h>

#include <limits>

using namespace brisvane;

namespace {

QByteArray fixture(const char* relative)
{
    return test::readFile(test::fixtureAgentHome() + u'/' + QString::fromUtf8(relative));
}

} // namespace

TEST(SessionRecord, DecodesEveryFieldOfTheAgentsFiles)
{
    SessionRecord waiting;
    waiting.pid = 22207;
    waiting.sessionId = "422f8e9a-0da1-4a54-8388-8912e6a4f6d7";
    waiting.cwd = "/home/user/work/my_proj.v2";
    waiting.startedAt = 1796917600051;
    waiting.version = "2.1.197";
    waiting.kind = "interactive";
    waiting.name = "my-proj-v2-74";
    waiting.nameSource = "derived";
    waiting.status = "waiting";
    waiting.waitingFor = "permission prompt";
    waiting.updatedAt = 1796917623562;
    waiting.statusUpdatedAt = 1796917623562;
    EXPECT_EQ(SessionRecord::decode(fixture(".claude/sessions/22207.json")), waiting);

    const auto idle = SessionRecord::decode(fixture(".claude/sessions/17147.json"));
    ASSERT_TRUE(idle);
    EXPECT_EQ(idle->cwd, QString::fromUtf8("/home/user/work/日本語"));
    EXPECT_EQ(idle->status, "idle");
    EXPECT_EQ(idle->waitingFor, std::nullopt);

    // `claude -p` writes no status at all.
    const auto printMode = SessionRecord::decode(fixture("captures/session-file-other/print-mode-claude-p.json"));
    ASSERT_TRUE(printMode);
    EXPECT_EQ(printMode->status, std::nullopt);
    EXPECT_EQ(printMode->kind, "interactive");
    EXPECT_EQ(printMode->pid, 19238);

    const auto dialog = SessionRecord::decode(fixture("captures/session-file-other/waiting-dialog_open.json"));
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->waitingFor, "dialog open");
}

TEST(SessionRecord, DecodesEveryVersionOfOneSessionFile)
{
    const char* files[] = {"01-idle", "02-busy", "03-idle", "04-busy", "05-idle", "06-busy",
                           "07-waiting-permission_prompt", "08-busy", "09-idle"};
    const char* statuses[] = {"idle", "busy", "idle", "busy", "idle", "busy", "waiting", "busy", "idle"};
    for (size_t i = 0; i < std::size(files); ++i) {
        SCOPED_TRACE(files[i]);
        const auto record =
            SessionRecord::decode(fixture((std::string("captures/session-file-sequence/") + files[i] + ".json").c_str()));
        ASSERT_TRUE(record);
        EXPECT_EQ(record->status, statuses[i]);
        EXPECT_EQ(record->pid, 22207);
    }
}

TEST(SessionRecord, DecodesOrRejectsTheWholeFile)
{
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
    auto with = [](auto set) {
        SessionRecord record;
        set(record);
        return std::optional<SessionRecord>(record);
    };
    const std::optional<SessionRecord> undecodable;
    const struct {
        const char* json;
        std::optional<SessionRecord> expected;
    } cases[] = {
        {R"({})", SessionRecord{}},
        {R"({"pid":null,"status":"busy"})", with([](SessionRecord& r) { r.status = "busy"; })},
        {R"({"cwd":null,"waitingFor":null})", SessionRecord{}},
        {R"({"pid":7,"extra":{"nested":[1,2]},"procStart":"59430"})", with([](SessionRecord& r) { r.pid = 7; })},
        {R"({"PID":5,"Status":"idle"})", SessionRecord{}}, // keys are case-sensitive
        {R"({"pid":1.0})", with([](SessionRecord& r) { r.pid = 1; })},
        {R"({"updatedAt":1e3})", with([](SessionRecord& r) { r.updatedAt = 1000; })},
        {R"({"startedAt":9223372036854775807})", with([&](SessionRecord& r) { r.startedAt = kMax; })},
        {R"({"startedAt":-9223372036854775808})", with([&](SessionRecord& r) { r.startedAt = kMin; })},
        // A wrong type anywhere loses the whole file.
        {R"({"pid":"123","status":"busy"})", undecodable},
        {R"({"pid":1.5})", undecodable},
        {R"({"startedAt":9223372036854775808})", undecodable},
        {R"({"statusUpdatedAt":1e300})", undecodable},
        {R"({"pid":true})", undecodable},
        {R"({"pid":{}})", undecodable},
        {R"({"cwd":42})", undecodable},
        {R"({"status":true})", undecodable},
        {R"({"name":["a"]})", undecodable},
        // Not an object.
        {R"([])", undecodable},
        {R"("text")", undecodable},
        {R"(null)", undecodable},
        {"", undecodable},
        {R"({"pid":1)", undecodable},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        EXPECT_EQ(SessionRecord::decode(QByteArray(c.json)), c.expected);
    }
}
