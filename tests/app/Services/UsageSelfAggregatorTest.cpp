#include "app/Services/UsageSelfAggregator.hpp"

#include "app/Services/LocalFileSystemReader.hpp"
#include "tests/app/AgentHome.hpp"
#include "tests/app/Dates.hpp"
#include "tests/app/Printers.hpp"
#include "tests/app/Services/FakeFileSystemReader.hpp"

#include <gtest/gtest.h>

#include <limits>

using namespace brisvane;
using test::setModified;
using Table = QMap<QString, int64_t>;

namespace {

// The fixture transcripts were written on 2026-12-10 between 15:43 and 15:48 UTC.
const QDateTime kDayStart = QDateTime(QDate(2026, 12, 10), QTime(0, 0), Qt::UTC);
const QDateTime kDayEnd = kDayStart.addDays(1);
const QDateTime kModified = QDateTime(QDate(2026, 12, 10), QTime(15, 50), Qt::UTC);

const char* const kUsage =
    R"({"input_tokens":1,"output_tokens":2,"cache_creation_input_tokens":3,"cache_read_input_tokens":4})";

QByteArray assistant(const QByteArray& timestamp, const QByteArray& usage = kUsage, const QByteArray& model = "\"m\"",
                     const QByteArray& extra = {})
{
    return R"({"type":"assistant","timestamp":)" + timestamp + R"(,"message":{"model":)" + model
        + R"(,"usage":)" + usage + "}" + extra + "}";
}

// Assistant lines at noon of the period's day.
QByteArray withUsage(const QByteArray& usage)
{
    return assistant(R"("2026-12-10T12:00:00Z")", usage);
}

QByteArray withModel(const QByteArray& model)
{
    return assistant(R"("2026-12-10T12:00:00Z")", kUsage, model);
}

// A user line of exactly `bytes` bytes with its line feed (at least 50).
QByteArray userLine(qsizetype bytes)
{
    const QByteArray head = R"({"type":"user","message":{"content":")";
    const QByteArray tail = "\"}}\n";
    return head + QByteArray(bytes - head.size() - tail.size(), 'x') + tail;
}

QByteArray assistantAt(const char* timestamp)
{
    return assistant(QByteArray("\"") + timestamp + "\"");
}

class UsageSelfAggregatorTest : public testing::Test {
protected:
    // Writes a transcript under the projects folder, modified at `modified`.
    QString write(const QString& relativePath, const QByteArray& contents, const QDateTime& modified = kModified)
    {
        const QString path = home.projectsDirectory() + u'/' + relativePath;
        test::writeFile(path, contents);
        setModified(path, modified);
        return path;
    }
    Table aggregate(const QDateTime& start = kDayStart, const QDateTime& end = kDayEnd)
    {
        return UsageSelfAggregator::aggregateTokensByModel(home.projectsDirectory(), reader, start, end);
    }

    test::TemporaryHome home{test::TemporaryHome::Content::empty};
    LocalFileSystemReader reader;
};

} // namespace

TEST_F(UsageSelfAggregatorTest, CountsEachReplyOnceAcrossTranscripts)
{
    test::TemporaryHome fixture;
    const QString projects = fixture.projectsDirectory();
    const QString myProject = projects + "/-home-user-work-my-proj-v2/422f8e9a-0da1-4a54-8388-8912e6a4f6d7.jsonl";
    const QString japanese = projects + "/-home-user-work----/4c5462cb-f206-426f-aca1-f3d8198d8546.jsonl";
    // A resumed conversation starts a new file holding copies of the earlier lines.
    const QString resumed = projects + "/-home-user-work-my-proj-v2/resumed.jsonl";
    test::writeFile(resumed, test::readFile(myProject));
    for (const QString& path : {myProject, japanese, resumed}) setModified(path, kModified);

    // My project: five replies (120+15 or 200+30 tokens each), the second written as a text line and a
    // tool_use line repeating its ids and usage. The Japanese one: one reply without a request id,
    // whose message id the other transcript uses too, for another request.
    EXPECT_EQ(UsageSelfAggregator::aggregateTokensByModel(projects, reader, kDayStart, kDayEnd),
              (Table{{"claude-opus-4-8", 865 + 135}}));
}

