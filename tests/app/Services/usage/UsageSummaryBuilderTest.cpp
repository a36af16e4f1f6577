#include "app/Services/usage/UsageSummaryBuilder.hpp"

#include "app/Services/platform/LocalFileSystemReader.hpp"
#include "tests/app/AgentHome.hpp"
#include "tests/app/Dates.hpp"
#include "tests/app/Printers.hpp"
#include "tests/app/Services/FakeFileSystemReader.hpp"
#include "tests/app/UsagePrinters.hpp"

#include <gtest/gtest.h>

using namespace brisvane;
using test::at;
using test::setModified;

namespace {

// One day seen from one zone: the reference time and the boundaries it implies, written out by
// hand rather than computed.
struct Day {
    const char* label;
    Calendar calendar;
    QDateTime now;
    QDateTime weekStart;     // the start of the sixth day before today
    QDateTime yesterdayStart;
    QDateTime todayStart;
    QDateTime tomorrowStart;
    QString yesterday, today, tomorrow, threeDaysAgo, sevenDaysAgo;
};

const Day kDays[] = {
    {"Tokyo", Calendar(QTimeZone("Asia/Tokyo")), at("2026-12-10T12:00:00+09:00"), at("2026-12-04T00:00:00+09:00"),
     at("2026-12-09T00:00:00+09:00"), at("2026-12-10T00:00:00+09:00"), at("2026-12-11T00:00:00+09:00"),
     "2026-12-09", "2026-12-10", "2026-12-11", "2026-12-07", "2026-12-03"},
    {"New York, a 23-hour day", Calendar(QTimeZone("America/New_York")), at("2026-03-08T12:00:00-04:00"),
     at("2026-03-02T00:00:00-05:00"), at("2026-03-07T00:00:00-05:00"), at("2026-03-08T00:00:00-05:00"),
     at("2026-03-09T00:00:00-04:00"), "2026-03-07", "2026-03-08", "2026-03-09", "2026-03-05", "2026-03-01"},
    {"New York, a 25-hour day", Calendar(QTimeZone("America/New_York")), at("2026-11-01T12:00:00-05:00"),
     at("2026-10-26T00:00:00-04:00"), at("2026-10-31T00:00:00-04:00"), at("2026-11-01T00:00:00-04:00"),
     at("2026-11-02T00:00:00-05:00"), "2026-10-31", "2026-11-01", "2026-11-02", "2026-10-29", "2026-10-25"},
};

const QString kCachePath = QStringLiteral("/h/stats-cache.json");
const QString kProjects = QStringLiteral("/h/projects");
const QString kTranscript = QStringLiteral("/h/projects/-p/t.jsonl");

QByteArray line(const QDateTime& timestamp, int64_t tokens)
{
    return QString::asprintf(R"({"type":"assistant","timestamp":"%s","message":{"model":"m","usage":{"input_tokens":%lld}}})",
                             qPrintable(timestamp.toString(Qt::ISODateWithMs)), static_cast<long long>(tokens))
               .toUtf8()
        + "\n";
}

// Lines at each edge of the two periods; the token counts tell which were taken: today holds
// 4 + 16, the week 1 + 4 + 8 + 16.
QByteArray transcript(const Day& day)
{
    return line(day.weekStart.addMSecs(-1), 2) + line(day.weekStart, 1) + line(day.todayStart.addMSecs(-1), 8)
        + line(day.todayStart, 4) + line(day.tomorrowStart.addMSecs(-1), 16) + line(day.tomorrowStart, 32);
}

struct CacheContent {
    std::optional<QString> lastComputedDate;
    bool modelUsage = true;
    bool dailyTokens = true;
};

// The cache counts 20,000 tokens today and 200,000 three days ago (and more outside the week); its
// model cost 2 dollars for 1,024 tokens, so that every price is exact in binary.
QByteArray cache(const Day& day, const CacheContent& content)
{
    QByteArray json = "{";
    if (content.lastComputedDate) json += "\"lastComputedDate\":\"" + content.lastComputedDate->toUtf8() + "\",";
    if (content.dailyTokens) {
        json += R"("dailyModelTokens":[{"date":")" + day.today.toUtf8() + R"(","tokensByModel":{"m":20000}},)"
            + R"({"date":")" + day.threeDaysAgo.toUtf8() + R"(","tokensByModel":{"m":200000}},)"
            + R"({"date":")" + day.sevenDaysAgo.toUtf8() + R"(","tokensByModel":{"m":9000000}}],)";
    }
    if (content.modelUsage) json += R"("modelUsage":{"m":{"inputTokens":1024,"costUSD":2}},)";
    json += R"("totalSessions":3})";
    return json;
}

constexpr double kPricePerToken = 2.0 / 1024;

UsagePeriodSummary fromCache(int64_t tokens, double price, const std::optional<QDateTime>& lastUpdated)
{
    return {tokens, double(tokens) * price, UsageDataSource::cache, lastUpdated};
}

UsagePeriodSummary fromTranscripts(int64_t tokens, double price)
{
    return {tokens, double(tokens) * price, UsageDataSource::selfAggregated, std::nullopt};
}

const UsagePeriodSummary kUnavailable{};

} // namespace

