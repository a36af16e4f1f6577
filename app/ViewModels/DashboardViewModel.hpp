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
#include "app/Models/ReadingDictionary.hpp"
#include "app/Models/SessionTile.hpp"
#include "app/Models/SessionWatcherEvent.hpp"
#include "app/Models/SettingsTab.hpp"
#include "app/Models/TerminalTile.hpp"
#include "app/Models/UsageSummary.hpp"
#include "app/Models/VoicevoxEngineStatus.hpp"
#include "app/Services/AnnouncementEngine.hpp"
#include "app/Services/AnnouncementSpeaking.hpp"
#include "app/Services/AppNotificationCenter.hpp"
#include "app/Services/FileSystemReading.hpp"
#include "app/Services/GridOrdering.hpp"
#include "app/Services/HookInstaller.hpp"
#include "app/Services/PathExistenceChecking.hpp"
#include "app/Services/Preferences.hpp"
#include "app/Services/SessionChangeWatching.hpp"
#include "app/Services/VoicevoxAppLaunching.hpp"
#include "app/Services/VoicevoxEngineProbing.hpp"

#include <QDateTime>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QUuid>

#include <functional>
#include <map>
#include <memory>
#include <optional>

class QTimer;
class QWidget;

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
    // What the composition root hands in. The intervals are honoured as given (the model waits
    // what it is told), so tests can run the loops fast.
    struct Parameters {
        QString sessionsDirectory;
        QString claudeHome;
        std::shared_ptr<const FileSystemReading> fileSystem;
        // Owned by the model from here on.
        std::unique_ptr<SessionChangeWatching> watcher;
        std::optional<QString> projectsDirectory;
        std::optional<QString> statsCachePath;
        std::optional<QString> planUsagePath;
        std::optional<QString> conclusionDirectory;
        double debounceInterval = 0.2;
        double terminatedRetention = 300;
        std::function<QDateTime()> clock = [] { return QDateTime::currentDateTimeUtc(); };
        Calendar calendar = Calendar::current();
        std::shared_ptr<const PathExistenceChecking> pathExistenceChecker;
        bool isInternalBuild = false;
        bool isJapaneseLocale = true;
        std::shared_ptr<Preferences> userDefaults;
        std::shared_ptr<AppNotificationCenter> appNotificationCenter;
        double focusPollInterval = 0.3;
        // Absent: the installer over the agent's home and the default support folder.
        std::optional<HookInstaller> hookInstaller;
        // Absent: an engine with the stored completion threshold.
        std::unique_ptr<AnnouncementEngine> announcementEngine;
        // The system voice; the fallback of the VOICEVOX voices.
        std::shared_ptr<AnnouncementSpeaking> announcementSpeaker;
        // Absent: a VOICEVOX speaker each (speakers 3, 107, 11, 13 and 74).
        std::shared_ptr<AnnouncementSpeaking> zundamonSpeaker;
        std::shared_ptr<AnnouncementSpeaking> tohokuZunkoSpeaker;
        std::shared_ptr<AnnouncementSpeaking> kuronoTakehiroSpeaker;
        std::shared_ptr<AnnouncementSpeaking> aoyamaRyuuseiSpeaker;
        std::shared_ptr<AnnouncementSpeaking> kotoneNiaSpeaker;
        std::shared_ptr<VoicevoxEngineProbing> voicevoxEngineProbe;
        std::shared_ptr<VoicevoxAppLaunching> voicevoxAppLauncher;
        double voicevoxEnginePollInterval = 20;
        // The widget holding the keyboard focus; the application's by default.
        std::function<QWidget*()> focusWidget;
    };

    explicit DashboardViewModel(Parameters parameters, QObject* parent = nullptr);
    ~DashboardViewModel() override;

    // ---- Lifecycle ---------------------------------------------------------------------------
    // Refreshes once and starts the watch loop and the focus poll; shows the onboarding on a
    // first start. Starting again restarts each loop (one of each runs).
    void start();
    // Ends every loop, stops the watcher and ends every tile's shell; the tiles stay.
    void stop();
    void handleDidBecomeActive();
    void forceRedrawAllTerminalViews();
    // One refresh pass of the session state (its workers and their results come with the refresh).
    void refresh();
    int refreshCount() const { return refreshCount_; }
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
    bool isAnnouncementsEnabled() const { return isAnnouncementsEnabled_; }
    AnnouncementVoice announcementVoice() const { return announcementVoice_; }
    VoicevoxEngineStatus voicevoxEngineStatus() const { return voicevoxEngineStatus_; }
    bool isVoicevoxAutoLaunchEnabled() const { return isVoicevoxAutoLaunchEnabled_; }
    const ReadingDictionary& readingDictionary() const { return readingDictionary_; }
    bool isConclusionReadingDefaultEnabled() const { return isConclusionReadingDefaultEnabled_; }
    AnnouncementThresholdPreset completionAnnouncementThreshold() const { return completionAnnouncementThreshold_; }
    AnnouncementThresholdPreset conclusionReadingBusyThreshold() const { return conclusionReadingBusyThreshold_; }
    bool isInlineCostDisplayEnabled() const { return isInlineCostDisplayEnabled_; }
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
    const GridLayoutPreset& layoutPreset() const { return layoutPreset_; }
    // The layout picker stores the preset's id itself; the model only holds it.
    void setLayoutPreset(const GridLayoutPreset& preset);
    const GridOrdering& gridOrdering() const { return gridOrdering_; }
    // Every terminal tile in order, then the new-terminal tile.
    QList<GridTile> gridTiles() const;
    QList<QList<GridTile>> pages() const;
    QList<GridTile> currentPage() const;
    int currentPageIndex() const;
    void nextPage();
    void previousPage();
    void moveTile(const QString& id, const QString& beforeId);

    // ---- Refresh and reconciliation -----------------------------------------------------------

    // ---- Announcements and speech engine -------------------------------------------------------
    // Decides and speaks what the tiles' sessions call for; run after every reconciliation.
    void evaluateAnnouncements(const QDateTime& now);

    // ---- Preferences and user actions ----------------------------------------------------------

    // ---- Font size ---------------------------------------------------------------------------
    void increaseTerminalFontSize();
    void decreaseTerminalFontSize();
    void resetTerminalFontSize();

    // ---- Tile operations and pinned projects -------------------------------------------------

    // ---- Tiles -------------------------------------------------------------------------------
    const std::map<QUuid, std::unique_ptr<TerminalProcessController>>& terminalControllers() const
    {
        return terminalControllers_;
    }

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
    void layoutPresetChanged();
    void pageIndexChanged();
    void gridOrderingChanged();
    void isOnboardingPresentedChanged();
    void pinnedProjectsChanged();

