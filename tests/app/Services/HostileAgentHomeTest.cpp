// Agent homes a broken or hostile program could leave behind: every reader of the refresh and the
// hook installer must skip or report each one, return, and leave the user's files as they were.
#include "app/Services/integration/ClaudeHomeAccessChecker.hpp"
#include "app/Services/integration/HookInstaller.hpp"
#include "app/Services/platform/LocalFileSystemReader.hpp"
#include "app/Services/platform/LocalFileSystemWriter.hpp"
#include "app/Services/sessions/SessionGridBuilder.hpp"
#include "app/Services/sessions/SessionRecordParser.hpp"
#include "app/Services/usage/PlanUsageStore.hpp"
#include "app/Services/usage/UsageSummaryBuilder.hpp"
#include "app/Services/voice/ConclusionStore.hpp"

#include "tests/app/AgentHome.hpp"
#include "tests/app/Services/FakeFileSystemReader.hpp"

#include <QCryptographicHash>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>

#include <cstring>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace brisvane {
namespace {

namespace fs = std::filesystem;
using test::TemporaryHome;

constexpr int64_t kGiB = int64_t(1) << 30;

fs::path native(const QString& path)
{
    return fs::path(QFile::encodeName(path).toStdString());
}

// A sparse file: a GiB of zeros that costs no disk.
void makeHugeFile(const QString& path)
{
    fs::create_directories(native(path).parent_path());
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << path.toStdString();
    ASSERT_EQ(::ftruncate(fd, kGiB), 0);
    ::close(fd);
}

void makeFifo(const QString& path)
{
    fs::create_directories(native(path).parent_path());
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0644), 0) << path.toStdString();
}

void makeSocket(const QString& path)
{
    fs::create_directories(native(path).parent_path());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray encoded = QFile::encodeName(path);
    ASSERT_LT(size_t(encoded.size()), sizeof(address.sun_path));
    std::memcpy(address.sun_path, encoded.constData(), size_t(encoded.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0) << path.toStdString();
    ::close(fd); // the socket file stays, with nobody listening
}

void makeLink(const QString& path, const QString& target)
{
    fs::create_directories(native(path).parent_path());
    fs::create_symlink(native(target), native(path));
}

void write(const QString& path, const QByteArray& data)
{
    test::writeFile(path, data);
}

QByteArray deeplyNested(int levels)
{
    return QByteArray(levels, '[') + QByteArray(levels, ']');
}

// What the user would notice changed: every entry's type, size, time and (for small regular files)
// content, links not followed.
std::map<std::string, std::string> snapshot(const QString& root)
{
    std::map<std::string, std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(native(root))) {
        struct stat info {};
        EXPECT_EQ(::lstat(entry.path().c_str(), &info), 0);
        std::string description = std::to_string(info.st_mode) + ":" + std::to_string(info.st_size) + ":" +
                                  std::to_string(info.st_mtim.tv_sec) + "." + std::to_string(info.st_mtim.tv_nsec);
        if (S_ISREG(info.st_mode) && info.st_size < 1024 * 1024) {
            QFile file(QFile::decodeName(entry.path().c_str()));
            if (file.open(QIODevice::ReadOnly))
                description += ":" + QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex().toStdString();
        }
        entries[entry.path().string()] = description;
    }
    return entries;
}

struct HostileHome {
    const char* name;
    std::function<void(const QString& claudeHome)> make;
    // The settings file itself is hostile: installing must refuse and write nothing.
    bool settingsHostile;
};