TEST_F(UsageSelfAggregatorTest, CountsOnlyQualifyingLines)
{
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    const Table none;
    const struct {
        const char* label;
        QByteArray line;
        Table expected;
    } cases[] = {
        {"whole seconds, Z", assistantAt("2026-12-10T12:00:00Z"), {{"m", 10}}},
        {"milliseconds, +09:00", assistantAt("2026-12-10T21:00:00.123+09:00"), {{"m", 10}}},
        {"the offset moves it to the day before", assistantAt("2026-12-10T08:00:00+09:00"), none},
        {"negative offset", assistantAt("2026-12-09T23:30:00-01:00"), {{"m", 10}}},
        {"microseconds", assistantAt("2026-12-10T12:00:00.123456Z"), {{"m", 10}}},
        {"no time zone", assistantAt("2026-12-10T12:00:00"), none},
        {"no time zone, milliseconds", assistantAt("2026-12-10T12:00:00.500"), none},
        {"offset without colon", assistantAt("2026-12-10T12:00:00+0900"), none},
        {"empty fraction", assistantAt("2026-12-10T12:00:00.Z"), none},
        {"a day that does not exist", assistantAt("2026-02-30T12:00:00Z"), none},
        {"date only", assistantAt("2026-12-10"), none},
        {"timestamp not text", assistant("1796904000"), none},
        {"no timestamp", R"({"type":"assistant","message":{"model":"m","usage":{"input_tokens":1}}})", none},
        {"at the period's start", assistantAt("2026-12-10T00:00:00Z"), {{"m", 10}}},
        {"just before its end", assistantAt("2026-12-10T23:59:59.999Z"), {{"m", 10}}},
        {"at its end", assistantAt("2026-12-11T00:00:00Z"), none},
        {"user line with usage",
         R"({"type":"user","timestamp":"2026-12-10T12:00:00Z","message":{"model":"m","usage":{"input_tokens":1}}})",
         none},
        {"no cache-read count", withUsage(R"({"input_tokens":1,"output_tokens":2,"cache_creation_input_tokens":3})"),
         {{"m", 6}}},
        {"fractional output count",
         withUsage(R"({"input_tokens":1,"output_tokens":12.5,"cache_creation_input_tokens":3,"cache_read_input_tokens":4})"),
         {{"m", 8}}},
        {"count as text", withUsage(R"({"input_tokens":"1","output_tokens":2})"), {{"m", 2}}},
        {"no counts: the model is still there", withUsage("{}"), {{"m", 0}}},
        {"counts saturate", withUsage(R"({"input_tokens":9223372036854775807,"output_tokens":1})"), {{"m", kMax}}},
        {"usage not an object", withUsage("[]"), none},
        {"no model", withModel("null"), none},
        {"model not text", withModel("7"), none},
        {"model used unchanged", withModel(R"("<synthetic>")"), {{"<synthetic>", 10}}},
        {"message not an object", R"({"type":"assistant","timestamp":"2026-12-10T12:00:00Z","message":"m"})", none},
        {"not an object", "[1]", none},
        {"count past 64 bits signed", withUsage(R"({"input_tokens":9223372036854775808,"output_tokens":1})"), {{"m", 1}}},
        {"count past 64 bits unsigned", withUsage(R"({"input_tokens":100000000000000000000,"output_tokens":1})"),
         {{"m", 1}}},
        {"whole count written with a fraction", withUsage(R"({"input_tokens":2.0,"output_tokens":1})"), {{"m", 3}}},
        {"type spelled with an escape",
         R"({"type":"\u0061ssistant","timestamp":"2026-12-10T12:00:00Z","message":{"model":"m","usage":{"input_tokens":1}}})",
         {{"m", 1}}},
        {"broken JSON", assistantAt("2026-12-10T12:00:00Z").chopped(1), none},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        write("-p/t.jsonl", c.line + "\n");
        EXPECT_EQ(aggregate(), c.expected);
    }
}

TEST_F(UsageSelfAggregatorTest, SkipsWhatCannotHoldThePeriod)
{
    const QByteArray line = assistantAt("2026-12-10T12:00:00Z") + "\n";
    write("-a/kept.jsonl", line);
    write("-a/at-start.jsonl", line, kDayStart);
    // Last written before the period: never opened, whatever its lines say.
    write("-a/yesterday.jsonl", line, kDayStart.addMSecs(-1));
    write("-a/at-end.jsonl", line, kDayEnd);
    write("-a/upper.JSONL", line);
    write("-a/backup.jsonl.bak", line);
    write("-a/deeper/nested.jsonl", line);
    write("top-level.jsonl", line);
    QDir().mkpath(home.projectsDirectory() + "/-a/folder.jsonl");
    setModified(home.projectsDirectory() + "/-a/folder.jsonl", kModified);
    EXPECT_EQ(aggregate(), (Table{{"m", 20}}));

    EXPECT_EQ(UsageSelfAggregator::aggregateTokensByModel(home.path() + "/missing", reader, kDayStart, kDayEnd), Table{});
}