private:
    void handleWatcherEvent(SessionWatcherEvent event);
    void handleWatcherNotification();
    void pollFocus();
    void setTerminalFontSize(double size);
    void persistNewGridOrderingIfNeeded();
    void setGridOrdering(GridOrdering ordering);

    Parameters parameters_;

    QList<SessionTile> tiles_;
    QMap<QString, SessionTile> knownTiles_;
    UsageSummary usageSummary_ = UsageSummary::unavailable();
    std::optional<PlanUsageSummary> planUsage_;
    QList<TerminalTile> terminalTiles_;
    GridLayoutPreset layoutPreset_;
    std::optional<QUuid> focusedTerminalTileId_;
    double terminalFontSize_;
    bool isAnnouncementsEnabled_ = true;
    AnnouncementVoice announcementVoice_ = AnnouncementVoice::system;
    VoicevoxEngineStatus voicevoxEngineStatus_ = VoicevoxEngineStatus::unknown;
    bool isVoicevoxAutoLaunchEnabled_ = true;
    ReadingDictionary readingDictionary_;
    bool isConclusionReadingDefaultEnabled_ = false;
    AnnouncementThresholdPreset completionAnnouncementThreshold_;
    AnnouncementThresholdPreset conclusionReadingBusyThreshold_;
    bool isInlineCostDisplayEnabled_ = false;
    HookInstallationStatus hookInstallationStatus_;
    QList<PinnedProject> pinnedProjects_;
    QMap<QUuid, QString> liveShellCwds_;
    SettingsTab settingsSelectedTab_ = SettingsTab::announcement;
    ClaudeHomeAccessStatus claudeHomeAccessStatus_ = ClaudeHomeAccessStatus::unknown;
    bool isOnboardingPresented_ = false;

    int pageIndexRaw_ = 0;
    GridOrdering gridOrdering_;
    std::map<QUuid, std::unique_ptr<TerminalProcessController>> terminalControllers_;
    QMap<QUuid, int32_t> attachedPid_;
    QMap<QUuid, bool> tileConclusionReadingEnabled_;
    QMap<int32_t, AnnouncementConclusion> latestConclusions_;
    std::optional<QDateTime> lastVoicevoxLaunchAttempt_;

    QMetaObject::Connection watchConnection_;
    QTimer* debounceTimer_ = nullptr;
    QTimer* focusPollTimer_ = nullptr;
    int refreshCount_ = 0;
};

} // namespace brisvane
