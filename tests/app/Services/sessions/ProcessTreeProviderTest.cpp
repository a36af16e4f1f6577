#include "app/Services/sessions/ProcessTreeProvider.hpp"
#include "app/Services/sessions/ShellCwdReader.hpp"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace brisvane;

TEST(ProcessTreeProvider, ParsesThePsListing)
{
    struct Case {
        const char* name;
        QString output;
        QHash<int32_t, int32_t> expected;
    };
    const Case cases[] = {
        {"leading and repeated spaces", "    1     0\n  123 1\n", {{1, 0}, {123, 1}}},
        {"three numbers, a word, a tab, a fraction: skipped",
         "1 2 3\n  7 init\n8\t1\n9 1.5\n10 1\n", {{10, 1}}},
        {"beyond 32 bits: skipped", "2147483648 1\n2147483647 1\n", {{2147483647, 1}}},
        {"a later line replaces an earlier one", "5 1\n5 2\n", {{5, 2}}},
        {"empty", "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ProcessTreeProvider::parse(c.output).parentByPid, c.expected);
    }
}

TEST(ProcessTreeProvider, ReadsTheParentFromAStatLine)
{
    struct Case {
        const char* name;
        QByteArray stat;
        std::optional<int32_t> parent;
    };
    const Case cases[] = {
        {"plain", "1234 (bash) S 1200 1234 1234 34816 1250 4194560 ...", 1200},
        {"a name with spaces and parentheses", "77 (a) b (c)) R 5 77 77 0 -1", 5},
        {"a name that looks like fields", "78 (x) S 9) S 6 1", 6},
        {"cut short", "79 (x) S", std::nullopt},
        {"no name", "80 S 1", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ProcessTreeProvider::parentPid(c.stat), c.parent);
    }
}

TEST(ProcessTreeProvider, ReadsTheLiveProcessTable)
{
    // A direct child (QProcess may fork through a helper).
    pid_t child = 0;
    char* const argv[] = {const_cast<char*>("sleep"), const_cast<char*>("30"), nullptr};
    ASSERT_EQ(posix_spawn(&child, "/bin/sleep", nullptr, nullptr, argv, environ), 0);
    const ProcessTreeFetchResult result = ProcessTreeProvider::currentSnapshotResult();
    // Not yet reaped, so the pid is still ours to signal.
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);

    EXPECT_FALSE(result.psFailed);
    EXPECT_EQ(result.snapshot.parentByPid.value(getpid(), -1), getppid());
    EXPECT_EQ(result.snapshot.parentByPid.value(child, -1), getpid());
}

TEST(ShellCwdReader, ParsesTheLsofFields)
{
    struct Case {
        const char* name;
        QString output;
        std::optional<QString> path;
    };
    const Case cases[] = {
        {"the name field", "p123\nfcwd\nn/Users/me/proj\n", QStringLiteral("/Users/me/proj")},
        {"spaces inside are kept", "p1\nn/a b /c \n", QStringLiteral("/a b /c ")},
        {"an empty name ends the search", "p1\nn\nn/later\n", std::nullopt},
        {"no name field: the process is gone", "p123\n", std::nullopt},
        {"nothing", "", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ShellCwdReader::parse(c.output), c.path);
    }
}

TEST(ShellCwdReader, ReadsTheCurrentFolderOfALiveProcess)
{
    EXPECT_EQ(ShellCwdReader::currentWorkingDirectory(getpid()), QDir::currentPath());
    EXPECT_EQ(ShellCwdReader::currentWorkingDirectory(0), std::nullopt);
    EXPECT_EQ(ShellCwdReader::currentWorkingDirectory(-5), std::nullopt);

    // A process whose folder is removed under it has no usable folder.
    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/with space");
    ASSERT_TRUE(QDir().mkpath(folder));
    QProcess child;
    child.setWorkingDirectory(folder);
    child.start("/bin/sleep", {"30"});
    ASSERT_TRUE(child.waitForStarted());
    const auto pid = static_cast<int32_t>(child.processId());
    EXPECT_EQ(ShellCwdReader::currentWorkingDirectory(pid), folder);
    ASSERT_TRUE(QDir(folder).removeRecursively());
    EXPECT_EQ(ShellCwdReader::currentWorkingDirectory(pid), std::nullopt);
    child.kill();
    child.waitForFinished();
}
