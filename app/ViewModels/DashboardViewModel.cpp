#include "app/ViewModels/DashboardViewModel.hpp"

#include "app/Services/integration/OnboardingStateStore.hpp"
#include "app/Services/tiles/DashboardStores.hpp"
#include "app/ViewModels/TerminalProcessController.hpp"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QTimer>

#include <cmath>

Q_LOGGING_CATEGORY(lcDashboardViewModel, "brisvane.DashboardViewModel")

namespace brisvane {

namespace {


int milliseconds(double seconds)
{
    return int(std::lround(std::max(seconds, 0.0) * 1000.0));
}

} // namespace

DashboardViewModel::DashboardViewModel(Parameters parameters, QObject* parent)
    : QObject(parent), parameters_(std::move(parameters)), terminals_(parameters_.terminalControllerFactory)
{
    Parameters& p = parameters_;
    refresh_ = std::make_unique<DashboardRefresh>(
        DashboardRefresh::Sources{p.sessionsDirectory, p.claudeHome, p.fileSystem, p.projectsDirectory,
                                  p.statsCachePath, p.planUsagePath, p.conclusionDirectory, p.calendar,
                                  p.processTreeProvider, p.shellCwdProvider},
        this, [this](const RefreshPass& pass) { applyRefreshPass(pass); });
    Preferences& prefs = *p.userDefaults;

    pages_ = std::make_unique<DashboardPages>(p.userDefaults);
    terminalFontSize_ = TerminalFontSizeStore::load(prefs);
    preferences_ = std::make_unique<DashboardPreferences>(p.userDefaults, p.isInternalBuild, p.isJapaneseLocale);

    pinnedProjects_ = PinnedProjectStore::load(prefs);

    debounceTimer_ = new QTimer(this);
    debounceTimer_->setSingleShot(true);
    connect(debounceTimer_, &QTimer::timeout, this, &DashboardViewModel::refresh);
    focusPollTimer_ = new QTimer(this);
    connect(focusPollTimer_, &QTimer::timeout, this, &DashboardViewModel::pollFocus);
    speechEngine_ = std::make_unique<DashboardSpeechEngine>(DashboardSpeechEngine::Parameters{
        p.announcementSpeaker, p.zundamonSpeaker, p.tohokuZunkoSpeaker, p.kuronoTakehiroSpeaker, p.aoyamaRyuuseiSpeaker,
        p.kotoneNiaSpeaker, p.voicevoxEngineProbe, p.voicevoxAppLauncher, p.voicevoxEnginePollInterval, p.clock,
        [this] { return preferences_->announcementVoice(); },
        [this] { return preferences_->isVoicevoxAutoLaunchEnabled(); }});
    connect(speechEngine_.get(), &DashboardSpeechEngine::statusChanged, this,
            &DashboardViewModel::voicevoxEngineStatusChanged);
    announcements_ = std::make_unique<DashboardAnnouncements>(
        *preferences_, *speechEngine_, p.isJapaneseLocale,
        DashboardAnnouncements::TileLookups{
            [this](const QUuid& tile) { return terminals_.conclusionReadingEnabled(tile); },
            [this](const QUuid& tile) -> std::optional<QString> {
                const std::optional<int32_t> pid = terminals_.attachedPid(tile);
                if (!pid) return std::nullopt;
                const auto conclusion = latestConclusions_.constFind(*pid);
                if (conclusion == latestConclusions_.constEnd()) return std::nullopt;
                return conclusion->text;
            }});
    connect(announcements_.get(), &DashboardAnnouncements::reevaluationDue, this,
            [this] { evaluateAnnouncements(parameters_.clock()); });
}

DashboardViewModel::~DashboardViewModel() = default;

// ---- Lifecycle ------------------------------------------------------------------------------------

void DashboardViewModel::start()
{
    qCInfo(lcDashboardViewModel, "DashboardViewModel.start()呼び出し");
    refresh();
    // One live event source, whatever was started before.
    disconnect(watchConnection_);
    watchConnection_ = connect(parameters_.watcher.get(), &SessionChangeWatching::sessionEvent, this,
                               &DashboardViewModel::handleWatcherEvent);
    parameters_.watcher->start();
    focusPollTimer_->start(milliseconds(parameters_.focusPollInterval));
    speechEngine_->startPolling();
    if (parameters_.userDefaults->doubleValue(OnboardingStateStore::kOnboardingCompletedVersionKey).value_or(0)
        < OnboardingStateStore::kCompletedVersion)
        setOnboardingPresented(true);
}

void DashboardViewModel::stop()
{
    disconnect(watchConnection_);
    watchConnection_ = {};
    debounceTimer_->stop();
    announcements_->stop();
    focusPollTimer_->stop();
    if (focusedTerminalTileId_) {
        focusedTerminalTileId_.reset();
        emit focusedTerminalTileIdChanged();
    }
    speechEngine_->stopPolling();
    parameters_.watcher->stop();
    terminals_.terminateAll();
}

bool DashboardViewModel::isFocusPolling() const
{
    return focusPollTimer_->isActive();
}

void DashboardViewModel::handleWatcherEvent(SessionWatcherEvent event)
{
    if (event == SessionWatcherEvent::scanFailed) {
        appNotificationCenter().post(
            AppNotificationSeverity::error, QStringLiteral("session.scan"),
            QCoreApplication::translate("DashboardViewModel",
                                        "セッション情報を読み取れません。状態表示が更新されない可能性があります"));
        return;
    }
    qCInfo(lcDashboardViewModel, "watcher通知受信");
    handleWatcherNotification();
}

// A trailing debounce: a burst of changes gives one refresh, the interval after the last one.
void DashboardViewModel::handleWatcherNotification()
{
    debounceTimer_->start(milliseconds(parameters_.debounceInterval));
}

void DashboardViewModel::handleDidBecomeActive()
{
    QPointer<SessionChangeWatching> watcher(parameters_.watcher.get());
    QTimer::singleShot(0, this, [watcher] {
        if (watcher) watcher->pollNow();
    });
    refresh();
    forceRedrawAllTerminalViews();
}

void DashboardViewModel::forceRedrawAllTerminalViews()
{
    emit terminalRedrawRequested();
}

void DashboardViewModel::pollFocus()
{
    std::optional<QUuid> focused = parameters_.focusedTileId();
    // Only a terminal tile of this model counts.
    if (focused && !terminals_.contains(*focused)) focused.reset();
    if (focused != focusedTerminalTileId_) {
        focusedTerminalTileId_ = focused;
        emit focusedTerminalTileIdChanged();
    }
    appNotificationCenter().purgeExpired();
}

std::function<void(const QString&, const QString&, const std::optional<QString>&)>
DashboardViewModel::makeAppNotificationReporter(std::shared_ptr<AppNotificationCenter> center)
{
    return [center](const QString& key, const QString& title, const std::optional<QString>& detail) {
        center->post(AppNotificationSeverity::error, key, title, detail);
    };
}

// ---- State ----------------------------------------------------------------------------------------

void DashboardViewModel::setTerminalTiles(QList<TerminalTile> tiles)
{
    if (tiles == terminalTiles_) return;
    terminalTiles_ = std::move(tiles);
    emit terminalTilesChanged();
}

void DashboardViewModel::setOnboardingPresented(bool presented)
{
    if (presented == isOnboardingPresented_) return;
    isOnboardingPresented_ = presented;
    emit isOnboardingPresentedChanged();
}

void DashboardViewModel::setSettingsSelectedTab(SettingsTab tab)
{
    if (tab == settingsSelectedTab_) return;
    settingsSelectedTab_ = tab;
    emit settingsSelectedTabChanged();
}

// ---- Grid -----------------------------------------------------------------------------------------

void DashboardViewModel::setLayoutPreset(const GridLayoutPreset& preset)
{
    if (pages_->setLayoutPreset(preset)) emit layoutPresetChanged();
}

QList<GridTile> DashboardViewModel::gridTiles() const
{
    QList<GridTile> tiles;
    for (const TerminalTile& tile : terminalTiles_) tiles.push_back(GridTile::of(tile));
    tiles.push_back(GridTile::newSession());
    return tiles;
}

QList<QList<GridTile>> DashboardViewModel::pages() const
{
    return pages_->pages(gridTiles());
}

int DashboardViewModel::currentPageIndex() const
{
    return pages_->currentPageIndex(gridTiles());
}

QList<GridTile> DashboardViewModel::currentPage() const
{
    const QList<QList<GridTile>> all = pages();
    if (all.isEmpty()) return {};
    return all[currentPageIndex()];
}

void DashboardViewModel::nextPage()
{
    if (pages_->nextPage(gridTiles())) emit pageIndexChanged();
}

void DashboardViewModel::previousPage()
{
    if (pages_->previousPage(gridTiles())) emit pageIndexChanged();
}

void DashboardViewModel::setGridOrdering(GridOrdering ordering)
{
    pages_->setOrdering(std::move(ordering));
    emit gridOrderingChanged();
}

void DashboardViewModel::moveTile(const QString& id, const QString& beforeId)
{
    QStringList ids;
    for (const GridTile& tile : gridOrdering().sorted(gridTiles())) ids << tile.id();
    setGridOrdering(GridOrdering::moving(id, beforeId, ids));
}

void DashboardViewModel::persistNewGridOrderingIfNeeded()
{
    GridOrdering next = gridOrdering().registeringUnknownIds(gridTiles());
    if (next.orderedIds != gridOrdering().orderedIds) setGridOrdering(std::move(next));
}

// ---- Font size ------------------------------------------------------------------------------------

void DashboardViewModel::setTerminalFontSize(double size)
{
    size = TerminalFontSizeStore::clamp(size);
    if (size != terminalFontSize_) {
        terminalFontSize_ = size;
        emit terminalFontSizeChanged();
    }
    parameters_.userDefaults->setValue(TerminalFontSizeStore::kKey, size);
}

void DashboardViewModel::increaseTerminalFontSize()
{
    setTerminalFontSize(terminalFontSize_ + 1);
}

void DashboardViewModel::decreaseTerminalFontSize()
{
    setTerminalFontSize(terminalFontSize_ - 1);
}

void DashboardViewModel::resetTerminalFontSize()
{
    setTerminalFontSize(TerminalFontSizeStore::kDefault);
}

} // namespace brisvane
