#include "app/ViewModels/DashboardViewModel.hpp"

#include "app/Services/sessions/ProjectNameResolver.hpp"
#include "app/Services/tiles/DashboardStores.hpp"
#include "app/Services/tiles/LoginShell.hpp"
#include "app/Services/usage/ModelNameResolver.hpp"
#include "app/ViewModels/TerminalProcessController.hpp"

#include <QCoreApplication>
#include <QProcessEnvironment>

#include <malloc.h>

namespace brisvane {

namespace {

// The application's own environment; the controller removes what a shell must not inherit.
QMap<QString, QString> processEnvironment()
{
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QMap<QString, QString> variables;
    for (const QString& name : environment.keys()) variables.insert(name, environment.value(name));
    return variables;
}

} // namespace

// ---- Tiles ----------------------------------------------------------------------------------------

TerminalProcessController& DashboardViewModel::registerTerminalTile(const QUuid& id,
                                                                     const ProjectDisplayName& projectName)
{
    TerminalProcessController& controller = terminals_.create(id, preferences_->isConclusionReadingDefaultEnabled());

    QList<TerminalTile> tiles = terminalTiles_;
    tiles.push_back({id, TerminalTileLifecycle::shellOnly(), projectName, SessionState::unknown(),
                     ModelNameResolver::unknownModelName()});
    setTerminalTiles(std::move(tiles));
    persistNewGridOrderingIfNeeded();
    return controller;
}

// The user's login shell; a failure is shown, and the tile stays until its next refresh finds
// the shell gone.
bool DashboardViewModel::startShell(TerminalProcessController& controller, const std::optional<QString>& directory)
{
    const auto started = controller.start(LoginShell::path(), processEnvironment(), directory);
    if (started.ok()) return true;
    const QString& detail = started.error().detail;
    appNotificationCenter().post(
        AppNotificationSeverity::error, QStringLiteral("terminal.launch"),
        QCoreApplication::translate("DashboardViewModel", "ターミナルを起動できません（作業ディレクトリが利用できません）"),
        detail.isEmpty() ? std::nullopt : std::optional<QString>(detail));
    return false;
}

QUuid DashboardViewModel::createTerminalTile()
{
    const QUuid id = QUuid::createUuid();
    TerminalProcessController& controller =
        registerTerminalTile(id, ProjectNameResolver::resolve(std::nullopt, std::nullopt));
    startShell(controller, std::nullopt);
    refresh();
    return id;
}

void DashboardViewModel::closeTerminalTile(const QUuid& id)
{
    std::unique_ptr<TerminalProcessController> closed = terminals_.close(id);
    QList<TerminalTile> tiles = terminalTiles_;
    tiles.removeIf([&](const TerminalTile& tile) { return tile.id == id; });
    // A view hosting the tile's terminal hands it back here, before the controller goes.
    setTerminalTiles(std::move(tiles));
    if (closed) {
        closed.reset();
        // A scroll-back is many small blocks the allocator would otherwise keep for the life of
        // the process: give the pages back now that they are free.
        malloc_trim(0);
    }
    terminals_.forgetConclusionReading(id);

    TerminalTile closedTile;
    closedTile.id = id;
    const QString key = GridTile::of(closedTile).id();
    if (gridOrdering().orderedIds.contains(key)) {
        GridOrdering remaining = gridOrdering();
        remaining.orderedIds.removeAll(key);
        setGridOrdering(std::move(remaining));
    }
}

void DashboardViewModel::setConclusionReadingEnabled(bool enabled, const QUuid& tile)
{
    terminals_.setConclusionReadingEnabled(tile, enabled);
}

// ---- Pinned projects ------------------------------------------------------------------------------

void DashboardViewModel::savePinnedProjects(QList<PinnedProject> projects)
{
    if (projects != pinnedProjects_) {
        pinnedProjects_ = std::move(projects);
        emit pinnedProjectsChanged();
    }
    PinnedProjectStore::save(pinnedProjects_, *parameters_.userDefaults);
}

void DashboardViewModel::addPinnedProject(const QString& path)
{
    for (const PinnedProject& project : pinnedProjects_) {
        if (project.path == path) return;
    }
    QList<PinnedProject> projects = pinnedProjects_;
    projects.push_back({QUuid::createUuid(), ProjectNameResolver::resolve(path, std::nullopt).primary, path});
    savePinnedProjects(std::move(projects));
}

void DashboardViewModel::removePinnedProject(const QUuid& id)
{
    QList<PinnedProject> projects = pinnedProjects_;
    projects.removeIf([&](const PinnedProject& project) { return project.id == id; });
    savePinnedProjects(std::move(projects));
}

void DashboardViewModel::launchPinnedProject(const PinnedProject& project, bool asResume)
{
    bool isDirectory = false;
    if (!parameters_.pathExistenceChecker->fileExists(project.path, &isDirectory) || !isDirectory ||
        project.path.startsWith(QLatin1String("/Volumes/"))) {
        appNotificationCenter().post(
            AppNotificationSeverity::error, QStringLiteral("pin.launch"),
            QCoreApplication::translate("DashboardViewModel", "ピン留めしたフォルダが見つかりません"));
        return;
    }
    const QUuid id = QUuid::createUuid();
    TerminalProcessController& controller =
        registerTerminalTile(id, ProjectNameResolver::resolve(project.path, std::nullopt));
    if (startShell(controller, project.path)) {
        // Straight to the shell's input, where it waits until the login shell reads it.
        const std::string_view command = asResume ? "claude --continue\n" : "claude\n";
        controller.session().send(command);
    }
    refresh();
}

} // namespace brisvane
