#include "app/Services/usage/PlanUsageStore.hpp"

#include "app/Services/platform/LocalFileSystemReader.hpp"
#include "app/Services/usage/PlanUsageParser.hpp"
#include "tests/app/AgentHome.hpp"
#include "tests/app/Printers.hpp"
#include "tests/app/Services/FakeFileSystemReader.hpp"
#include "tests/app/Services/ScriptRunner.hpp"
#include "tests/app/UsagePrinters.hpp"

#include <gtest/gtest.h>

using namespace brisvane;

namespace {

const QString kPath = QStringLiteral("/home/user/.claude/brisvane-usage.json");
// 2026-12-10 15:48:20 UTC.
const QDateTime kNow = QDateTime::fromMSecsSinceEpoch(1'796'917'700'000, Qt::UTC);
constexpr double kNowSeconds = 1'796'917'700;

QDateTime seconds(double value)
{
    return QDateTime::fromMSecsSinceEpoch(int64_t(value * 1000), Qt::UTC);
}

QByteArray file(double fetchedAt, const char* rateLimits)
{
    return QString::asprintf(R"({"fetched_at":%.3f,"rate_limits":%s})", fetchedAt, rateLimits).toUtf8();
}

class PlanUsageStoreTest : public testing::Test {
protected:
    std::optional<PlanUsageSummary> load(const QByteArray& contents)
    {
        reader->setFile(kPath, contents);
        return PlanUsageStore::load({kPath, reader, kNow});
    }

    std::shared_ptr<test::FakeFileSystemReader> reader = std::make_shared<test::FakeFileSystemReader>();
};

const char* const kBothWindows = R"({"five_hour":{"used_percentage":29.3,"resets_at":1796924726},)"
                                 R"("seven_day":{"used_percentage":50,"resets_at":1797176726}})";

} // namespace

TEST_F(PlanUsageStoreTest, BuildsTheSummaryOfAFreshFile)
{
    const std::optional<PlanUsageSummary> none;
    const PlanUsageWindow fiveHour{29.3, seconds(1796924726)};
    const PlanUsageWindow sevenDay{50, seconds(1797176726)};
    const struct {
        const char* label;
        QByteArray contents;
        std::optional<PlanUsageSummary> expected;
    } cases[] = {
        {"both windows", file(kNowSeconds - 60, kBothWindows),
         PlanUsageSummary{fiveHour, sevenDay, seconds(kNowSeconds - 60)}},
        {"only fetched_at", R"({"fetched_at":1796917700})", none},
        {"no fetched_at", R"({"rate_limits":)" + QByteArray(kBothWindows) + "}", none},
        {"five-hour window without its reset time",
         file(kNowSeconds, R"({"five_hour":{"used_percentage":10},)"
                           R"("seven_day":{"used_percentage":50,"resets_at":1797176726}})"),
         PlanUsageSummary{std::nullopt, sevenDay, kNow}},
        {"no complete window", file(kNowSeconds, R"({"five_hour":{"resets_at":1},"seven_day":{}})"), none},
        {"exactly 900 s old", file(kNowSeconds - 900, kBothWindows), none},
        {"899.5 s old", file(kNowSeconds - 899.5, kBothWindows),
         PlanUsageSummary{fiveHour, sevenDay, seconds(kNowSeconds - 899.5)}},
        {"fetched an hour in the future", file(kNowSeconds + 3600, kBothWindows),
         PlanUsageSummary{fiveHour, sevenDay, seconds(kNowSeconds + 3600)}},
        {"percentage as text", file(kNowSeconds, R"({"five_hour":{"used_percentage":"50","resets_at":1}})"), none},
        {"over 100 and below 0 kept, a past reset kept",
         file(kNowSeconds, R"({"five_hour":{"used_percentage":130,"resets_at":1000},)"
                           R"("seven_day":{"used_percentage":-5,"resets_at":2000}})"),
         PlanUsageSummary{PlanUsageWindow{130, seconds(1000)}, PlanUsageWindow{-5, seconds(2000)}, kNow}},
        {"camel-case keys",
         R"({"fetchedAt":1796917700,"rateLimits":{"fiveHour":{"usedPercentage":29.3,"resetsAt":1796924726},)"
         R"("sevenDay":{"usedPercentage":50,"resetsAt":1797176726}}})",
         PlanUsageSummary{fiveHour, sevenDay, kNow}},
        {"empty file", "", none},
        {"null", "null", none},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(load(c.contents), c.expected);
    }
}

