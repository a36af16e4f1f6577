#include "app/ViewModels/DashboardViewModel.hpp"

#include "app/Services/tiles/DashboardStores.hpp"
#include "app/ViewModels/TerminalProcessController.hpp"
#include "tests/app/AgentHome.hpp"
#include "tests/app/Printers.hpp"
#include "tests/app/Services/ScopedHomeEnvironment.hpp"
#include "tests/app/TerminalTilePrinters.hpp"
#include "tests/app/ViewModels/DashboardModelHarness.hpp"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace brisvane;
using test::kPatienceMs;
using test::refreshAndWait;

namespace {

// Every tile runs the user's real login shell in a temporary home, whose profile puts a stand-in
// for the agent first on the PATH. The stand-in notes its arguments, writes a busy interactive
// session file named by its own pid, and when told to stop removes the file and ends.
class DashboardTilesTest : public testing::Test {
protected:
    void SetUp() override
    {
        const QString bin = home.path() + "/bin";
        writeExecutable(bin + "/claude", QStringLiteral(R"(#!/bin/sh
printf '%s\n' "$*" >> '%1/claude-arguments'
file='%2/'$$.json
printf '{"pid":%s,"sessionId":"s-%s","cwd":"%s","kind":"interactive","status":"busy"}' $$ $$ "$PWD" >"$file.writing"
mv "$file.writing" "$file"
while [ ! -e '%1/claude-stop' ]; do sleep 0.05; done
rm -f "$file"
)")
                                                .arg(home.path(), home.sessionsDirectory()));
        const QByteArray profile = QStringLiteral("PATH='%1':\"$PATH\"; export PATH\n").arg(bin).toUtf8();
        for (const char* name : {"/.profile", "/.zprofile"}) test::writeFile(home.path() + name, profile);

        model = std::make_unique<DashboardViewModel>(test::modelParameters(home.claudeHome(), preferences, center));
    }

    void TearDown() override
    {
        stopAgents();
        model.reset();
    }

    static void writeExecutable(const QString& path, const QString& text)
    {
        test::writeFile(path, text.toUtf8());
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    void stopAgents() { test::writeFile(home.path() + "/claude-stop", {}); }

    TerminalProcessController& controller(const QUuid& id) { return *model->terminalControllers().at(id); }

    // The session files the stand-ins wrote, by name without ".json".
    QStringList sessionKeys() const
    {
        QStringList keys;
        for (const QString& name : QDir(home.sessionsDirectory()).entryList({"*.json"}, QDir::Files))
            keys << name.chopped(5);
        return keys;
    }

    static bool isGone(int32_t pid) { return !QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid)); }

    QString canonicalHome() const { return QFileInfo(home.path()).canonicalFilePath(); }

    test::TemporaryHome home{test::TemporaryHome::Content::empty};
    test::ScopedHomeEnvironment environment{home.path()};
    std::shared_ptr<InMemoryPreferences> preferences = std::make_shared<InMemoryPreferences>();
    std::shared_ptr<AppNotificationCenter> center =
        std::make_shared<AppNotificationCenter>([] { return QDateTime::currentDateTimeUtc(); });
    std::unique_ptr<DashboardViewModel> model;
};

} // namespace

