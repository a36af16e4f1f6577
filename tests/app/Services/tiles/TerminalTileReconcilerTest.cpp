#include "app/Services/tiles/TerminalTileReconciler.hpp"

#include "app/Services/platform/LocalFileSystemReader.hpp"
#include "app/Services/tiles/TerminalSessionRegistry.hpp"
#include "tests/app/AgentHome.hpp"
#include "tests/app/Services/FakeFileSystemReader.hpp"
#include "tests/app/TerminalTilePrinters.hpp"

#include <gtest/gtest.h>

using namespace brisvane;
using Snapshot = TerminalTileReconciler::ControllerSnapshot;

namespace {

const QString kUnknownModel = QString::fromUtf8("不明");
const QString kUnknownProject = QString::fromUtf8("不明なプロジェクト");
const QUuid kA("{00000000-0000-0000-0000-00000000000a}");
const QUuid kB("{00000000-0000-0000-0000-00000000000b}");
const QUuid kC("{00000000-0000-0000-0000-00000000000c}");

SessionTile sessionTile(const QString& key, SessionState state, const QString& project, const QString& model)
{
    return {key, state, {project, std::nullopt, false}, model, std::nullopt};
}

QMap<QString, SessionTile> grid(std::initializer_list<SessionTile> tiles)
{
    QMap<QString, SessionTile> map;
    for (const SessionTile& tile : tiles) map.insert(tile.id, tile);
    return map;
}

// An interactive session in a file named by its pid, unless told otherwise.
SessionFileRecord record(int64_t pid, std::optional<QString> status = QStringLiteral("busy"),
                         std::optional<QString> kind = QStringLiteral("interactive"), std::optional<QString> key = {})
{
    SessionRecord r;
    r.pid = pid;
    r.status = std::move(status);
    r.kind = std::move(kind);
    r.cwd = QStringLiteral("/work/p%1").arg(pid);
    return {key.value_or(QString::number(pid)), r};
}

TerminalTile shellOnly(const QUuid& id, std::optional<QString> folder = {})
{
    const ProjectDisplayName name = folder ? ProjectDisplayName{*folder, std::nullopt, false}
                                           : ProjectDisplayName{kUnknownProject, std::nullopt, true};
    return {id, TerminalTileLifecycle::shellOnly(), name, SessionState::unknown(), kUnknownModel};
}

TerminalTile attached(const QUuid& id, int32_t pid, const SessionTile& session)
{
    return {id, TerminalTileLifecycle::attached(pid), session.projectName, session.state, session.modelName};
}

// Adopted before the grid lists the session: what `record(pid, status)` says of itself.
TerminalTile attachedFromRecord(const QUuid& id, int32_t pid, SessionState state = SessionState::busy())
{
    return {id, TerminalTileLifecycle::attached(pid), {QStringLiteral("p%1").arg(pid), std::nullopt, false}, state,
            kUnknownModel};
}

// A parent chain above `shell`: element i is the pid whose shell is its (i + 1)-th ancestor.
ProcessTreeSnapshot chainUnder(int32_t shell, int length)
{
    ProcessTreeSnapshot tree;
    tree.parentByPid.insert(shell, 1);
    int32_t parent = shell;
    for (int i = 0; i < length; ++i) {
        tree.parentByPid.insert(10'000 + i, parent);
        parent = 10'000 + i;
    }
    return tree;
}

} // namespace

TEST(TerminalTileReconciler, Reconciles)
{
    const SessionTile busy200 = sessionTile("200", SessionState::busy(), "alpha", "opus");
    const SessionTile idle300 = sessionTile("300", SessionState::idle(), "beta", "sonnet");
    const SessionTile ended200 = sessionTile("200", SessionState::terminated(), "alpha", "opus");
    // Shell 100 under init; 300 and 301 its children, 250 a wrapper between it and 350.
    const ProcessTreeSnapshot tree{{{1, 0}, {100, 1}, {300, 100}, {301, 100}, {250, 100}, {350, 250}, {500, 1}}};
    SessionFileRecord waiting = record(300, QStringLiteral("waiting"));
    waiting.record.waitingFor = QStringLiteral("permission prompt");
    waiting.record.cwd = QStringLiteral("/work/proj");
    waiting.record.name = QStringLiteral("named");
    SessionFileRecord kindless = record(300);
    kindless.record.kind.reset();

    struct Case {
        const char* name;
        QList<Snapshot> controllers;
        QMap<QString, SessionTile> statusTiles;
        QList<SessionFileRecord> records;
        ProcessTreeSnapshot tree;
        QMap<QUuid, QString> cwds;
        TerminalTileReconciler::Result expected;
    };
    const Case cases[] = {
        {"no controllers", {}, grid({busy200}), {record(300)}, tree, {}, {}},
        {"exited while attached: only listed as exited, its session left external",
         {{kA, 100, 200, true}}, grid({busy200}), {}, tree, {}, {{}, {}, {kA}, {}, {}}},
        {"attached to a live session: kept, the grid's values shown",
         {{kA, 100, 200, false}}, grid({busy200}), {record(300)}, tree, {},
         {{attached(kA, 200, busy200)}, {}, {}, {}, {"200"}}},
        {"attached to a terminated session: detached, shell-only, not offered in this pass",
         {{kA, 100, 200, false}}, grid({ended200, idle300}), {record(300)}, tree, {{kA, "/w/here"}},
         {{shellOnly(kA, "here")}, {}, {}, {kA}, {}}},
        {"attached to a session the grid no longer holds: detached",
         {{kA, 100, 200, false}}, {}, {}, tree, {}, {{shellOnly(kA)}, {}, {}, {kA}, {}}},
        {"a child of the shell is adopted with the grid's values",
         {{kA, 100, std::nullopt, false}}, grid({idle300}), {record(300)}, tree, {},
         {{attached(kA, 300, idle300)}, {{kA, 300}}, {}, {}, {"300"}}},
        {"a record whose pid is the shell's own is no session, even where the shell is its own ancestor",
         {{kA, 100, std::nullopt, false}}, {}, {record(100)}, {{{100, 300}, {300, 100}}}, {},
         {{shellOnly(kA)}, {}, {}, {}, {}}},
        {"a grandchild, through a wrapper, is adopted",
         {{kA, 100, std::nullopt, false}}, {}, {record(350, "idle")}, tree, {},
         {{attachedFromRecord(kA, 350, SessionState::idle())}, {{kA, 350}}, {}, {}, {"350"}}},
        {"two records under one shell: the first listed wins",
         {{kA, 100, std::nullopt, false}}, grid({idle300}), {record(301), record(300)}, tree, {},
         {{attachedFromRecord(kA, 301)}, {{kA, 301}}, {}, {}, {"301"}}},
        {"adopted before its session tile exists: the record speaks for itself",
         {{kA, 100, std::nullopt, false}}, {}, {waiting}, tree, {},
         {{{kA, TerminalTileLifecycle::attached(300), {"proj", QStringLiteral("named"), false},
            SessionState::waiting(QStringLiteral("permission prompt")), kUnknownModel}},
          {{kA, 300}}, {}, {}, {"300"}}},
        {"an empty tree adopts nothing and leaves attachments alone",
         {{kA, 500, 200, false}, {kB, 100, std::nullopt, false}}, grid({busy200}), {record(300)}, {}, {},
         {{attached(kA, 200, busy200), shellOnly(kB)}, {}, {}, {}, {"200"}}},
        {"a parent loop adopts nothing",
         {{kA, 100, std::nullopt, false}}, {}, {record(600)}, {{{600, 601}, {601, 600}, {100, 1}}}, {},
         {{shellOnly(kA)}, {}, {}, {}, {}}},
        {"the shell as the 2048th ancestor is found",
         {{kA, 100, std::nullopt, false}}, {}, {record(10'000 + 2047)}, chainUnder(100, 2048), {},
         {{attachedFromRecord(kA, 12047)}, {{kA, 12047}}, {}, {}, {"12047"}}},
        {"the shell as the 2049th ancestor is not",
         {{kA, 100, std::nullopt, false}}, {}, {record(10'000 + 2048)}, chainUnder(100, 2049), {},
         {{shellOnly(kA)}, {}, {}, {}, {}}},
        {"a pid beyond 32 bits is never adopted",
         {{kA, 100, std::nullopt, false}}, {}, {record(int64_t(1) << 32 | 300)}, tree, {},
         {{shellOnly(kA)}, {}, {}, {}, {}}},
        {"a non-interactive record under the shell is not adopted",
         {{kA, 100, std::nullopt, false}}, {}, {record(300, "busy", "background")}, tree, {},
         {{shellOnly(kA)}, {}, {}, {}, {}}},
        {"a record in a file not named by its pid is not adopted",
         {{kA, 100, std::nullopt, false}}, {}, {record(300, "busy", "interactive", "0300")}, tree, {},
         {{shellOnly(kA)}, {}, {}, {}, {}}},
        {"a record that does not give its kind is adopted, as the grid lists it",
         {{kA, 100, std::nullopt, false}}, {}, {kindless}, tree, {},
         {{attachedFromRecord(kA, 300)}, {{kA, 300}}, {}, {}, {"300"}}},
        {"shell-only names: a folder, the root, a blank",
         {{kA, 100, std::nullopt, false}, {kB, 500, std::nullopt, false}, {kC, std::nullopt, std::nullopt, false}},
         {}, {}, tree, {{kA, "/home/u/proj/"}, {kB, "/"}, {kC, "  "}},
         {{shellOnly(kA, "proj"), shellOnly(kB), shellOnly(kC)}, {}, {}, {}, {}}},
        {"snapshot order is kept; a tile without a running shell waits",
         {{kC, std::nullopt, std::nullopt, false}, {kB, 300, 200, true}, {kA, 100, std::nullopt, false}},
         grid({busy200}), {record(301)}, tree, {},
         {{shellOnly(kC), attachedFromRecord(kA, 301)}, {{kA, 301}}, {kB}, {}, {"301"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto result = TerminalTileReconciler::reconcile(c.controllers, c.statusTiles, c.records, c.tree, c.cwds);
        EXPECT_EQ(result, c.expected);
    }
}

// The model's side of a pass, as the dashboard applies a result: remember, forget, drop.
class Passes {
public:
    TerminalTileReconciler::Result run(const QMap<QString, SessionTile>& statusTiles,
                                       const QList<SessionFileRecord>& records, const ProcessTreeSnapshot& tree)
    {
        QList<Snapshot> snapshots;
        for (const QUuid& id : tiles) {
            std::optional<int32_t> attached;
            if (attachedPid.contains(id)) attached = attachedPid[id];
            snapshots.append({id, shells.value(id), attached, false});
        }
        auto result = TerminalTileReconciler::reconcile(snapshots, statusTiles, records, tree, {});
        for (auto entry = result.newlyAttachedPids.begin(); entry != result.newlyAttachedPids.end(); ++entry) {
            attachedPid.insert(entry.key(), entry.value());
        }
        for (const QUuid& id : result.detachedTileIds) attachedPid.remove(id);
        return result;
    }

    QList<QUuid> tiles;
    QMap<QUuid, int32_t> shells;
    QMap<QUuid, int32_t> attachedPid;
};

TEST(TerminalTileReconciler, AnAdoptedSessionStaysAttachedAndOneTheGridCannotShowIsNeverAdopted)
{
    const ProcessTreeSnapshot tree{{{100, 1}, {300, 100}, {400, 1}, {410, 400}}};
    const QMap<QString, SessionTile> statusTiles = grid({sessionTile("300", SessionState::busy(), "a", "m")});
    // Tile A's agent is listed by the grid; tile B's session sits in a file not named by its
    // pid, so no grid tile ever carries that pid.
    const QList<SessionFileRecord> records{record(300), record(410, "busy", "interactive", "x")};
    Passes passes;
    passes.tiles = {kA, kB};
    passes.shells = {{kA, 100}, {kB, 400}};
    for (int pass = 0; pass < 3; ++pass) {
        SCOPED_TRACE(pass);
        const auto result = passes.run(statusTiles, records, tree);
        EXPECT_EQ(result.tiles.value(0).lifecycle, TerminalTileLifecycle::attached(300));
        EXPECT_EQ(result.tiles.value(1).lifecycle, TerminalTileLifecycle::shellOnly());
        EXPECT_TRUE(result.detachedTileIds.isEmpty());
        const QMap<QUuid, int32_t> adopted = pass == 0 ? QMap<QUuid, int32_t>{{kA, 300}} : QMap<QUuid, int32_t>{};
        EXPECT_EQ(result.newlyAttachedPids, adopted);
    }
    // The session ends: detached in one pass, free to adopt in the next.
    const auto ended = passes.run(grid({sessionTile("300", SessionState::terminated(), "a", "m")}), {}, tree);
    EXPECT_EQ(ended.detachedTileIds, QList<QUuid>{kA});
    EXPECT_FALSE(passes.attachedPid.contains(kA));
}

TEST(TerminalSessionRegistry, ReadsEverySessionFileWithItsKey)
{
    test::FakeFileSystemReader fileSystem;
    fileSystem.setListing("/s", {"22207.json", "notes.txt", "bad.json", "x.json"});
    fileSystem.setFile("/s/22207.json", R"({"pid":22207,"kind":"interactive"})");
    fileSystem.setFile("/s/bad.json", "{");
    fileSystem.setFile("/s/x.json", R"({"pid":5})");
    const QList<SessionFileRecord> files = TerminalSessionRegistry::readSessionFiles("/s", fileSystem);
    ASSERT_EQ(files.size(), 2);
    EXPECT_EQ(files[0].key, "22207");
    EXPECT_EQ(files[0].record.pid, 22207);
    EXPECT_EQ(files[1].key, "x");
    EXPECT_TRUE(TerminalSessionRegistry::readSessionFiles("/none", fileSystem).isEmpty());

    // The files the agent wrote are adoptable.
    test::TemporaryHome home;
    const auto real = TerminalSessionRegistry::readSessionFiles(home.sessionsDirectory(), LocalFileSystemReader());
    ASSERT_EQ(real.size(), 2);
    for (const SessionFileRecord& file : real) {
        EXPECT_TRUE(TerminalSessionRegistry::isAdoptable(file)) << file.key.toStdString();
    }
}
