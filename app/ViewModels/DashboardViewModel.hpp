#pragma once

#include "app/Models/AnnouncementConclusion.hpp"
#include "app/Models/AnnouncementThresholdPreset.hpp"
#include "app/Models/AnnouncementVoice.hpp"
#include "app/Models/Calendar.hpp"
#include "app/Models/ClaudeHomeAccessStatus.hpp"
#include "app/Models/GridLayoutPreset.hpp"
#include "app/Models/GridTile.hpp"
#include "app/Models/HookInstallationStatus.hpp"
#include "app/Models/PinnedProject.hpp"
#include "app/Models/PlanUsageSummary.hpp"
#include "app/Models/ProcessTreeSnapshot.hpp"
#include "app/Models/ReadingDictionary.hpp"
#include "app/Models/SessionFileRecord.hpp"
#include "app/Models/SessionTile.hpp"
#include "app/Models/SessionWatcherEvent.hpp"
#include "app/Models/SettingsTab.hpp"
#include "app/Models/TerminalTile.hpp"
#include "app/Models/UsageSummary.hpp"
#include "app/Models/VoicevoxEngineStatus.hpp"
#include "app/Services/integration/HookInstaller.hpp"
#include "app/Services/platform/AppNotificationCenter.hpp"
#include "app/Services/platform/FileSystemReading.hpp"
#include "app/Services/platform/PathExistenceChecking.hpp"
#include "app/Services/platform/Preferences.hpp"
#include "app/Services/sessions/SessionChangeWatching.hpp"
#include "app/Services/tiles/FileOpening.hpp"
#include "app/Services/tiles/GridOrdering.hpp"
#include "app/Services/usage/UsageSelfAggregator.hpp"
#include "app/Services/voice/AnnouncementEngine.hpp"
#include "app/Services/voice/AnnouncementSpeaking.hpp"
#include "app/Services/voice/VoicevoxAppLaunching.hpp"
#include "app/Services/voice/VoicevoxEngineProbing.hpp"
#include "app/ViewModels/DashboardAnnouncements.hpp"
#include "app/ViewModels/DashboardPages.hpp"
#include "app/ViewModels/DashboardPreferences.hpp"
#include "app/ViewModels/DashboardRefresh.hpp"
#include "app/ViewModels/DashboardSpeechEngine.hpp"
#include "app/ViewModels/DashboardTiles.hpp"

#include <QDateTime>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QThreadPool>
#include <QUuid>

#include <atomic>

#include <functional>
#include <map>
#include <memory>
#include <optional>

class QTimer;

namespace brisvane {

class TerminalProcessController;

// The dashboard's one model: what the views show, the services handed in at construction, the
// tiles' controllers and the loops that keep everything current. Lives on the GUI thread;
// every observable property notifies only when its value changes.
class DashboardViewModel final : public QObject {
    Q_OBJECT
    Q_PROPERTY(QList<brisvane::TerminalTile> terminalTiles READ terminalTiles NOTIFY terminalTilesChanged)
    Q_PROPERTY(double terminalFontSize READ terminalFontSize NOTIFY terminalFontSizeChanged)
    Q_PROPERTY(bool isOnboardingPresented READ isOnboardingPresented WRITE setOnboardingPresented NOTIFY
                   isOnboardingPresentedChanged)

public:
    // What the composition root hands in, every service and path given: the model fills in
    // nothing. The intervals are honoured as given
    // (the model waits what it is told), so tests can run the loops fast.
    struct Parameters {
        QString sessionsDirectory;
        QString claudeHome;
        std::shared_ptr<const FileSystemReading> fileSystem;
        // Owned by the model from here on.
        std::unique_ptr<SessionChangeWatching> watcher;
        QString projectsDirectory;
        QString statsCachePath;
        QString planUsagePath;
        QString conclusionDirectory;
        double debounceInterval = 0.2;
        double terminatedRetention = 300;
        std::function<QDateTime()> clock;
        Calendar calendar;
        std::shared_ptr<const PathExistenceChecking> pathExistenceChecker;
        bool isInternalBuild = false;
        bool isJapaneseLocale = true;
        std::shared_ptr<Preferences> userDefaults;
        std::shared_ptr<AppNotificationCenter> appNotificationCenter;
        double focusPollInterval = 0.3;
        std::shared_ptr<const HookInstaller> hookInstaller;
        // The system voice; the fallback of the VOICEVOX voices.
        std::shared_ptr<AnnouncementSpeaking> announcementSpeaker;
        // One VOICEVOX voice each. An empty one says nothing.
        std::shared_ptr<AnnouncementSpeaking> zundamonSpeaker;
        std::shared_ptr<AnnouncementSpeaking> tohokuZunkoSpeaker;
        std::shared_ptr<AnnouncementSpeaking> kuronoTakehiroSpeaker;
        std::shared_ptr<AnnouncementSpeaking> aoyamaRyuuseiSpeaker;
        std::shared_ptr<AnnouncementSpeaking> kotoneNiaSpeaker;
        std::shared_ptr<VoicevoxEngineProbing> voicevoxEngineProbe;
        std::shared_ptr<VoicevoxAppLaunching> voicevoxAppLauncher;
        double voicevoxEnginePollInterval = 20;
        // What the tiles' terminals open paths and links with: "~" is `homeDirectory`, and
        // `pathExistenceChecker` and `clock` serve them too.
        QString homeDirectory;
        std::shared_ptr<const FileOpening> fileOpener;
        // The terminal tile holding the keyboard focus, as the views see it.
        std::function<std::optional<QUuid>()> focusedTileId;
        // Makes a new tile's controller with its terminal session ready and the folder its shell
        // starts in when none is given (GUI thread).
        std::function<std::unique_ptr<TerminalProcessController>(const QUuid&)> terminalControllerFactory;
        // The process table and a process's current folder; called on refresh workers, so they
        // must be safe to call from any thread.
        std::function<ProcessTreeFetchResult()> processTreeProvider;
        std::function<std::optional<QString>(int32_t)> shellCwdProvider;
    };

