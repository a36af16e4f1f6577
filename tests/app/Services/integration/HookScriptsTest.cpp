// The two scripts as the agent runs them: installed by the installer, run by /bin/sh with the
// agent's real inputs on standard input.

#include "app/Services/integration/HookInstaller.hpp"

#include "tests/app/AgentHome.hpp"
#include "tests/app/HookPrinters.hpp"
#include "tests/app/Printers.hpp"
#include "tests/app/Services/ScopedHomeEnvironment.hpp"
#include "tests/app/Services/ScriptRunner.hpp"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace brisvane;

namespace {

QByteArray fixtureInput(const char* name)
{
    return test::readFile(test::fixtureAgentHome() + u'/' + QString::fromUtf8(name));
}

QByteArray stopInput(const QString& sessionId, const QString& message)
{
    return QJsonDocument(QJsonObject{{"session_id", sessionId}, {"hook_event_name", "Stop"}, {"last_assistant_message", message}})
        .toJson(QJsonDocument::Compact);
}

double nowSeconds()
{
    return QDateTime::currentMSecsSinceEpoch() / 1000.0;
}

class HookScriptsTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(hooks.install(HookKind::statusLine));
        ASSERT_TRUE(hooks.install(HookKind::stop));
        // The fixture's session folder is read-only; the agent's own is not.
        QFile(home.sessionsDirectory()).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    QString usagePath() const { return home.claudeHome() + QStringLiteral("/brisvane-usage.json"); }
    QString summaryDirectory() const { return home.claudeHome() + QStringLiteral("/brisvane-say"); }
    QStringList summaryFiles() const { return QDir(summaryDirectory()).entryList(QDir::Files | QDir::Hidden); }

    test::ScriptRun runStatusLine(const QByteArray& input, const std::optional<QString>& path = std::nullopt) const
    {
        return test::runShell({hooks.scriptPath(HookKind::statusLine)}, input, home.path(), path);
    }
    // Through an extra shell, as the agent may run it: the script's parent is then not the agent.
    test::ScriptRun runStopHook(const QByteArray& input, const std::optional<QString>& path = std::nullopt) const
    {
        return test::runShell({"-c", "/bin/sh \"$0\"; exit $?", hooks.scriptPath(HookKind::stop)}, input, home.path(), path);
    }

    test::TemporaryHome home;
    test::ScopedHomeEnvironment environment{home.path()};
    HookInstaller hooks = HookInstaller::makeDefault(home.claudeHome(), home.path() + QStringLiteral("/.local/share/Brisvane"));
};

} // namespace

TEST_F(HookScriptsTest, StatusLineWritesThePlanUsageFileAndPrintsOneLine)
{
    const double before = nowSeconds();
    const test::ScriptRun run = runStatusLine(fixtureInput("statusline-input-rate-limits.json"));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, "Sonnet 5 | 5h 29% | 7d 50%\n");

    const QJsonObject usage = QJsonDocument::fromJson(test::readFile(usagePath())).object();
    EXPECT_GE(usage.value("fetched_at").toDouble(), before - 1);
    EXPECT_LE(usage.value("fetched_at").toDouble(), nowSeconds() + 1);
    const QJsonObject limits = usage.value("rate_limits").toObject();
    EXPECT_DOUBLE_EQ(limits.value("five_hour").toObject().value("used_percentage").toDouble(), 29.299999999999997);
    EXPECT_EQ(limits.value("five_hour").toObject().value("resets_at").toInteger(), 1796924726);
    EXPECT_DOUBLE_EQ(limits.value("seven_day").toObject().value("used_percentage").toDouble(), 50);
    EXPECT_EQ(limits.value("seven_day").toObject().value("resets_at").toInteger(), 1797176726);
    EXPECT_TRUE(QDir(home.claudeHome()).entryList({".brisvane-usage.json.*"}, QDir::Files | QDir::Hidden).isEmpty());

    // Without rate limits the last file stays as it was.
    const QByteArray written = test::readFile(usagePath());
    const struct {
        const char* name;
        QByteArray input;
        QByteArray line;
    } cases[] = {
        {"API-key use", fixtureInput("statusline-input.json"), "Opus 4.8 (1M context)\n"},
        {"start-up", fixtureInput("statusline-input-startup.json"), "Opus 4.8 (1M context)\n"},
        {"empty windows", R"({"model":{"display_name":"M"},"rate_limits":{"five_hour":null}})", "M\n"},
        {"garbage", "not json at all", "\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const test::ScriptRun other = runStatusLine(c.input);
        EXPECT_EQ(other.exitCode, 0);
        EXPECT_EQ(other.output, c.line);
        EXPECT_EQ(test::readFile(usagePath()), written);
    }
}