TEST_F(PlanUsageStoreTest, UnreadableFileGivesNothing)
{
    EXPECT_EQ(PlanUsageStore::load({kPath, reader, kNow}), std::nullopt);
    reader->setFile(kPath, file(kNowSeconds, kBothWindows));
    ASSERT_TRUE(PlanUsageStore::load({kPath, reader, kNow}));
    reader->setError(kPath, FileSystemReadingError::Kind::permissionDenied);
    EXPECT_EQ(PlanUsageStore::load({kPath, reader, kNow}), std::nullopt);
}

TEST_F(PlanUsageStoreTest, HugeTimesStayUsableDates)
{
    const auto summary = load(file(kNowSeconds, R"({"five_hour":{"used_percentage":1e300,"resets_at":1e300},)"
                                                R"("seven_day":{"used_percentage":-1e300,"resets_at":-1e300}})"));
    ASSERT_TRUE(summary && summary->fiveHour && summary->sevenDay);
    EXPECT_EQ(summary->fiveHour->resetsAt, PlanUsageParser::dateFromSecondsSince1970(8.64e12));
    EXPECT_EQ(summary->sevenDay->resetsAt, PlanUsageParser::dateFromSecondsSince1970(-8.64e12));
    EXPECT_TRUE(summary->fiveHour->resetsAt.date().isValid());
    EXPECT_TRUE(summary->sevenDay->resetsAt.date().isValid());
    // A fetch time far in the past or future: stale, or fresh, without overflow.
    EXPECT_EQ(load(file(-1e300, kBothWindows)), std::nullopt);
    EXPECT_TRUE(load(R"({"fetched_at":1e300,"rate_limits":)" + QByteArray(kBothWindows) + "}"));
}

// The application's own status-line script, fed what the agent hands it, writes the file the store
// reads. The script stamps the file with the real clock, so the store looks at it with the real
// clock too.
TEST(PlanUsageStoreScript, ReadsWhatTheStatusLineScriptWrites)
{
    test::TemporaryHome home(test::TemporaryHome::Content::empty);
    const QString script = QDir::cleanPath(QStringLiteral(BRISVANE_TEST_DATA "/../../app/resources/hooks/brisvane-statusline.sh"));
    ASSERT_TRUE(QFile::exists(script)) << script.toStdString();
    const QString usagePath = home.claudeHome() + "/brisvane-usage.json";
    const auto reader = std::make_shared<LocalFileSystemReader>();

    // API-key use: the input carries no rate limits.
    auto run = test::runShell({script}, test::readFile(test::fixtureAgentHome() + "/statusline-input.json"), home.path());
    EXPECT_EQ(run.exitCode, 0) << run.errors.toStdString();
    EXPECT_FALSE(QFile::exists(usagePath));
    EXPECT_EQ(PlanUsageStore::load({usagePath, reader, QDateTime::currentDateTimeUtc()}), std::nullopt);

    // A subscription login: both windows.
    const QDateTime before = QDateTime::currentDateTimeUtc();
    run = test::runShell({script}, test::readFile(test::fixtureAgentHome() + "/statusline-input-rate-limits.json"),
                         home.path());
    const QDateTime after = QDateTime::currentDateTimeUtc();
    EXPECT_EQ(run.exitCode, 0) << run.errors.toStdString();
    const std::optional<PlanUsageSummary> summary = PlanUsageStore::load({usagePath, reader, after});
    ASSERT_TRUE(summary) << test::readFile(usagePath).toStdString();
    EXPECT_EQ(summary->fiveHour, (PlanUsageWindow{29.299999999999997, seconds(1796924726)}));
    EXPECT_EQ(summary->sevenDay, (PlanUsageWindow{50, seconds(1797176726)}));
    EXPECT_GE(summary->fetchedAt, before.addMSecs(-1));
    EXPECT_LE(summary->fetchedAt, after.addMSecs(1));
    // Fifteen minutes later the same file is stale.
    EXPECT_EQ(PlanUsageStore::load({usagePath, reader, summary->fetchedAt.addSecs(900)}), std::nullopt);
}
