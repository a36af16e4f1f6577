#include "app/ViewModels/TerminalProcessController.hpp"

#include "app/App/CompositionRoot.hpp"
#include "app/Services/platform/LocalFileSystemReader.hpp"
#include "app/Services/sessions/ProcessTreeProvider.hpp"
#include "app/Services/sessions/SessionGridBuilder.hpp"
#include "app/Services/sessions/ShellCwdReader.hpp"
#include "app/Services/tiles/TerminalSessionRegistry.hpp"
#include "app/Services/tiles/TerminalTileReconciler.hpp"
#include "tests/app/AgentHome.hpp"
#include "tests/app/TerminalTilePrinters.hpp"
#include "tests/app/TerminalScreenText.hpp"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <string>

using namespace brisvane;

namespace {

constexpr int kPatienceMs = 10'000;

class TerminalProcessControllerTest : public testing::Test {
protected:
    void TearDown() override
    {
        if (controller.session().process().running()) controller.terminateShell();
    }

    // A small environment: the shell's profile may add to it, but nothing of the test run's.
    QMap<QString, QString> environment() const
    {
        return {{"PATH", "/usr/bin:/bin"}, {"HOME", folder.path()}, {"TERM", "dumb"}, {"CLAUDECODE", "1"},
                {"CLAUDE_CODE_SSE_PORT", "1"}, {"PS1", "$ "}};
    }

    std::string screenText() { return testing_support::screenText(controller.session().terminal()); }
    bool waitForScreen(const std::string& needle)
    {
        return QTest::qWaitFor([&] { return screenText().find(needle) != std::string::npos; }, kPatienceMs);
    }
    bool waitForExit()
    {
        return QTest::qWaitFor([&] { return controller.hasShellExited(); }, kPatienceMs);
    }
    void type(std::string_view text) { controller.session().send(text); }

    QTemporaryDir folder;
    TerminalProcessController controller{QUuid::createUuid(), folder.path()};
};

} // namespace

TEST_F(TerminalProcessControllerTest, StartsALoginShellOnceInTheFolderWithTheAgentsVariablesRemoved)
{
    ASSERT_TRUE(folder.isValid());
    EXPECT_EQ(controller.session().processDelegate, &controller);
    EXPECT_EQ(controller.session().view(), nullptr) << "a controller makes no widget";
    EXPECT_EQ(controller.launchedAt(), std::nullopt);

    ASSERT_TRUE(controller.start("/bin/sh", environment(), folder.path()).ok());
    ASSERT_TRUE(controller.launchedAt().has_value());
    const std::optional<int32_t> shell = controller.runningShellPid();
    ASSERT_TRUE(shell.has_value());
    EXPECT_EQ(ShellCwdReader::currentWorkingDirectory(*shell), folder.path());

    // Started once: a second start changes nothing and still succeeds.
    const QDateTime launched = *controller.launchedAt();
    EXPECT_TRUE(controller.start("/bin/sh", environment(), QDir::rootPath()).ok());
    EXPECT_EQ(controller.runningShellPid(), shell);
    EXPECT_EQ(controller.launchedAt(), launched);

    type("echo \"[$TERM|${CLAUDECODE-unset}|${CLAUDE_CODE_SSE_PORT-unset}|$0]\"; pwd; exit\r");
    EXPECT_TRUE(waitForScreen("[xterm-256color|unset|unset|"));
    EXPECT_TRUE(waitForScreen("\n" + folder.path().toStdString() + "\n")) << screenText();
    ASSERT_TRUE(waitForExit());
    EXPECT_EQ(controller.runningShellPid(), std::nullopt);

    // Nothing starts again after the exit either.
    EXPECT_TRUE(controller.start("/bin/sh", environment(), folder.path()).ok());
    EXPECT_FALSE(controller.session().process().running());
}

TEST_F(TerminalProcessControllerTest, StartsInTheGivenStartFolderByDefault)
{
    ASSERT_TRUE(controller.start("/bin/sh", environment(), std::nullopt).ok());
    EXPECT_EQ(ShellCwdReader::currentWorkingDirectory(*controller.runningShellPid()), folder.path());
}

TEST_F(TerminalProcessControllerTest, TheApplicationsControllersStartInTheHomeFolderByDefault)
{
    const QByteArray savedHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(folder.path()));
    const std::unique_ptr<TerminalProcessController> made =
        agentHomeParameters(folder.path() + "/.claude").terminalControllerFactory(QUuid::createUuid());
    qputenv("HOME", savedHome);
    ASSERT_TRUE(made->start("/bin/sh", environment(), std::nullopt).ok());
    EXPECT_EQ(ShellCwdReader::currentWorkingDirectory(*made->runningShellPid()), folder.path());
    made->terminateShell();
}

TEST_F(TerminalProcessControllerTest, RefusesOnlyFoldersUnderVolumes)
{
    const auto refused = controller.start("/bin/sh", environment(), QStringLiteral("/Volumes/disk/project"));
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error(), (TerminalLaunchError{TerminalLaunchError::Kind::directoryRefused, {}}));
    EXPECT_EQ(controller.launchedAt(), std::nullopt);
    EXPECT_FALSE(controller.session().process().running());

    for (const QString& directory : {QStringLiteral("/Volumesx/a"), QStringLiteral("/Volumes")}) {
        SCOPED_TRACE(directory.toStdString());
        TerminalProcessController other{QUuid::createUuid(), folder.path()};
        EXPECT_TRUE(other.start("/bin/sh", environment(), directory).ok());
        other.terminateShell();
    }
}

