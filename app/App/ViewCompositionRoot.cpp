#include "app/App/ViewCompositionRoot.hpp"

#include "app/Services/platform/LocalFileSystemReader.hpp"
#include "app/Services/platform/LocalFileSystemWriter.hpp"
#include "app/Views/FocusedTileResolver.hpp"
#include "app/Views/SettingsWindow.hpp"
#include "app/Views/SystemSettingsExplanationOpener.hpp"
#include "app/Views/TerminalGpuSwitch.hpp"

#include <QPointer>

namespace brisvane {

std::unique_ptr<DashboardViewModel> makeViewModel(const QString& home)
{
    DashboardViewModel::Parameters p = applicationParameters(home);
    p.focusedTileId = &FocusedTileResolver::focusedTerminalTile;
    return std::make_unique<DashboardViewModel>(std::move(p));
}

DashboardView::Dependencies makeViewDependencies(DashboardViewModel& model)
{
    const DashboardViewModel::Parameters& p = model.parameters();
    const std::shared_ptr<const FileOpening> opener = p.fileOpener;
    QPointer<DashboardViewModel> guarded(&model);
    OnboardingView::Dependencies onboarding{
        ClaudeMdEditor({p.claudeHome + QStringLiteral("/CLAUDE.md"), p.isJapaneseLocale},
                       std::make_shared<LocalFileSystemReader>(), std::make_shared<LocalFileSystemWriter>()),
        p.userDefaults,
        opener,
        [guarded] {
            if (guarded) SettingsWindow::open(*guarded);
        },
        [opener](const QUrl& url) { opener->open(url); },
        [] { return QDateTime::currentDateTimeUtc(); },
        ClaudeCLISearch::current(p.pathExistenceChecker),
    };
    return {std::move(onboarding), std::make_shared<SystemSettingsExplanationOpener>(p.claudeHome),
            std::make_shared<TerminalGpuSwitch>(TerminalGpuSwitch::fromEnvironment())};
}

} // namespace brisvane