const std::vector<HostileHome>& hostileHomes()
{
    static const std::vector<HostileHome> homes{
        {"files of a GiB",
         [](const QString& home) {
             makeHugeFile(home + "/sessions/4242.json");
             makeHugeFile(home + "/stats-cache.json");
             makeHugeFile(home + "/brisvane-usage.json");
             makeHugeFile(home + "/brisvane-say/4242.json");
             makeHugeFile(home + "/projects/-p/0b7c2f5e-0000-0000-0000-000000000000.jsonl");
             makeHugeFile(home + "/settings.json");
         },
         true},
        {"FIFOs and sockets named like the agent's files",
         [](const QString& home) {
             makeFifo(home + "/sessions/4242.json");
             makeSocket(home + "/sessions/4243.json");
             makeFifo(home + "/stats-cache.json");
             makeFifo(home + "/brisvane-usage.json");
             makeFifo(home + "/brisvane-say/4242.json");
             makeFifo(home + "/projects/-p/t.jsonl");
             makeFifo(home + "/settings.json");
         },
         true},
        {"symbolic link loops",
         [](const QString& home) {
             makeLink(home + "/sessions/4242.json", home + "/sessions/4242.json");
             makeLink(home + "/sessions/a.json", home + "/sessions/b.json");
             makeLink(home + "/sessions/b.json", home + "/sessions/a.json");
             makeLink(home + "/stats-cache.json", home + "/stats-cache.json");
             makeLink(home + "/brisvane-usage.json", home + "/brisvane-usage.json");
             makeLink(home + "/projects/loop", home + "/projects");
             makeLink(home + "/projects/-p/t.jsonl", home + "/projects/-p/t.jsonl");
             makeLink(home + "/settings.json", home + "/settings.json");
         },
         true},
        {"invalid UTF-8 in names and contents",
         [](const QString& home) {
             const QByteArray bad("\xff\xfe\xc3\x28\xed\xa0\x80", 7);
             write(home + "/sessions/4242.json",
                   "{\"pid\":4242,\"sessionId\":\"" + bad + "\",\"cwd\":\"/tmp/" + bad + "\",\"status\":\"busy\"}");
             write(QFile::decodeName(QFile::encodeName(home + "/sessions/") + bad + ".json"), "{\"pid\":" + bad + "}");
             write(home + "/stats-cache.json", "{\"lastComputedDate\":\"" + bad + "\",\"modelUsage\":{\"" + bad + "\":{}}}");
             write(home + "/brisvane-usage.json", bad);
             write(home + "/brisvane-say/4242.json", "{\"pid\":4242,\"text\":\"" + bad + "\"}");
             write(home + "/projects/-p/t.jsonl", "{\"type\":\"assistant\",\"message\":{\"model\":\"" + bad + "\"}}\n" + bad + "\n");
             write(home + "/settings.json", "{\"model\":\"" + bad + "\"}");
         },
         true},
        {"JSON nested 100,000 levels deep",
         [](const QString& home) {
             const QByteArray deep = deeplyNested(100'000);
             write(home + "/sessions/4242.json", "{\"pid\":4242,\"x\":" + deep + "}");
             write(home + "/stats-cache.json", deep);
             write(home + "/brisvane-usage.json", deep);
             write(home + "/brisvane-say/4242.json", deep);
             write(home + "/projects/-p/t.jsonl", deep + "\n" + deep + "\n");
             write(home + "/settings.json", "{\"hooks\":" + deep + "}");
         },
         true},
        {"session files naming pid 1 and pids out of range",
         [](const QString& home) {
             write(home + "/sessions/1.json", R"({"pid":1,"sessionId":"s1","cwd":"/","status":"busy","kind":"interactive"})");
             write(home + "/sessions/4294967296.json",
                   R"({"pid":4294967296,"sessionId":"s2","cwd":"/","status":"busy","kind":"interactive"})");
             write(home + "/sessions/2147483648.json",
                   R"({"pid":2147483648,"sessionId":"s3","cwd":"/","status":"busy","kind":"interactive"})");
             write(home + "/sessions/-5.json", R"({"pid":-5,"sessionId":"s4","cwd":"/","status":"busy","kind":"interactive"})");
         },
         false},
    };
    return homes;
}

class HostileAgentHomeTest : public ::testing::TestWithParam<size_t> {};

TEST_P(HostileAgentHomeTest, EveryReaderReturnsAndNothingChanges)
{
    const HostileHome& hostile = hostileHomes()[GetParam()];
    TemporaryHome home(TemporaryHome::Content::empty);
    QTemporaryDir support;
    ASSERT_TRUE(support.isValid());
    hostile.make(home.claudeHome());
    const auto before = snapshot(home.path());

    const auto reader = std::make_shared<LocalFileSystemReader>();
    const QDateTime now = QDateTime::currentDateTimeUtc();

    (void)SessionGridBuilder::build({home.sessionsDirectory(), home.claudeHome(), reader, {}, now});
    (void)SessionRecordParser::parseAll(home.sessionsDirectory(), *reader);
    (void)UsageSummaryBuilder::build(
        {home.claudeHome() + "/stats-cache.json", home.projectsDirectory(), reader, now, Calendar::current()});
    (void)PlanUsageStore::load({home.claudeHome() + "/brisvane-usage.json", reader, now});
    (void)ConclusionStore::load({home.claudeHome() + "/brisvane-say", reader, now});
    (void)ClaudeHomeAccessChecker::currentStatus(home.claudeHome(), *reader);

    HookInstaller installer({home.claudeHome() + "/settings.json", support.path() + "/hooks",
                             QStringLiteral(":/hooks"), home.claudeHome()},
                            reader, std::make_shared<LocalFileSystemWriter>(), [] { return QDateTime::currentDateTimeUtc(); });
    const HookInstallationStatus status = installer.currentStatus();
    if (hostile.settingsHostile) {
        EXPECT_FALSE(status.isSettingsReadable) << hostile.name;
        EXPECT_FALSE(installer.install(HookKind::stop).ok()) << hostile.name;
        EXPECT_FALSE(installer.uninstallAll().ok()) << hostile.name;
    }

    EXPECT_EQ(snapshot(home.path()), before) << hostile.name;
}

INSTANTIATE_TEST_SUITE_P(Homes, HostileAgentHomeTest, ::testing::Range<size_t>(0, hostileHomes().size()),
                         [](const auto& info) {
                             std::string name = hostileHomes()[info.param].name;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

// Root reads everything, so refusals come from a reader that refuses: the build says so instead
// of showing an empty dashboard as if all were well.
TEST(HostileAgentHomeRefusals, UnreadableFoldersAreReported)
{
    auto reader = std::make_shared<test::FakeFileSystemReader>();
    for (const char* path : {"/h/.claude", "/h/.claude/sessions", "/h/.claude/projects", "/h/.claude/brisvane-say"})
        reader->setError(path, FileSystemReadingError::Kind::permissionDenied);
    const QDateTime now = QDateTime::currentDateTimeUtc();

    EXPECT_TRUE(SessionGridBuilder::build({"/h/.claude/sessions", "/h/.claude", reader, {}, now}).directoryListingFailed);
    EXPECT_EQ(ClaudeHomeAccessChecker::currentStatus("/h/.claude", *reader), ClaudeHomeAccessStatus::permissionDenied);
    EXPECT_TRUE(ConclusionStore::load({"/h/.claude/brisvane-say", reader, now}).isEmpty());
    EXPECT_TRUE(SessionRecordParser::parseAll("/h/.claude/sessions", *reader).isEmpty());
}

} // namespace
} // namespace brisvane
