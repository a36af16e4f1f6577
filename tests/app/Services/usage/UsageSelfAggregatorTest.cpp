#include "app/Services/usage/UsageSelfAggregator.hpp"

#include "app/Models/Calendar.hpp"
#include "app/Services/platform/LocalFileSystemReader.hpp"
#include "tests/app/AgentHome.hpp"
#include "tests/app/Dates.hpp"
#include "tests/app/Printers.hpp"
#include "tests/app/Services/FakeFileSystemReader.hpp"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>

#include <atomic>
#include <filesystem>
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

// ---- Reading on between passes ------------------------------------------------------------------

namespace {

// A reader counting the transcript bytes it hands over.
class CountingReader final : public FileSystemReading {
public:
    explicit CountingReader(const FileSystemReading& inner) : inner_(inner) {}

    Result<QStringList, FileSystemReadingError> contentsOfDirectory(const QString& path) const override
    {
        return inner_.contentsOfDirectory(path);
    }
    Result<QDateTime, FileSystemReadingError> modificationDate(const QString& path) const override
    {
        return inner_.modificationDate(path);
    }
    Result<FileTail, FileSystemReadingError> readTail(const QString& path, int64_t maxBytes) const override
    {
        return inner_.readTail(path, maxBytes);
    }
    Result<QByteArray, FileSystemReadingError> readData(const QString& path) const override
    {
        return inner_.readData(path);
    }
    bool fileExists(const QString& path) const override { return inner_.fileExists(path); }
    Result<FileVersion, FileSystemReadingError> fileVersion(const QString& path) const override
    {
        return inner_.fileVersion(path);
    }
    Result<FileVersion, FileSystemReadingError> readChunks(const QString& path, int64_t chunkBytes,
                                                           const std::function<bool(QByteArrayView)>& consume,
                                                           const ChunkRange& range) const override
    {
        return inner_.readChunks(
            path, chunkBytes,
            [&](QByteArrayView chunk) {
                bytes += chunk.size();
                return consume(chunk);
            },
            range);
    }

    mutable std::atomic<int64_t> bytes = 0;

private:
    const FileSystemReading& inner_;
};

// A reply's line: its ids, and a usage of `tokens` (all input).
QByteArray reply(const char* timestamp, const char* id, int tokens, const char* model = "m")
{
    return QByteArray(R"({"type":"assistant","timestamp":")") + timestamp + R"(","requestId":"r)" + id
        + R"(","message":{"id":"i)" + id + R"(","model":")" + model + R"(","usage":{"input_tokens":)"
        + QByteArray::number(tokens) + "}}}";
}

class TranscriptStoreTest : public UsageSelfAggregatorTest {
protected:
    const UsageSelfAggregator::Period today{kDayStart, kDayEnd};
    const UsageSelfAggregator::Period week{kDayStart.addDays(-6), kDayEnd};

    void append(const QString& relativePath, const QByteArray& bytes, const QDateTime& modified)
    {
        const QString path = home.projectsDirectory() + u'/' + relativePath;
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::Append));
        ASSERT_EQ(file.write(bytes), bytes.size());
        file.close();
        setModified(path, modified);
    }
    QList<Table> whole(const QList<UsageSelfAggregator::Period>& periods)
    {
        return UsageSelfAggregator::aggregateTokensByModel(home.projectsDirectory(), reader, periods);
    }
    QList<Table> pass(const QList<UsageSelfAggregator::Period>& periods, UsageSelfAggregator::PassLimits limits = {})
    {
        return store.aggregate(home.projectsDirectory(), counting, periods, limits);
    }

    CountingReader counting{reader};
    UsageSelfAggregator::TranscriptStore store;
};

} // namespace

