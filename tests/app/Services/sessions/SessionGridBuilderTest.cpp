#include "app/Services/sessions/SessionGridBuilder.hpp"

#include "app/Services/platform/LocalFileSystemReader.hpp"
#include "tests/app/AgentHome.hpp"
#include "tests/app/Printers.hpp"
#include "tests/app/Services/FakeFileSystemReader.hpp"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace brisvane;

namespace {

const QString kUnknownModel = QString::fromUtf8("不明");
const QString kUnknownProject = QString::fromUtf8("不明なプロジェクト");
const QDateTime kNow = QDateTime::fromMSecsSinceEpoch(1'796'917'700'000, Qt::UTC);

QByteArray sessionFile(const QJsonObject& fields)
{
    return QJsonDocument(fields).toJson(QJsonDocument::Compact);
}

// The real reader, noting the tail sizes asked for.
class TailRecordingReader final : public FileSystemReading {
public:
    Result<QStringList, FileSystemReadingError> contentsOfDirectory(const QString& path) const override
    {
        return local.contentsOfDirectory(path);
    }
    Result<QDateTime, FileSystemReadingError> modificationDate(const QString& path) const override
    {
        return local.modificationDate(path);
    }
    Result<FileTail, FileSystemReadingError> readTail(const QString& path, int64_t maxBytes) const override
    {
        tails[QFileInfo(path).completeBaseName()].append(maxBytes);
        return local.readTail(path, maxBytes);
    }
    Result<QByteArray, FileSystemReadingError> readData(const QString& path) const override
    {
        return local.readData(path);
    }
    bool fileExists(const QString& path) const override { return local.fileExists(path); }

    LocalFileSystemReader local;
    mutable QMap<QString, QList<int64_t>> tails;
};

class SessionGridBuilderTest : public testing::Test {
protected:
    SessionGridBuildResult build(const QMap<QString, SessionTile>& known, const QDateTime& now,
                                 double retention = SessionGridBuildParameters::kTerminatedRetention)
    {
        return SessionGridBuilder::build({home.sessionsDirectory(), home.claudeHome(), reader, known, now, retention});
    }
    void writeSession(const QString& id, const QJsonObject& fields)
    {
        test::writeFile(home.sessionsDirectory() + u'/' + id + ".json", sessionFile(fields));
    }
    void removeSession(const QString& id) { QFile::remove(home.sessionsDirectory() + u'/' + id + ".json"); }

    test::TemporaryHome home{test::TemporaryHome::Content::empty};
    std::shared_ptr<TailRecordingReader> reader = std::make_shared<TailRecordingReader>();
};

// A transcript of Japanese user lines with one assistant line, `bytesAfter` bytes from the end,
// shifted so that both tail cuts (64 KiB and 512 KiB from the end) fall inside a character.
QByteArray japaneseTranscript(const char* model, qsizetype bytesAfter)
{
    const QByteArray user = R"({"type":"user","message":{"content":")" + QString(1000, QChar(0x3042)).toUtf8() + "\"}}\n";
    const QByteArray answer = QByteArray(R"({"type":"assistant","message":{"model":")") + model
        + R"(","content":[{"type":"text","text":"日本語の答え"}]}})" "\n";
    QByteArray body;
    while (body.size() < 600 * 1024) body += user;
    body += answer;
    QByteArray after;
    while (after.size() < bytesAfter) after += user;
    body += after;
    auto isContinuation = [](char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; };
    for (int shift = 0;; ++shift) {
        const QByteArray transcript = body + R"({"type":"last-prompt","text":")" + QByteArray(shift, 'x') + "\"}\n";
        if (isContinuation(transcript[transcript.size() - 64 * 1024])
            && isContinuation(transcript[transcript.size() - 512 * 1024])) {
            return transcript;
        }
    }
}

} // namespace