    explicit DashboardViewModel(Parameters parameters, QObject* parent = nullptr);
    ~DashboardViewModel() override;

    // ---- Lifecycle ---------------------------------------------------------------------------
    // Refreshes once and starts the watch loop, the focus poll and the speech-engine poll; shows
    // the onboarding on a first start. Starting again restarts each loop (one of each runs).
    void start();
    // Ends every loop, stops the watcher and ends every tile's shell; the tiles stay.
    void stop();
    void handleDidBecomeActive();
    void forceRedrawAllTerminalViews();
    // Starts one refresh pass: the outside state is read on workers and applied here when every
    // read is in. Returns at once. Older passes stop reading the transcripts, keeping what they
    // read; while the transcripts hold more than one pass reads, the watch loop adds passes.
    void refresh();
    // The passes started so far; each pass is numbered by this count.
    int refreshCount() const { return refresh_->count(); }
    bool isWatching() const { return watchConnection_; }
    bool isFocusPolling() const;

    // A reporter for speech failures: posts an error under the given key to the centre.
    static std::function<void(const QString&, const QString&, const std::optional<QString>&)>
    makeAppNotificationReporter(std::shared_ptr<AppNotificationCenter> center);

    // ---- State -------------------------------------------------------------------------------
    const QList<SessionTile>& tiles() const { return tiles_; }
    const QMap<QString, SessionTile>& knownTiles() const { return knownTiles_; }
    const UsageSummary& usageSummary() const { return usageSummary_; }
    const std::optional<PlanUsageSummary>& planUsage() const { return planUsage_; }
    const QList<TerminalTile>& terminalTiles() const { return terminalTiles_; }
    void setTerminalTiles(QList<TerminalTile> tiles);
    std::optional<QUuid> focusedTerminalTileId() const { return focusedTerminalTileId_; }
    double terminalFontSize() const { return terminalFontSize_; }
    bool isAnnouncementsEnabled() const { return preferences_->isAnnouncementsEnabled(); }
    AnnouncementVoice announcementVoice() const { return preferences_->announcementVoice(); }
    VoicevoxEngineStatus voicevoxEngineStatus() const { return speechEngine_->status(); }
    bool isVoicevoxAutoLaunchEnabled() const { return preferences_->isVoicevoxAutoLaunchEnabled(); }
    const ReadingDictionary& readingDictionary() const { return preferences_->readingDictionary(); }
    bool isConclusionReadingDefaultEnabled() const { return preferences_->isConclusionReadingDefaultEnabled(); }
    AnnouncementThresholdPreset completionAnnouncementThreshold() const { return preferences_->completionAnnouncementThreshold(); }
    AnnouncementThresholdPreset conclusionReadingBusyThreshold() const { return preferences_->conclusionReadingBusyThreshold(); }
    bool isInlineCostDisplayEnabled() const { return preferences_->isInlineCostDisplayEnabled(); }
    const HookInstallationStatus& hookInstallationStatus() const { return hookInstallationStatus_; }
    const QList<PinnedProject>& pinnedProjects() const { return pinnedProjects_; }
    const QMap<QUuid, QString>& liveShellCwds() const { return liveShellCwds_; }
    SettingsTab settingsSelectedTab() const { return settingsSelectedTab_; }
    void setSettingsSelectedTab(SettingsTab tab);
    ClaudeHomeAccessStatus claudeHomeAccessStatus() const { return claudeHomeAccessStatus_; }
    bool isOnboardingPresented() const { return isOnboardingPresented_; }
    void setOnboardingPresented(bool presented);
    AppNotificationCenter& appNotificationCenter() { return *parameters_.appNotificationCenter; }
    const Parameters& parameters() const { return parameters_; }