TEST_F(DashboardTilesTest, ATileAttachesTheAgentStartedInItsShellAndClosesWhenTheShellExits)
{
    const QUuid id = model->createTerminalTile();
    ASSERT_TRUE(test::waitForRefreshes(*model));
    ASSERT_EQ(model->terminalTiles().size(), 1);
    EXPECT_EQ(model->terminalTiles()[0].id, id);
    EXPECT_EQ(model->terminalTiles()[0].lifecycle, TerminalTileLifecycle::shellOnly());
    EXPECT_EQ(model->tileConclusionReadingEnabled().value(id, true), false);
    const std::optional<int32_t> shell = controller(id).runningShellPid();
    ASSERT_TRUE(shell.has_value());
    EXPECT_TRUE(center->activeNotifications().isEmpty());

    // The shell runs in the home folder, and its tile is named after it.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return refreshAndWait(*model) && model->liveShellCwds().value(id) == canonicalHome(); }, kPatienceMs));
    EXPECT_EQ(model->terminalTiles()[0].projectName.primary, QDir(canonicalHome()).dirName());

    controller(id).session().send(std::string_view("claude\r"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return sessionKeys().size() == 1; }, kPatienceMs));
    const QString key = sessionKeys().front();
    const int32_t agent = key.toInt();
    ASSERT_TRUE(refreshAndWait(*model));
    ASSERT_EQ(model->terminalTiles().size(), 1);
    EXPECT_EQ(model->terminalTiles()[0].lifecycle, TerminalTileLifecycle::attached(agent));
    EXPECT_EQ(model->terminalTiles()[0].sessionState, SessionState::busy());
    EXPECT_EQ(model->attachedPids(), (QMap<QUuid, int32_t>{{id, agent}}));
    EXPECT_TRUE(model->knownTiles().contains(key));
    // Shown in its tile, so not among the sessions outside the application.
    EXPECT_TRUE(model->tiles().isEmpty());

    stopAgents();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sessionKeys().isEmpty() && isGone(agent); }, kPatienceMs));
    ASSERT_TRUE(refreshAndWait(*model));
    EXPECT_EQ(model->terminalTiles()[0].lifecycle, TerminalTileLifecycle::shellOnly());
    EXPECT_EQ(model->terminalTiles()[0].sessionState, SessionState::unknown());
    EXPECT_TRUE(model->attachedPids().isEmpty());
    // The ended session stays listed as terminated for a while.
    ASSERT_EQ(model->tiles().size(), 1);
    EXPECT_EQ(model->tiles()[0].id, key);
    EXPECT_EQ(model->tiles()[0].state, SessionState::terminated());

    controller(id).session().send(std::string_view("exit\r"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return controller(id).hasShellExited(); }, kPatienceMs));
    ASSERT_TRUE(refreshAndWait(*model));
    EXPECT_TRUE(model->terminalTiles().isEmpty());
    EXPECT_TRUE(model->terminalControllers().empty());
    EXPECT_FALSE(model->tileConclusionReadingEnabled().contains(id));
    // Reaped: no zombie is left behind.
    EXPECT_TRUE(QTest::qWaitFor([&] { return isGone(*shell); }, kPatienceMs));
}

TEST_F(DashboardTilesTest, APinnedLaunchTypesTheAgentCommandInTheFolder)
{
    QTemporaryDir project;
    ASSERT_TRUE(project.isValid());
    const QString folder = QFileInfo(project.path()).canonicalFilePath();
    model->addPinnedProject(folder);
    model->addPinnedProject(folder);
    model->addPinnedProject(folder + "/");
    ASSERT_EQ(model->pinnedProjects().size(), 2);
    const PinnedProject pinned = model->pinnedProjects()[0];
    EXPECT_EQ(pinned.displayName, QDir(folder).dirName());
    EXPECT_EQ(PinnedProjectStore::load(*preferences), model->pinnedProjects());
    model->removePinnedProject(model->pinnedProjects()[1].id);
    EXPECT_EQ(PinnedProjectStore::load(*preferences), QList<PinnedProject>{pinned});

    const struct {
        bool asResume;
        const char* arguments;
    } launches[] = {{false, ""}, {true, "--continue"}};
    QStringList expected;
    for (const auto& launch : launches) {
        SCOPED_TRACE(launch.arguments);
        const int before = model->refreshCount();
        model->launchPinnedProject(pinned, launch.asResume);
        EXPECT_EQ(model->refreshCount(), before + 1);
        ASSERT_EQ(model->terminalTiles().size(), 1);
        const QUuid id = model->terminalTiles()[0].id;
        EXPECT_EQ(model->terminalTiles()[0].projectName.primary, QDir(folder).dirName());
        expected << QString::fromUtf8(launch.arguments);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                QFile file(home.path() + "/claude-arguments");
                return file.open(QIODevice::ReadOnly) &&
                       QString::fromUtf8(file.readAll()).split(u'\n') == expected + QStringList{""};
            },
            kPatienceMs));
        // The agent runs in the pinned folder.
        ASSERT_TRUE(QTest::qWaitFor([&] { return sessionKeys().size() == 1; }, kPatienceMs));
        const QByteArray session = test::readFile(home.sessionsDirectory() + "/" + sessionKeys().front() + ".json");
        EXPECT_TRUE(session.contains("\"cwd\":\"" + folder.toUtf8() + "\"")) << session.constData();

        stopAgents();
        ASSERT_TRUE(QTest::qWaitFor([&] { return sessionKeys().isEmpty(); }, kPatienceMs));
        QFile::remove(home.path() + "/claude-stop");
        const int32_t shell = *controller(id).runningShellPid();
        model->closeTerminalTile(id);
        EXPECT_TRUE(model->terminalTiles().isEmpty());
        EXPECT_TRUE(model->terminalControllers().empty());
        // Closing ends the shell and reaps it.
        EXPECT_TRUE(QTest::qWaitFor([&] { return isGone(shell); }, kPatienceMs));
    }
    EXPECT_TRUE(center->activeNotifications().isEmpty());
}