TEST_F(SessionGridBuilderTest, BuildsTilesFromTheAgentsFiles)
{
    const test::TemporaryHome fixture;
    const auto result = SessionGridBuilder::build({fixture.sessionsDirectory(), fixture.claudeHome(), reader, {}, kNow});
    const QMap<QString, SessionTile> expected{
        {"22207",
         {"22207", SessionState::waiting("permission prompt"), {"my_proj.v2", "my-proj-v2-74", false}, "claude-opus-4-8",
          std::nullopt}},
        // The transcript's folder is "-home-user-work----": one "-" per character of the name.
        {"17147",
         {"17147", SessionState::idle(), {QString::fromUtf8("日本語"), "claude-a0", false}, "claude-opus-4-8", std::nullopt}},
    };
    EXPECT_EQ(result, (SessionGridBuildResult{expected, false}));
    // Small transcripts are read once.
    EXPECT_EQ(reader->tails.value("4c5462cb-f206-426f-aca1-f3d8198d8546"), QList<int64_t>{64 * 1024});
}

TEST_F(SessionGridBuilderTest, KeepsVanishedSessionsForTheRetentionTime)
{
    writeSession("100", {{"pid", 100}, {"status", "busy"}, {"cwd", "/w/app"}});
    auto live = build({}, kNow).tiles;
    ASSERT_EQ(live.value("100").state, SessionState::busy());

    removeSession("100");
    const auto gone = build(live, kNow.addSecs(5)).tiles;
    SessionTile terminated = live.value("100");
    terminated.state = SessionState::terminated();
    terminated.terminatedAt = kNow.addSecs(5);
    EXPECT_EQ(gone, (QMap<QString, SessionTile>{{"100", terminated}}));

    // Terminated tiles keep their time; they go when the retention is up, strictly.
    EXPECT_EQ(build(gone, kNow.addSecs(5 + 299)).tiles, gone);
    EXPECT_TRUE(build(gone, kNow.addSecs(5 + 300)).tiles.isEmpty());
    EXPECT_TRUE(build(live, kNow, 0).tiles.isEmpty());

    // A session whose file comes back is live again.
    writeSession("100", {{"pid", 100}, {"status", "idle"}, {"cwd", "/w/app"}});
    const SessionTile back = build(gone, kNow.addSecs(10)).tiles.value("100");
    EXPECT_EQ(back.state, SessionState::idle());
    EXPECT_EQ(back.terminatedAt, std::nullopt);
}

TEST_F(SessionGridBuilderTest, ShowsUnreadableSessionsAndSkipsOtherKinds)
{
    writeSession("a", {{"status", "busy"}, {"cwd", "/w/alpha"}});
    test::writeFile(home.sessionsDirectory() + "/b.json", "{not json");
    ASSERT_EQ(::mkfifo(QFile::encodeName(home.sessionsDirectory() + "/fifo.json").constData(), 0600), 0);
    writeSession("sdk", {{"kind", "sdk"}, {"status", "busy"}, {"cwd", "/w/sdk"}});
    writeSession("nokind", {{"status", "idle"}, {"cwd", "/w/plain"}});
    test::writeFile(home.sessionsDirectory() + "/c.json.tmp", "{}");
    const SessionTile knownSdk{"sdk", SessionState::busy(), {"sdk", std::nullopt, false}, "m", std::nullopt};

    const auto result = build({{"sdk", knownSdk}}, kNow);
    EXPECT_FALSE(result.directoryListingFailed);
    EXPECT_EQ(result.tiles.keys(), QStringList({"a", "b", "fifo", "nokind", "sdk"}));
    EXPECT_EQ(result.tiles.value("a").state, SessionState::busy());
    const SessionTile unreadable{"b", SessionState::unknown(), {kUnknownProject, std::nullopt, true}, kUnknownModel,
                                 std::nullopt};
    EXPECT_EQ(result.tiles.value("b"), unreadable);
    EXPECT_EQ(result.tiles.value("fifo").state, SessionState::unknown());
    // A session that turns out not to be interactive is no longer one of the grid's.
    EXPECT_EQ(result.tiles.value("sdk").state, SessionState::terminated());
    EXPECT_EQ(result.tiles.value("nokind").state, SessionState::idle());
}