    // ---- Grid --------------------------------------------------------------------------------
    const GridLayoutPreset& layoutPreset() const { return pages_->layoutPreset(); }
    // The layout picker stores the preset's id itself; the model only holds it.
    void setLayoutPreset(const GridLayoutPreset& preset);
    const GridOrdering& gridOrdering() const { return pages_->ordering(); }
    // Every terminal tile in order, then the new-terminal tile.
    QList<GridTile> gridTiles() const;
    QList<QList<GridTile>> pages() const;
    QList<GridTile> currentPage() const;
    int currentPageIndex() const;
    void nextPage();
    void previousPage();
    void moveTile(const QString& id, const QString& beforeId);

    // ---- Refresh and reconciliation -----------------------------------------------------------
    // The number of the last pass applied; 0 before any. A pass finishing after a newer one was
    // applied is dropped.
    int lastAppliedRefresh() const { return refresh_->lastApplied(); }
    // Passes whose reads are not all in yet.
    int refreshesInFlight() const { return refresh_->inFlight(); }
    // The agent process attached to each tile, and the fresh spoken summaries by agent pid.
    const QMap<QUuid, int32_t>& attachedPids() const { return terminals_.attachedPids(); }
    const QMap<int32_t, AnnouncementConclusion>& latestConclusions() const { return latestConclusions_; }

    // ---- Announcements and speech engine -------------------------------------------------------
    // Starts with the stored completion threshold; follows its setter.
    AnnouncementEngine& announcementEngine() { return announcements_->engine(); }
    // Decides and speaks what the tiles' sessions call for; run after every reconciliation.
    void evaluateAnnouncements(const QDateTime& now);
    // The same for a snapshot keyed "t:" + tile UUID. The engine sees every snapshot, even with
    // announcements off, so that its streaks stay current; the re-evaluation it asks for replaces
    // the pending one.
    void evaluateAnnouncements(const QMap<QString, AnnouncementSessionInfo>& snapshot, const QDateTime& now);
    // Probes the engine for a VOICEVOX voice (nothing for the system voice), launches it when
    // allowed, and sets the status when the probe answers. Returns at once.
    void updateVoicevoxEngineStatus(bool forceLaunch);
    // Launches the engine if it does not answer, however recently that was tried.
    void launchVoicevoxNow();
    // Stored; turning it on checks the engine at once.
    void setVoicevoxAutoLaunchEnabled(bool enabled);

    // ---- Preferences and user actions ----------------------------------------------------------
    // Each setter notifies only on a change, yet always stores the value and applies its effect.
    void setAnnouncementsEnabled(bool enabled);
    // Then checks the speech engine for the new voice.
    void setAnnouncementVoice(AnnouncementVoice voice);
    // Also the engine's completion threshold.
    void setCompletionAnnouncementThreshold(AnnouncementThresholdPreset preset);
    void setConclusionReadingBusyThreshold(AnnouncementThresholdPreset preset);
    // Existing tiles keep their own flags; tiles opened later take this one.
    void setConclusionReadingDefaultEnabled(bool enabled);
    void setInlineCostDisplayEnabled(bool enabled);
    // The voices the pickers offer: the characters only in a Japanese locale.
    QList<AnnouncementVoice> selectableAnnouncementVoices() const;
    // Replaces the dictionary shown and stores nothing; the three edits below store it.
    void setReadingDictionary(ReadingDictionary dictionary);
    // Appends an empty row; returns its id.
    QUuid addReadingEntry();
    void removeReadingEntry(const QUuid& id);
    // Replaces the given fields as typed; an unknown id changes and stores nothing.
    void updateReadingEntry(const QUuid& id, const std::optional<QString>& projectName,
                            const std::optional<QString>& reading);
    // Speaks a completion of the row's project with the row's reading, announcements on or off.
    void speakReadingPreview(const ReadingEntry& entry);
    void playTestAnnouncement();
    const HookInstaller& hookInstaller() const { return *parameters_.hookInstaller; }
    // The integration views set a status they read afresh.
    void setHookInstallationStatus(HookInstallationStatus status);
    // Each posts its failure to the notification centre and re-reads the status either way.
    void installHook(HookKind kind, bool replacingConflictingStatusLine = false);
    void uninstallHook(HookKind kind);
    void uninstallAllHooks();

    // ---- Font size ---------------------------------------------------------------------------
    void increaseTerminalFontSize();
    void decreaseTerminalFontSize();
    void resetTerminalFontSize();
    // Clamps to 8 ... 32, stores it and applies it to every terminal; the control bar's buttons.
    void setTerminalFontSize(double size);