// The usage summary reads today and this week in one pass; each must come out as if read alone:
// its own files (by modification time), its own lines and its own once-only replies.
TEST_F(UsageSelfAggregatorTest, SeveralPeriodsInOnePassMatchEachAlone)
{
    const auto reply = [](const char* timestamp, const char* id) {
        return assistant(QByteArray("\"") + timestamp + "\"", kUsage, "\"m\"",
                         QByteArray(R"(,"requestId":"r)") + id + "\"")
            .replace(R"("message":{)", QByteArray(R"("message":{"id":"i)") + id + "\",");
    };
    // Yesterday's file holds a reply that today's file repeats (a resumed conversation).
    write("-a/yesterday.jsonl", reply("2026-12-09T10:00:00Z", "1") + "\n" + assistantAt("2026-12-09T11:00:00Z") + "\n",
          kDayStart.addSecs(-3600));
    write("-a/today.jsonl",
          reply("2026-12-09T10:00:00Z", "1") + "\n" + reply("2026-12-10T09:00:00Z", "2") + "\n"
              + reply("2026-12-10T09:00:00Z", "2") + "\n" + assistantAt("2026-12-10T12:00:00Z") + "\n");
    const UsageSelfAggregator::Period today{kDayStart, kDayEnd};
    const UsageSelfAggregator::Period week{kDayStart.addDays(-6), kDayEnd};

    const QList<Table> both = UsageSelfAggregator::aggregateTokensByModel(home.projectsDirectory(), reader, {today, week});
    ASSERT_EQ(both.size(), 2);
    EXPECT_EQ(both[0], aggregate(today.start, today.end));
    EXPECT_EQ(both[1], aggregate(week.start, week.end));
    EXPECT_EQ(both[0], (Table{{"m", 20}}));
    EXPECT_EQ(both[1], (Table{{"m", 40}}));
    EXPECT_TRUE(UsageSelfAggregator::aggregateTokensByModel(home.projectsDirectory(), reader, {}).isEmpty());
}

TEST_F(UsageSelfAggregatorTest, BadLinesCostOnlyThemselves)
{
    const QByteArray good = assistantAt("2026-12-10T12:00:00Z");
    write("-a/t.jsonl", good + "\n" + "not json\n" + "\n\n"
                            + assistant("\"2026-12-10T12:00:00Z\"", kUsage, "\"broken \xff text\"") + "\n"
                            + "{\"type\":\"assistant\",\n" + good + "\r\n" + good);
    // The CRLF line is still JSON; the last line lacks its line feed and counts too.
    EXPECT_EQ(aggregate(), (Table{{"m", 30}}));
}

TEST_F(UsageSelfAggregatorTest, UnreadablePlacesAreSkipped)
{
    test::FakeFileSystemReader fake;
    const QByteArray line = assistantAt("2026-12-10T12:00:00Z") + "\n";
    fake.setListing("/p", {"a", "b", "c", "file"});
    fake.setListing("/p/a", {"1.jsonl", "2.jsonl"});
    fake.setListing("/p/c", {"4.jsonl"});
    for (const char* path : {"/p/a/1.jsonl", "/p/a/2.jsonl", "/p/c/4.jsonl", "/p/file"}) {
        fake.setFile(path, line, kModified);
    }
    fake.setError("/p/b", FileSystemReadingError::Kind::permissionDenied);
    fake.setError("/p/a/2.jsonl", FileSystemReadingError::Kind::permissionDenied);
    fake.setError("/p/c", FileSystemReadingError::Kind::ioFailed);
    EXPECT_EQ(UsageSelfAggregator::aggregateTokensByModel("/p", fake, kDayStart, kDayEnd), (Table{{"m", 10}}));
    fake.setError("/p", FileSystemReadingError::Kind::permissionDenied);
    EXPECT_EQ(UsageSelfAggregator::aggregateTokensByModel("/p", fake, kDayStart, kDayEnd), Table{});
}

TEST_F(UsageSelfAggregatorTest, StreamsLinesAcrossChunksAndDropsOverlongOnes)
{
    // Filler user lines bring each assistant line across a chunk boundary.
    const QByteArray line = assistantAt("2026-12-10T12:00:00Z");
    QByteArray transcript;
    int assistantLines = 0;
    for (int64_t boundary = UsageSelfAggregator::kChunkBytes; boundary <= 3 * UsageSelfAggregator::kChunkBytes;
         boundary += UsageSelfAggregator::kChunkBytes) {
        const qsizetype target = boundary - line.size() / 2;
        while (transcript.size() < target) {
            const qsizetype remaining = target - transcript.size();
            transcript += userLine(remaining >= 1050 ? 1000 : remaining);
        }
        ASSERT_EQ(transcript.size(), target);
        transcript += line + "\n";
        ++assistantLines;
    }
    write("-a/long.jsonl", transcript);
    EXPECT_EQ(aggregate(), (Table{{"m", 10 * assistantLines}}));

    // Lines beyond the bound are dropped, inside a chunk or across several; the next line counts.
    const QByteArray overlongUser = R"({"type":"user","message":{"content":")"
        + QByteArray(UsageSelfAggregator::kMaxLineBytes, 'y') + "\"}}";
    const QByteArray overlongAssistant =
        assistant("\"2026-12-10T12:00:00Z\"", kUsage, "\"big\"",
                  R"(,"content":")" + QByteArray(UsageSelfAggregator::kMaxLineBytes, 'z') + "\"");
    test::FakeFileSystemReader fake;
    fake.setListing("/p", {"a"});
    fake.setListing("/p/a", {"t.jsonl"});
    fake.setFile("/p/a/t.jsonl", line + "\n" + overlongUser + "\n" + line + "\n" + overlongAssistant + "\n" + line + "\n"
                                     + overlongAssistant,
                 kModified);
    EXPECT_EQ(UsageSelfAggregator::aggregateTokensByModel("/p", fake, kDayStart, kDayEnd), (Table{{"m", 30}}));
}