TEST_F(HookScriptsTest, StopHookLeavesTheSummaryUnderTheAgentsPid)
{
    const double before = nowSeconds();
    const test::ScriptRun run = runStopHook(fixtureInput("stop-hook-input.json"));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(run.errors, "");

    // The session file that names the input's session gives the pid.
    EXPECT_EQ(summaryFiles(), QStringList{"22207.json"});
    const QJsonObject record = QJsonDocument::fromJson(test::readFile(summaryDirectory() + "/22207.json")).object();
    EXPECT_EQ(record.value("pid"), QJsonValue(22207));
    EXPECT_EQ(record.value("sessionId").toString(), "422f8e9a-0da1-4a54-8388-8912e6a4f6d7");
    EXPECT_EQ(record.value("text").toString(), "Done. All tests pass.");
    EXPECT_GE(record.value("capturedAt").toDouble(), before - 1);
    EXPECT_LE(record.value("capturedAt").toDouble(), nowSeconds() + 1);
}

TEST_F(HookScriptsTest, StopHookFindsTheAgentAmongItsAncestorsAndReadsTheVoiceLine)
{
    // No session file names the session, but this test process (the script's grandparent) has one.
    const QString pid = QString::number(QCoreApplication::applicationPid());
    test::writeFile(home.sessionsDirectory() + u'/' + pid + ".json", "{\"pid\":" + pid.toUtf8() + ",\"sessionId\":\"other\"}");
    const struct {
        const char* name;
        QString message;
        QString text;
    } cases[] = {
        {"the voice line", "Intro.\n\n**【音声】テストを追加しました。次はレビューです。**\n\nDetails follow.",
         "テストを追加しました。次はレビューです。"},
        {"the last voice line", "【音声】first\n【音声】second", "second"},
        {"else the last line", "Intro\n\n- Done: all 12 tests pass.  \n\n", "Done: all 12 tests pass."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const test::ScriptRun run = runStopHook(stopInput("unknown-session", c.message));
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.output, "");
        EXPECT_EQ(summaryFiles(), QStringList{pid + ".json"});
        const QJsonObject record = QJsonDocument::fromJson(test::readFile(summaryDirectory() + u'/' + pid + ".json")).object();
        EXPECT_EQ(record.value("pid").toInteger(), QCoreApplication::applicationPid());
        EXPECT_EQ(record.value("text").toString(), c.text);
    }
}

TEST_F(HookScriptsTest, ScriptsStayQuietOnBadInputAndWithoutJq)
{
    const QByteArray inputs[] = {
        "garbage",
        "",
        "[]",
        R"({"session_id":5,"last_assistant_message":"text"})",
        R"({"session_id":"422f8e9a-0da1-4a54-8388-8912e6a4f6d7"})",
        stopInput("422f8e9a-0da1-4a54-8388-8912e6a4f6d7", " \n\t\n"),
    };
    for (const QByteArray& input : inputs) {
        SCOPED_TRACE(input.toStdString());
        const test::ScriptRun run = runStopHook(input);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.output, "");
        EXPECT_EQ(run.errors, "");
    }
    EXPECT_TRUE(summaryFiles().isEmpty());

    const QString noJq = QStringLiteral("/nonexistent");
    const test::ScriptRun stop = runStopHook(fixtureInput("stop-hook-input.json"), noJq);
    const test::ScriptRun statusLine = runStatusLine(fixtureInput("statusline-input-rate-limits.json"), noJq);
    for (const test::ScriptRun& run : {stop, statusLine}) {
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.output, "");
    }
    EXPECT_TRUE(summaryFiles().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(usagePath()));
}
