#include "app/Services/sessions/SessionRecordParser.hpp"

#include "app/Services/platform/LocalFileSystemReader.hpp"
#include "tests/app/AgentHome.hpp"
#include "tests/app/Printers.hpp"
#include "tests/app/Services/FakeFileSystemReader.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace brisvane;

namespace {

QList<std::optional<int64_t>> pids(const QList<SessionRecord>& records)
{
    QList<std::optional<int64_t>> result;
    for (const auto& record : records) result.append(record.pid);
    return result;
}

} // namespace

TEST(SessionRecordParser, KeepsDecodableSessionFilesInListingOrder)
{
    test::FakeFileSystemReader fileSystem;
    const QString dir = "/home/.claude/sessions";
    fileSystem.setListing(dir, {"3.json", "1.json", "x.JSON", "a.json~", "a.json.tmp", "ajson", "bad.json",
                                "string-pid.json", "unreadable.json", "sdk.json", "2.json"});
    for (const char* name : {"x.JSON", "a.json~", "a.json.tmp", "ajson"}) fileSystem.setFile(dir + "/" + name, R"({"pid":99})");
    fileSystem.setFile(dir + "/3.json", R"({"pid":3,"status":"idle"})");
    fileSystem.setFile(dir + "/1.json", R"({"pid":1})");
    fileSystem.setFile(dir + "/2.json", R"({"pid":2})");
    fileSystem.setFile(dir + "/bad.json", "{");
    fileSystem.setFile(dir + "/string-pid.json", R"({"pid":"4"})");
    fileSystem.setError(dir + "/unreadable.json", FileSystemReadingError::Kind::permissionDenied);
    // Not filtered here: the grid is where non-interactive sessions are left out.
    fileSystem.setFile(dir + "/sdk.json", R"({"pid":5,"kind":"sdk"})");

    EXPECT_EQ(pids(SessionRecordParser::parseAll(dir, fileSystem)), (QList<std::optional<int64_t>>{3, 1, 5, 2}));
    EXPECT_TRUE(SessionRecordParser::parseAll("/nowhere", fileSystem).isEmpty());
}

TEST(SessionRecordParser, ReadsTheAgentsSessionFolder)
{
    const test::TemporaryHome home;
    // A FIFO named like a session file must not stop the scan.
    ASSERT_EQ(::mkfifo(QFile::encodeName(home.sessionsDirectory() + "/1.json").constData(), 0600), 0);
    const LocalFileSystemReader fileSystem;
    QList<std::optional<int64_t>> found = pids(SessionRecordParser::parseAll(home.sessionsDirectory(), fileSystem));
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (QList<std::optional<int64_t>>{17147, 22207}));

    const test::TemporaryHome empty(test::TemporaryHome::Content::empty);
    EXPECT_TRUE(SessionRecordParser::parseAll(empty.sessionsDirectory(), fileSystem).isEmpty());
}