TEST_F(DashboardTilesTest, APinnedFolderThatIsNotThereOpensNoTile)
{
    const QString file = home.path() + "/a-file";
    test::writeFile(file, "x");
    for (const QString& path : {home.path() + "/deleted", file, QStringLiteral("/Volumes/disk/project")}) {
        SCOPED_TRACE(path.toStdString());
        const int before = model->refreshCount();
        model->launchPinnedProject({QUuid::createUuid(), "project", path}, false);
        EXPECT_TRUE(model->terminalTiles().isEmpty());
        EXPECT_EQ(model->refreshCount(), before);
        ASSERT_EQ(center->activeNotifications().size(), 1);
        EXPECT_EQ(center->activeNotifications()[0].dedupeKey, "pin.launch");
        EXPECT_EQ(center->activeNotifications()[0].title, "ピン留めしたフォルダが見つかりません");
    }
    // The refusal holds even where such a folder exists.
    struct EverythingIsAFolder final : PathExistenceChecking {
        bool fileExists(const QString&, bool* isDirectory) const override
        {
            if (isDirectory) *isDirectory = true;
            return true;
        }
    };
    DashboardViewModel::Parameters p = test::modelParameters(home.claudeHome(), preferences, center);
    p.pathExistenceChecker = std::make_shared<EverythingIsAFolder>();
    model = std::make_unique<DashboardViewModel>(std::move(p));
    model->launchPinnedProject({QUuid::createUuid(), "project", "/Volumes/disk/project"}, false);
    EXPECT_TRUE(model->terminalTiles().isEmpty());
    EXPECT_EQ(center->activeNotifications()[0].occurrenceCount, 4);
}

TEST_F(DashboardTilesTest, TilesKeepTheirOrderAndShareTheFontSize)
{
    const QString orderKey = QStringLiteral("Brisvane.gridOrderedIds");
    const QUuid first = model->createTerminalTile();
    const QUuid second = model->createTerminalTile();
    const auto gridId = [](const QUuid& id) {
        TerminalTile tile;
        tile.id = id;
        return GridTile::of(tile).id();
    };
    const QString firstId = gridId(first);
    const QString secondId = gridId(second);
    ASSERT_TRUE(test::waitForRefreshes(*model));
    ASSERT_TRUE(refreshAndWait(*model));
    ASSERT_EQ(model->terminalTiles().size(), 2);
    EXPECT_EQ(model->terminalTiles()[0].id, first);
    EXPECT_EQ(model->terminalTiles()[1].id, second);
    EXPECT_EQ(preferences->stringListValue(orderKey), QStringList({firstId, secondId}));

    // Only moves store the order; paging changes the page shown and nothing stored.
    model->moveTile(secondId, firstId);
    const QStringList moved{secondId, firstId, GridTile::kNewSessionId};
    EXPECT_EQ(preferences->stringListValue(orderKey), moved);
    model->nextPage();
    model->previousPage();
    EXPECT_EQ(preferences->stringListValue(orderKey), moved);
    ASSERT_TRUE(refreshAndWait(*model));
    EXPECT_EQ(model->pages()[0][0].id(), secondId);

    // The font size the tiles' widgets take (the page applies it to each, see TilePageView's tests).
    EXPECT_EQ(model->terminalFontSize(), 13);
    model->increaseTerminalFontSize();
    model->increaseTerminalFontSize();
    EXPECT_EQ(model->terminalFontSize(), 15);
    model->createTerminalTile();
    model->resetTerminalFontSize();
    EXPECT_EQ(model->terminalFontSize(), 13);

    // Closing takes the tile out of the stored order; an unknown tile changes nothing.
    model->closeTerminalTile(first);
    EXPECT_FALSE(preferences->stringListValue(orderKey)->contains(firstId));
    const QStringList remaining = *preferences->stringListValue(orderKey);
    preferences->remove(orderKey);
    model->closeTerminalTile(QUuid::createUuid());
    EXPECT_FALSE(preferences->contains(orderKey));
    preferences->setValue(orderKey, remaining);
    ASSERT_EQ(model->terminalTiles().size(), 2);
    EXPECT_EQ(model->terminalTiles()[0].id, second);
}