TEST_F(SessionGridBuilderTest, ReportsListingFailuresWithoutEndingSessions)
{
    const QString sessions = "/h/.claude/sessions";
    const SessionTile live{"7", SessionState::busy(), {"app", std::nullopt, false}, "m", std::nullopt};
    const SessionTile ended{"8", SessionState::terminated(), {"old", std::nullopt, false}, "m", kNow.addSecs(-10)};
    const QMap<QString, SessionTile> known{{"7", live}, {"8", ended}};
    using Kind = FileSystemReadingError::Kind;
    for (const Kind kind : {Kind::permissionDenied, Kind::ioFailed}) {
        SCOPED_TRACE(static_cast<int>(kind));
        auto fake = std::make_shared<test::FakeFileSystemReader>();
        fake->setError(sessions, kind);
        const auto result = SessionGridBuilder::build({sessions, "/h/.claude", fake, known, kNow});
        EXPECT_EQ(result, (SessionGridBuildResult{known, true}));
    }

    // A missing folder lists as empty, and no failure: its sessions have ended.
    QDir(home.sessionsDirectory()).removeRecursively();
    const auto result = build(known, kNow);
    EXPECT_FALSE(result.directoryListingFailed);
    EXPECT_EQ(result.tiles.value("7").state, SessionState::terminated());
    EXPECT_EQ(result.tiles.value("7").terminatedAt, kNow);
    EXPECT_EQ(result.tiles.value("8"), ended);
}

TEST_F(SessionGridBuilderTest, ReadsTheModelFromTheTranscriptsTail)
{
    auto addSession = [&](const QString& id, const QString& cwd, const QByteArray& transcript) {
        writeSession(id, {{"status", "idle"}, {"cwd", cwd}, {"sessionId", "s-" + id}});
        if (transcript.isEmpty()) return;
        const QString folder = home.projectsDirectory() + u'/' + QString(cwd).replace(QRegularExpression("[^A-Za-z0-9]"), "-");
        test::writeFile(folder + "/s-" + id + ".jsonl", transcript);
    };
    addSession("last", QString::fromUtf8("/w/日本語 project"), japaneseTranscript("claude-last", 0));
    addSession("deep", "/w/deep", japaneseTranscript("claude-deep", 100 * 1024));
    addSession("tooDeep", "/w/too.deep", japaneseTranscript("claude-too-deep", 520 * 1024));
    addSession("space", "/w/my app", R"({"type":"assistant","message":{"model":"claude-space"}})" "\n");
    addSession("noTranscript", "/w/none", {});
    writeSession("noSessionId", {{"status", "idle"}, {"cwd", "/w/space"}});

    const auto tiles = build({}, kNow).tiles;
    const struct {
        const char* id;
        QString model;
        QList<int64_t> tails;
    } cases[] = {
        {"last", "claude-last", {64 * 1024}},
        {"deep", "claude-deep", {64 * 1024, 512 * 1024}},
        {"tooDeep", kUnknownModel, {64 * 1024, 512 * 1024}},
        {"space", "claude-space", {64 * 1024}},
        {"noTranscript", kUnknownModel, {}},
        {"noSessionId", kUnknownModel, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(tiles.value(c.id).modelName, c.model);
        EXPECT_EQ(reader->tails.value(QString("s-") + c.id), c.tails);
    }
}

TEST(SessionGridBuilder, SortsByPrimaryNameThenId)
{
    auto tile = [](const QString& id, const QString& primary) {
        return SessionTile{id, SessionState::idle(), {primary, std::nullopt, false}, "m", std::nullopt};
    };
    const QString composed = QString::fromUtf8("\xC3\xA9"); // é
    const QString decomposed = QString::fromUtf8("e\xCC\x81");
    const QMap<QString, SessionTile> tiles{
        {"b", tile("b", "same")},
        {"a", tile("a", "same")},
        {"z", tile("z", "Zeta")},
        {"y", tile("y", "alpha")},
        // By scalar value U+FF21 comes before U+1F600, though its UTF-16 unit is the larger.
        {"emoji", tile("emoji", QString::fromUtf8("😀"))},
        {"fullwidth", tile("fullwidth", QString::fromUtf8("Ａ"))},
        // Canonically equal names tie, and the id decides.
        {"e2", tile("e2", composed)},
        {"e1", tile("e1", decomposed)},
    };
    QStringList order;
    for (const SessionTile& t : SessionGridBuilder::sortedTiles(tiles)) order.append(t.id);
    EXPECT_EQ(order, QStringList({"z", "y", "a", "b", "e1", "e2", "fullwidth", "emoji"}));
}