// A conversation written line by line, and resumed into a second file part-way: every pass reads
// only what was appended, and sums as a whole reading of the files as they stand.
TEST_F(TranscriptStoreTest, AGrowingTranscriptIsReadOnceAndSumsAsAWholeReading)
{
    const QByteArray r3 = reply("2026-12-10T11:00:00Z", "3", 300);
    // Today's figures after each step.
    const struct {
        const char* label;
        const char* file;
        QByteArray bytes;
        Table today;
    } steps[] = {
        {"a reply", "-a/t.jsonl", reply("2026-12-10T10:00:00Z", "1", 100) + "\n", {{"m", 100}}},
        {"its second block, a line without ids", "-a/t.jsonl",
         reply("2026-12-10T10:00:01Z", "1", 100) + "\n" + assistantAt("2026-12-10T10:01:00Z") + "\n", {{"m", 110}}},
        {"yesterday's reply, for the week alone", "-a/t.jsonl",
         userLine(200) + reply("2026-12-09T23:50:00Z", "2", 20) + "\n", {{"m", 110}}},
        {"a last line without its line feed", "-a/t.jsonl", reply("2026-12-10T10:30:00Z", "4", 4000), {{"m", 4110}}},
        {"its line feed, and half a line", "-a/t.jsonl", "\n" + r3.first(40), {{"m", 4110}}},
        {"the rest of that line", "-a/t.jsonl", r3.sliced(40) + "\n", {{"m", 4410}}},
        {"resumed: copies of earlier replies, one with another usage", "-b/resumed.jsonl",
         reply("2026-12-10T10:00:00Z", "1", 100) + "\n" + reply("2026-12-09T23:50:00Z", "2", 99) + "\n", {{"m", 4410}}},
        {"a reply's blocks on both sides of a quarter hour", "-a/t.jsonl",
         reply("2026-12-10T12:14:59Z", "5", 50) + "\n" + reply("2026-12-10T12:15:01Z", "5", 50) + "\n", {{"m", 4460}}},
        {"the resumed file's last line, unfinished, repeats a reply of the first", "-b/resumed.jsonl", r3,
         {{"m", 4460}}},
        {"a new reply there", "-b/resumed.jsonl", "\n" + reply("2026-12-10T13:00:00Z", "6", 6000, "n") + "\n",
         {{"m", 4460}, {"n", 6000}}},
    };
    int64_t written = 0;
    int step = 0;
    for (const auto& s : steps) {
        SCOPED_TRACE(s.label);
        append(s.file, s.bytes, kModified.addSecs(++step));
        written += s.bytes.size();
        const QList<Table> sums = pass({today, week});
        EXPECT_EQ(sums, whole({today, week}));
        EXPECT_EQ(sums[0], s.today);
        EXPECT_EQ(counting.bytes, written);
    }
    // The listing order decides which file's copy of reply 2 counts in the week.
    const QList<Table> final = pass({today, week});
    EXPECT_TRUE(final[1] == (Table{{"m", 4460 + 20}, {"n", 6000}}) || final[1] == (Table{{"m", 4460 + 99}, {"n", 6000}}))
        << testing::PrintToString(final[1]);
    EXPECT_EQ(counting.bytes, written);
    EXPECT_FALSE(store.hasUnreadBytes());
}

