#include "app/Services/voice/ConclusionStore.hpp"

#include "app/Services/platform/LocalFileSystemReader.hpp"
#include "tests/app/AgentHome.hpp"
#include "tests/app/AnnouncementPrinters.hpp"
#include "tests/app/Services/FakeFileSystemReader.hpp"

#include <QDir>

#include <gtest/gtest.h>

using namespace brisvane;

namespace {

// Capture times are whole milliseconds away from it, so the ages below are exact.
const QDateTime kNow = QDateTime::fromMSecsSinceEpoch(1'796'917'700'000, Qt::UTC);

QByteArray record(const char* pid, const char* text, double age)
{
    const QString capturedAt = QString::number(kNow.toMSecsSinceEpoch() / 1000.0 - age, 'f', 3);
    return QStringLiteral(R"({"pid":%1,"sessionId":"422f8e9a-0da1-4a54-8388-8912e6a4f6d7","text":%2,"capturedAt":%3})")
        .arg(QString::fromUtf8(pid), QString::fromUtf8(text), capturedAt)
        .toUtf8();
}

AnnouncementConclusion conclusion(int32_t pid, const char* text, double age)
{
    return {pid, QString::fromUtf8(text), kNow.addMSecs(-static_cast<qint64>(age * 1000))};
}

} // namespace

TEST(ConclusionStore, ReadsTheFreshUsableRecordsOfTheFolder)
{
    test::TemporaryHome home(test::TemporaryHome::Content::empty);
    const QString directory = home.claudeHome() + "/brisvane-say";
    const auto write = [&](const char* name, const QByteArray& data) {
        test::writeFile(directory + u'/' + QString::fromUtf8(name), data);
    };
    write("4242.json", record("4242", R"("  テストが通りました\n")", 5));
    write("1001.json", record("1001", R"("kept")", 119.9));
    write("1002.json", record("1002", R"("too old")", 120));
    write("1003.json", record("1003", R"("from the future")", -30));
    write("1004.json", R"({"pid":1004,"text":"no session id","capturedAt":1796917690})");
    write("1005.json", R"({"pid":1005,"text":"no capture time"})");
    write("1006.json", record("1006", R"(" \n\t ")", 5));
    write("1007.json", record("1007", "null", 5));
    write("1008.json", R"({"pid":1008,"capturedAt":1796917690})");
    write("1009.json", record(R"("1009")", R"("pid as a string")", 5));
    write("1010.json", "not json");
    write("1011.json.bak", record("1011", R"("a backup")", 5));
    write("1012.JSON", record("1012", R"("upper-case suffix")", 5));
    write("1013.json", record("2147483648", R"("pid beyond 32 bits")", 5));
    write("1014.json", record("2147483647", R"("the largest pid")", 5));
    write("1016.json", R"({"pid":1016,"text":"beyond any date","capturedAt":1e300})");
    // The name says nothing: the pid is the record's.
    write("named-otherwise.json", record("1015", R"("named otherwise")", 5));
    ASSERT_TRUE(QDir().mkpath(directory + "/folder.json"));

    const auto reader = std::make_shared<LocalFileSystemReader>();
    const QMap<int32_t, AnnouncementConclusion> expected{
        {4242, conclusion(4242, "テストが通りました", 5)},
        {1001, conclusion(1001, "kept", 119.9)},
        {1003, conclusion(1003, "from the future", -30)},
        {1004, conclusion(1004, "no session id", 10)},
        {2147483647, conclusion(2147483647, "the largest pid", 5)},
        {1015, conclusion(1015, "named otherwise", 5)},
    };
    EXPECT_EQ(ConclusionStore::load({directory, reader, kNow}), expected);

    EXPECT_EQ(ConclusionStore::load({home.claudeHome() + "/missing", reader, kNow}),
              (QMap<int32_t, AnnouncementConclusion>{}));
}

TEST(ConclusionStore, OfTwoRecordsForOneProcessTheOneListedLaterWins)
{
    const QString directory = QStringLiteral("/home/user/.claude/brisvane-say");
    const auto reader = std::make_shared<test::FakeFileSystemReader>();
    reader->setFile(directory + "/a.json", record("4242", R"("from a")", 5));
    reader->setFile(directory + "/b.json", record("4242", R"("from b")", 50));
    // Unreadable entries are left out, not fatal.
    reader->setError(directory + "/c.json", FileSystemReadingError::Kind::permissionDenied);

    reader->setListing(directory, {"a.json", "c.json", "b.json"});
    EXPECT_EQ(ConclusionStore::load({directory, reader, kNow}).value(4242), conclusion(4242, "from b", 50));
    reader->setListing(directory, {"b.json", "c.json", "a.json"});
    EXPECT_EQ(ConclusionStore::load({directory, reader, kNow}).value(4242), conclusion(4242, "from a", 5));

    reader->setError(directory, FileSystemReadingError::Kind::permissionDenied);
    EXPECT_TRUE(ConclusionStore::load({directory, reader, kNow}).isEmpty());
}