    // ---- Tile operations and pinned projects -------------------------------------------------
    // Opens a tile running the login shell in its controller's start folder; returns its id.
    QUuid createTerminalTile();
    // Ends the tile's shell and forgets the tile; an unknown id is harmless.
    void closeTerminalTile(const QUuid& id);
    // Whether the tile's spoken summary may be read; not stored.
    void setConclusionReadingEnabled(bool enabled, const QUuid& tile);
    const QMap<QUuid, bool>& tileConclusionReadingEnabled() const { return terminals_.conclusionReadingEnabled(); }
    // Pins a folder once per exact path.
    void addPinnedProject(const QString& path);
    void removePinnedProject(const QUuid& id);
    // Opens a tile in the pinned folder and types "claude" (or "claude --continue") into it.
    void launchPinnedProject(const PinnedProject& project, bool asResume);

    // ---- Tiles -------------------------------------------------------------------------------
    const DashboardTiles::Controllers& terminalControllers() const { return terminals_.controllers(); }

signals:
    void tilesChanged();
    void knownTilesChanged();
    void usageSummaryChanged();
    void planUsageChanged();
    void terminalTilesChanged();
    void voicevoxEngineStatusChanged();
    void hookInstallationStatusChanged();
    void liveShellCwdsChanged();
    void settingsSelectedTabChanged();
    void claudeHomeAccessStatusChanged();
    void focusedTerminalTileIdChanged();
    void terminalFontSizeChanged();
    // The views lay out and repaint every tile's terminal (forceRedrawAllTerminalViews).
    void terminalRedrawRequested();
    void layoutPresetChanged();
    void pageIndexChanged();
    void gridOrderingChanged();
    void isOnboardingPresentedChanged();
    void pinnedProjectsChanged();
    void isAnnouncementsEnabledChanged();
    void announcementVoiceChanged();
    void isVoicevoxAutoLaunchEnabledChanged();
    void readingDictionaryChanged();
    void isConclusionReadingDefaultEnabledChanged();
    void completionAnnouncementThresholdChanged();
    void conclusionReadingBusyThresholdChanged();
    void isInlineCostDisplayEnabledChanged();

private:
    void handleWatcherEvent(SessionWatcherEvent event);
    void handleWatcherNotification();
    void pollFocus();
    void persistNewGridOrderingIfNeeded();
    void setGridOrdering(GridOrdering ordering);

    Parameters parameters_;

    QList<SessionTile> tiles_;
    QMap<QString, SessionTile> knownTiles_;
    UsageSummary usageSummary_ = UsageSummary::unavailable();
    std::optional<PlanUsageSummary> planUsage_;
    QList<TerminalTile> terminalTiles_;
    std::optional<QUuid> focusedTerminalTileId_;
    double terminalFontSize_;
    std::unique_ptr<DashboardPreferences> preferences_;
    std::unique_ptr<DashboardPages> pages_;
    std::unique_ptr<DashboardSpeechEngine> speechEngine_;
    std::unique_ptr<DashboardAnnouncements> announcements_;
    HookInstallationStatus hookInstallationStatus_;
    QList<PinnedProject> pinnedProjects_;
    QMap<QUuid, QString> liveShellCwds_;
    SettingsTab settingsSelectedTab_ = SettingsTab::announcement;
    ClaudeHomeAccessStatus claudeHomeAccessStatus_ = ClaudeHomeAccessStatus::unknown;
    bool isOnboardingPresented_ = false;

    // Holds the tiles' controllers.
    DashboardTiles terminals_;
    QMap<int32_t, AnnouncementConclusion> latestConclusions_;

    QMetaObject::Connection watchConnection_;
    QTimer* debounceTimer_ = nullptr;
    QTimer* focusPollTimer_ = nullptr;

    // Refresh and reconciliation.
    void applyRefreshPass(const RefreshPass& pass);
    void reconcileTerminalTiles(const QMap<QString, SessionTile>& statusTiles,
                                const QList<SessionFileRecord>& rawRecords, const ProcessTreeSnapshot& processTree,
                                const QMap<QUuid, QString>& liveCwds, const QDateTime& now);
    void logGridRebuild() const;
    // Destroyed before the tiles' controllers: it waits for the reads still running.
    std::unique_ptr<DashboardRefresh> refresh_;

    // Tile operations.
    TerminalProcessController& registerTerminalTile(const QUuid& id, const ProjectDisplayName& projectName);
    bool startShell(TerminalProcessController& controller, const std::optional<QString>& directory);
    void savePinnedProjects(QList<PinnedProject> projects);

    // Tests reach the announcement state the refresh fills in through the seam.
    friend struct DashboardViewModelTestSeam;

    // Preferences and user actions.
    void runHookAction(const std::function<HookInstaller::Outcome()>& action, const QString& dedupeKey,
                       const QString& title);
};

} // namespace brisvane
