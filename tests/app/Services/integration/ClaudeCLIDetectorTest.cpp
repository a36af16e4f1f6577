#include "app/Services/integration/ClaudeCLIDetector.hpp"
#include "app/Services/integration/ClaudeHomeAccessChecker.hpp"

#include "app/Services/platform/LocalFileSystemReader.hpp"
#include "app/Services/platform/LocalPathExistenceChecker.hpp"
#include "tests/app/AgentHome.hpp"
#include "tests/app/HookPrinters.hpp"
#include "tests/app/Printers.hpp"
#include "tests/app/Services/FakeFileSystemReader.hpp"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace brisvane;

TEST(ClaudeCLIDetectorTest, SearchesThePathThenTheUsualPlaces)
{
    const QStringList fixed{"/h/.claude/local", "/h/.local/bin", "/h/.npm-global/bin", "/usr/local/bin", "/opt/homebrew/bin"};
    const struct {
        std::optional<QString> path;
        QStringList expected;
    } cases[] = {
        {std::nullopt, fixed},
        {QString(), fixed},
        {"/usr/local/bin::/opt/homebrew/bin", {"/usr/local/bin", "/opt/homebrew/bin", "/h/.claude/local", "/h/.local/bin", "/h/.npm-global/bin"}},
        // Nothing is normalised.
        {"/usr/local/bin/:/bin", QStringList{"/usr/local/bin/", "/bin"} + fixed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.value_or("(absent)").toStdString());
        EXPECT_EQ(ClaudeCLIDetector::searchDirectories(c.path, "/h"), c.expected);
    }
}

TEST(ClaudeCLIDetectorTest, TakesTheFirstCommandFound)
{
    QStringList asked;
    const auto existing = [&](QStringList present) {
        return [&asked, present](const QString& path) {
            asked.append(path);
            return present.contains(path);
        };
    };
    EXPECT_EQ(ClaudeCLIDetector::detect("/opt/bin", "/h", existing({"/h/.claude/local/claude", "/opt/bin/claude"})),
              (ClaudeCLIDetectionResult{true, "/opt/bin/claude"}));
    EXPECT_EQ(asked, QStringList{"/opt/bin/claude"});
    EXPECT_EQ(ClaudeCLIDetector::detect(std::nullopt, "/h", existing({})), (ClaudeCLIDetectionResult{false, std::nullopt}));

    // On the real disk, a folder named "claude" counts and the executable bit is not looked at.
    QTemporaryDir home;
    QDir(home.path()).mkpath(".local/bin/claude");
    QProcessEnvironment environment;
    environment.insert("PATH", home.path() + "/missing");
    const QString expected = home.path() + "/.local/bin/claude";
    EXPECT_EQ(ClaudeCLIDetector::detectCurrentEnvironment(LocalPathExistenceChecker(), environment, home.path()),
              (ClaudeCLIDetectionResult{true, expected}));
    EXPECT_EQ(ClaudeCLIDetector::officialInstallURL().path(), "/en/docs/claude-code/setup");
}

TEST(ClaudeHomeAccessCheckerTest, TellsARefusalFromAnAbsence)
{
    using Kind = FileSystemReadingError::Kind;
    const struct {
        std::optional<Kind> error; // none: the folder lists
        ClaudeHomeAccessStatus expected;
    } cases[] = {
        {std::nullopt, ClaudeHomeAccessStatus::accessible},
        {Kind::permissionDenied, ClaudeHomeAccessStatus::permissionDenied},
        {Kind::fileNotFound, ClaudeHomeAccessStatus::unknown},
        {Kind::ioFailed, ClaudeHomeAccessStatus::unknown},
    };
    for (const auto& c : cases) {
        test::FakeFileSystemReader reader;
        reader.setListing("/h/.claude", {});
        if (c.error) reader.setError("/h/.claude", *c.error);
        EXPECT_EQ(ClaudeHomeAccessChecker::currentStatus("/h/.claude", reader), c.expected);
    }

    const test::TemporaryHome home(test::TemporaryHome::Content::empty);
    const LocalFileSystemReader local;
    EXPECT_EQ(ClaudeHomeAccessChecker::currentStatus(home.sessionsDirectory(), local), ClaudeHomeAccessStatus::accessible);
    EXPECT_EQ(ClaudeHomeAccessChecker::currentStatus(home.path() + "/missing", local), ClaudeHomeAccessStatus::unknown);
}