// A reply that one file ends with, unfinished, and another holds: the file listed first counts it,
// and a model that then has no line left is not in the table.
TEST_F(TranscriptStoreTest, AnUnfinishedLastLineCountsInListingOrder)
{
    const struct {
        QStringList listing;
        Table expected;
    } cases[] = {
        {{"ends.jsonl", "holds.jsonl"}, {{"n", 5}}},
        {{"holds.jsonl", "ends.jsonl"}, {{"m", 7}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.listing.join(' ').toStdString());
        test::FakeFileSystemReader fake;
        fake.setListing("/p", {"a"});
        fake.setListing("/p/a", c.listing);
        fake.setFile("/p/a/ends.jsonl", reply("2026-12-10T10:00:00Z", "1", 5, "n"), kModified);
        fake.setFile("/p/a/holds.jsonl", reply("2026-12-10T10:00:00Z", "1", 7) + "\n", kModified);
        UsageSelfAggregator::TranscriptStore fresh;
        EXPECT_EQ(fresh.aggregate("/p", fake, {today}).first(), c.expected);
        EXPECT_EQ(UsageSelfAggregator::aggregateTokensByModel("/p", fake, kDayStart, kDayEnd), c.expected);
    }
}

TEST_F(TranscriptStoreTest, AShrunkReplacedOrRewrittenFileIsReadAgain)
{
    const QByteArray first = reply("2026-12-10T10:00:00Z", "1", 100) + "\n" + reply("2026-12-10T10:05:00Z", "2", 200) + "\n";
    const QByteArray shorter = reply("2026-12-10T10:00:00Z", "1", 7, "n") + "\n";
    // The same length as `first`, other figures.
    const QByteArray sameLength = reply("2026-12-10T10:00:00Z", "1", 300) + "\n" + reply("2026-12-10T10:05:00Z", "2", 400) + "\n";
    const QByteArray longer = first + reply("2026-12-10T10:10:00Z", "3", 1) + "\n";
    const QByteArray reordered = reply("2026-12-10T10:05:00Z", "2", 900, "n") + "\n" + reply("2026-12-10T10:00:00Z", "1", 100) + "\n"
        + reply("2026-12-10T10:10:00Z", "3", 1) + "\n";
    enum class How { truncateInPlace, renameOver };
    const struct {
        const char* label;
        How how;
        QByteArray after;
        Table expected;
    } cases[] = {
        {"shrank in place", How::truncateInPlace, shorter, {{"n", 7}}},
        {"rewritten in place with the same length", How::truncateInPlace, sameLength, {{"m", 700}}},
        {"replaced by a shorter file", How::renameOver, shorter, {{"n", 7}}},
        {"replaced by one of the same length", How::renameOver, sameLength, {{"m", 700}}},
        // Longer than what was read: reading on from the old end would miss the new start.
        {"replaced by a longer file", How::renameOver, reordered, {{"m", 101}, {"n", 900}}},
        {"grown", How::truncateInPlace, longer, {{"m", 301}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const QString path = write("-a/t.jsonl", first, kModified);
        ASSERT_EQ(pass({today}).first(), (Table{{"m", 300}}));
        if (c.how == How::truncateInPlace) {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::ReadWrite | QIODevice::Truncate));
            file.write(c.after);
        } else {
            write("-a/new", c.after);
            ASSERT_TRUE(std::filesystem::remove(QFile::encodeName(path).toStdString()));
            ASSERT_TRUE(QFile::rename(home.projectsDirectory() + "/-a/new", path));
        }
        setModified(path, kModified.addSecs(1));
        EXPECT_EQ(pass({today}).first(), c.expected);
        EXPECT_EQ(whole({today}).first(), c.expected);
    }
}

// Today and the week move at midnight while the store keeps what it read: in a zone whose days
// start at a quarter hour (+05:45), and for a period not on quarter hours at all.
TEST_F(TranscriptStoreTest, TodayAndTheWeekMoveAtMidnight)
{
    const Calendar calendar(QTimeZone(QByteArrayLiteral("Asia/Kathmandu")));
    ASSERT_TRUE(calendar.timeZone().isValid());
    const auto periods = [&](const QDateTime& now) {
        const QDateTime dayStart = calendar.startOfDay(now);
        const QDateTime dayEnd = *calendar.addingDays(1, dayStart);
        return QList<UsageSelfAggregator::Period>{{dayStart, dayEnd}, {*calendar.addingDays(-6, dayStart), dayEnd}};
    };
    // Local midnight of 2026-12-11 is 2026-12-10T18:15:00Z.
    const QDateTime beforeMidnight = test::at("2026-12-10T18:10:00Z");
    const QDateTime afterMidnight = test::at("2026-12-10T18:20:00Z");
    append("-a/t.jsonl",
           reply("2026-12-04T18:14:59Z", "0", 1) + "\n" + reply("2026-12-09T18:15:00Z", "1", 10) + "\n"
               + reply("2026-12-10T18:14:59.999Z", "2", 100) + "\n",
           beforeMidnight);
    append("-a/old.jsonl", reply("2026-12-09T12:00:00Z", "3", 1000) + "\n", test::at("2026-12-09T18:00:00Z"));
    QList<Table> sums = pass(periods(beforeMidnight));
    EXPECT_EQ(sums, whole(periods(beforeMidnight)));
    EXPECT_EQ(sums, (QList<Table>{{{"m", 110}}, {{"m", 1111}}}));

    // Nothing written since: today is empty, and the week lost its first day.
    sums = pass(periods(afterMidnight));
    EXPECT_EQ(sums, whole(periods(afterMidnight)));
    EXPECT_EQ(sums, (QList<Table>{{}, {{"m", 1110}}}));

    append("-a/t.jsonl", reply("2026-12-10T18:15:00Z", "4", 10000) + "\n", afterMidnight);
    sums = pass(periods(afterMidnight));
    EXPECT_EQ(sums, whole(periods(afterMidnight)));
    EXPECT_EQ(sums, (QList<Table>{{{"m", 10000}}, {{"m", 11110}}}));

    // Half a second around one reply: the store sums per millisecond for it, and reads again.
    const QList<UsageSelfAggregator::Period> odd{{test::at("2026-12-10T18:14:59.500Z"), afterMidnight.addSecs(1)}};
    EXPECT_EQ(pass(odd), whole(odd));
    EXPECT_EQ(pass(odd).first(), (Table{{"m", 10100}}));
}

namespace {

QStringList loggedMessages;

void keepAggregatorMessages(QtMsgType, const QMessageLogContext& context, const QString& message)
{
    if (QByteArrayView(context.category) == "brisvane.UsageSelfAggregator") loggedMessages.append(message);
}

} // namespace

// A file beyond the pass's bound is read on by the following passes, each where the last
// stopped, while bytes appended to other files are read at once.
TEST_F(TranscriptStoreTest, AFileBeyondTheBoundIsReadOnAcrossPasses)
{
    constexpr int64_t kBound = 4096;
    QByteArray big;
    for (int i = 0; big.size() < 10 * kBound; ++i)
        big += reply("2026-12-10T09:00:00Z", QByteArray::number(100 + i).constData(), 1) + "\n" + userLine(150);
    // Listed before the small file that grows at every pass.
    test::FakeFileSystemReader fake;
    fake.setListing("/p", {"a"});
    fake.setListing("/p/a", {"big.jsonl", "small.jsonl"});
    fake.setFile("/p/a/big.jsonl", big, kModified);
    fake.setFile("/p/a/small.jsonl", {}, kModified);
    CountingReader counted(fake);
    loggedMessages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(keepAggregatorMessages);
    const auto restore = qScopeGuard([&] { qInstallMessageHandler(previous); });

    int64_t smallTokens = 0;
    int64_t before = 0;
    int passes = 0;
    int64_t lastSum = 0;
    do {
        ++passes;
        ASSERT_LT(passes, 20);
        smallTokens += 1000;
        fake.appendToFile("/p/a/small.jsonl",
                          reply("2026-12-10T10:00:00Z", QByteArray::number(passes).constData(), 1000, "n") + "\n",
                          kModified.addSecs(passes));
        const Table sums = store.aggregate("/p", counted, {today}, {kBound, {}}).first();
        EXPECT_LE(counted.bytes - before, kBound);
        before = counted.bytes;
        // The small file is always current; the big one's figures only grow.
        EXPECT_EQ(sums.value("n"), smallTokens);
        ASSERT_GE(sums.value("m"), lastSum);
        lastSum = sums.value("m");
    } while (store.hasUnreadBytes());
    EXPECT_GE(passes, 10);
    EXPECT_EQ(store.aggregate("/p", counted, {today}), UsageSelfAggregator::aggregateTokensByModel("/p", fake, {today}));
    EXPECT_EQ(counted.bytes, fake.readData("/p/a/big.jsonl")->size() + fake.readData("/p/a/small.jsonl")->size());
    EXPECT_EQ(loggedMessages.size(), 1) << loggedMessages.join('\n').toStdString();
}

// A 1 TiB sparse transcript (no line feed in it): one pass reads at most its bound, the other
// transcripts first, and a stop request ends the pass within a chunk.
TEST_F(TranscriptStoreTest, AHugeTranscriptCostsOnePassItsBoundAndStopsWhenAsked)
{
    append("-a/t.jsonl", reply("2026-12-10T10:00:00Z", "1", 100) + "\n", kModified);
    const QString huge = home.projectsDirectory() + "/-p/t.jsonl";
    QDir().mkpath(home.projectsDirectory() + "/-p");
    {
        QFile file(huge);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(int64_t(1) << 40));
    }
    setModified(huge, kModified);

    EXPECT_EQ(pass({today}).first(), (Table{{"m", 100}}));
    EXPECT_LE(counting.bytes, UsageSelfAggregator::kPassBytes + 1024);
    EXPECT_GT(counting.bytes, UsageSelfAggregator::kPassBytes / 2);
    EXPECT_TRUE(store.hasUnreadBytes());

    // Asked before the first chunk and after each; the stop comes after the second.
    const int64_t before = counting.bytes;
    int asked = 0;
    EXPECT_EQ(pass({today}, {UsageSelfAggregator::kPassBytes, [&] { return ++asked > 2; }}).first(), (Table{{"m", 100}}));
    EXPECT_EQ(counting.bytes - before, 2 * UsageSelfAggregator::kChunkBytes);
    EXPECT_TRUE(store.hasUnreadBytes());
}