TEST_F(TerminalProcessControllerTest, AShellThatCannotStartIsReportedAndMayBeStartedAgain)
{
    const auto failed = controller.start("/nonexistent/shell", environment(), folder.path());
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(failed.error().kind, TerminalLaunchError::Kind::shellNotStarted);
    EXPECT_TRUE(failed.error().detail.startsWith("/nonexistent/shell: ")) << failed.error().detail.toStdString();
    EXPECT_EQ(controller.launchedAt(), std::nullopt);
    // Its child has ended: the tile closes like any tile whose shell exited.
    ASSERT_TRUE(waitForExit());

    ASSERT_TRUE(controller.start("/bin/sh", environment(), folder.path()).ok());
    EXPECT_TRUE(controller.launchedAt().has_value());
    EXPECT_FALSE(controller.hasShellExited());
    EXPECT_TRUE(controller.runningShellPid().has_value());

    controller.terminateShell();
    EXPECT_TRUE(controller.hasShellExited());
    EXPECT_EQ(controller.runningShellPid(), std::nullopt);
}

TEST_F(TerminalProcessControllerTest, AttachesTheAgentRunningInItsShellAndDetachesWhenItEnds)
{
    test::TemporaryHome home(test::TemporaryHome::Content::empty);
    const auto reader = std::make_shared<LocalFileSystemReader>();
    ASSERT_TRUE(controller.start("/bin/sh", environment(), folder.path()).ok());
    const int32_t shell = *controller.runningShellPid();

    // The agent stand-in: a foreground child of the shell.
    type("sleep 30\r");
    int32_t agent = 0;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const ProcessTreeSnapshot tree = ProcessTreeProvider::currentSnapshotResult().snapshot;
            for (auto entry = tree.parentByPid.begin(); entry != tree.parentByPid.end(); ++entry) {
                if (entry.value() != shell) continue;
                QFile comm(QStringLiteral("/proc/%1/comm").arg(entry.key()));
                if (comm.open(QIODevice::ReadOnly) && comm.readAll() == "sleep\n") agent = entry.key();
            }
            return agent != 0;
        },
        kPatienceMs));
    const QString key = QString::number(agent);
    const QString sessionFile = home.sessionsDirectory() + u'/' + key + ".json";
    test::writeFile(sessionFile, QStringLiteral(R"({"pid":%1,"sessionId":"s1","cwd":"%2","kind":"interactive","status":"busy"})")
                                     .arg(key, folder.path())
                                     .toUtf8());

    QMap<QString, SessionTile> statusTiles;
    auto pass = [&](std::optional<int32_t> attachedPid) {
        statusTiles = SessionGridBuilder::build({home.sessionsDirectory(), home.claudeHome(), reader, statusTiles,
                                                 QDateTime::currentDateTimeUtc()})
                          .tiles;
        const ProcessTreeFetchResult tree = ProcessTreeProvider::currentSnapshotResult();
        EXPECT_FALSE(tree.psFailed);
        QMap<QUuid, QString> cwds;
        if (auto cwd = ShellCwdReader::currentWorkingDirectory(shell)) cwds.insert(controller.tileId(), *cwd);
        return TerminalTileReconciler::reconcile(
            {{controller.tileId(), controller.runningShellPid(), attachedPid, controller.hasShellExited()}}, statusTiles,
            TerminalSessionRegistry::readSessionFiles(home.sessionsDirectory(), *reader), tree.snapshot, cwds);
    };

    const auto adopted = pass(std::nullopt);
    ASSERT_EQ(adopted.tiles.size(), 1);
    EXPECT_EQ(adopted.tiles[0].lifecycle, TerminalTileLifecycle::attached(agent));
    EXPECT_EQ(adopted.tiles[0].sessionState, SessionState::busy());
    EXPECT_EQ(adopted.newlyAttachedPids, (QMap<QUuid, int32_t>{{controller.tileId(), agent}}));
    EXPECT_EQ(adopted.attachedSessionKeys, QSet<QString>{key});

    // The agent ends (Ctrl-C through the terminal: no pid is signalled) and its file goes.
    type("\x03");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return ProcessTreeProvider::currentSnapshotResult().snapshot.parentByPid.value(agent) != shell; },
        kPatienceMs));
    ASSERT_TRUE(QFile::remove(sessionFile));

    const auto detached = pass(agent);
    EXPECT_EQ(detached.detachedTileIds, QList<QUuid>{controller.tileId()});
    ASSERT_EQ(detached.tiles.size(), 1);
    EXPECT_EQ(detached.tiles[0].lifecycle, TerminalTileLifecycle::shellOnly());
    EXPECT_EQ(detached.tiles[0].projectName.primary, QDir(folder.path()).dirName());
    EXPECT_TRUE(detached.attachedSessionKeys.isEmpty());

    type("exit\r");
    EXPECT_TRUE(waitForExit());
}