TEST(UsageSummaryBuilder, ChoosesEachPeriodsSource)
{
    for (const Day& day : kDays) {
        SCOPED_TRACE(day.label);
        ASSERT_TRUE(day.calendar.timeZone().isValid());
        const UsageSummary transcriptsOnly{fromTranscripts(20, 0), fromTranscripts(29, 0), kUnavailable};
        const UsagePeriodSummary allTime = fromCache(1024, kPricePerToken, day.todayStart);
        const struct {
            const char* label;
            std::optional<QByteArray> cacheFile; // none: no file
            UsageSummary expected;
        } cases[] = {
            {"no cache", std::nullopt, transcriptsOnly},
            {"undecodable cache", R"({"lastComputedDate":")" + day.today.toUtf8() + R"(","totalSessions":1.5})",
             transcriptsOnly},
            {"computed today", cache(day, {day.today}),
             {fromCache(20000, kPricePerToken, day.todayStart), fromCache(220000, kPricePerToken, day.todayStart),
              allTime}},
            {"computed yesterday", cache(day, {day.yesterday}),
             {fromTranscripts(20, kPricePerToken), fromTranscripts(29, kPricePerToken),
              fromCache(1024, kPricePerToken, day.yesterdayStart)}},
            {"computed tomorrow", cache(day, {day.tomorrow}),
             {fromTranscripts(20, kPricePerToken), fromCache(220000, kPricePerToken, day.tomorrowStart),
              fromCache(1024, kPricePerToken, day.tomorrowStart)}},
            {"no computation date", cache(day, {std::nullopt}),
             {fromTranscripts(20, kPricePerToken), fromTranscripts(29, kPricePerToken),
              fromCache(1024, kPricePerToken, std::nullopt)}},
            {"computed today, no model usage", cache(day, {day.today, false}),
             {fromCache(20000, 0, day.todayStart), fromCache(220000, 0, day.todayStart), kUnavailable}},
            {"computed yesterday, no model usage", cache(day, {day.yesterday, false}),
             {fromTranscripts(20, 0), fromTranscripts(29, 0), kUnavailable}},
            {"computed today, no daily tokens", cache(day, {day.today, true, false}),
             {fromCache(0, 0, day.todayStart), fromCache(0, 0, day.todayStart), allTime}},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.label);
            auto reader = std::make_shared<test::FakeFileSystemReader>();
            reader->setListing(kProjects, {"-p"});
            reader->setListing(kProjects + "/-p", {"t.jsonl"});
            reader->setFile(kTranscript, transcript(day), day.now);
            if (c.cacheFile) reader->setFile(kCachePath, *c.cacheFile);
            EXPECT_EQ(UsageSummaryBuilder::build({kCachePath, kProjects, reader, day.now, day.calendar}), c.expected);
        }
    }
}

TEST(UsageSummaryBuilder, UnreadableCacheFallsBackToTheTranscripts)
{
    const Day& day = kDays[0];
    auto reader = std::make_shared<test::FakeFileSystemReader>();
    reader->setListing(kProjects, {"-p"});
    reader->setListing(kProjects + "/-p", {"t.jsonl"});
    reader->setFile(kTranscript, transcript(day), day.now);
    reader->setFile(kCachePath, cache(day, {day.today}));
    reader->setError(kCachePath, FileSystemReadingError::Kind::permissionDenied);
    EXPECT_EQ(UsageSummaryBuilder::build({kCachePath, kProjects, reader, day.now, day.calendar}),
              (UsageSummary{fromTranscripts(20, 0), fromTranscripts(29, 0), kUnavailable}));
    EXPECT_EQ(UsageSummary::unavailable(), (UsageSummary{kUnavailable, kUnavailable, kUnavailable}));
}

TEST(UsageSummaryBuilder, ReadsTheAgentsOwnFiles)
{
    // The cache was computed on 9 December; the transcripts were written on 10 December around
    // 15:45 UTC, which is after midnight of 11 December in Tokyo.
    test::TemporaryHome home;
    for (const QString& project : QDir(home.projectsDirectory()).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QDir folder(home.projectsDirectory() + u'/' + project);
        for (const QString& name : folder.entryList(QDir::Files)) {
            setModified(folder.filePath(name), at("2026-12-10T15:50:00Z"));
        }
    }
    const Calendar tokyo(QTimeZone("Asia/Tokyo"));
    const UsageSummary summary =
        UsageSummaryBuilder::build({home.claudeHome() + "/stats-cache.json", home.projectsDirectory(),
                                    std::make_shared<LocalFileSystemReader>(), at("2026-12-11T01:00:00+09:00"), tokyo});
    // The agent recorded a cost of 0, so nothing is priced.
    EXPECT_EQ(summary, (UsageSummary{fromTranscripts(1000, 0), fromTranscripts(1000, 0),
                                     fromCache(1095, 0, at("2026-12-09T00:00:00+09:00"))}));
}
