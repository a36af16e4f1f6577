#include "app/App/CompositionRoot.hpp"

#include "app/Services/integration/HookInstaller.hpp"
#include "app/Services/platform/AppNotificationCenter.hpp"
#include "app/Services/platform/LocalFileSystemReader.hpp"
#include "app/Services/platform/LocalFileSystemWriter.hpp"
#include "app/Services/platform/LocalPathExistenceChecker.hpp"
#include "app/Services/platform/QSettingsPreferences.hpp"
#include "app/Services/sessions/ProcessTreeProvider.hpp"
#include "app/Services/sessions/SessionWatcher.hpp"
#include "app/Services/sessions/ShellCwdReader.hpp"
#include "app/Services/tiles/DesktopServicesFileOpener.hpp"
#include "app/Services/voice/QProcessVoicevoxAppLauncher.hpp"
#include "app/Services/voice/QtAudioVoicevoxAudioPlayer.hpp"
#include "app/Services/voice/QtNetworkVoicevoxHTTPClient.hpp"
#include "app/Services/voice/QtNetworkVoicevoxEngineProbe.hpp"
#include "app/Services/voice/QtSystemAnnouncementSpeaker.hpp"
#include "app/Services/voice/VoicevoxSpeaker.hpp"
#include "app/ViewModels/TerminalProcessController.hpp"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>

namespace brisvane {

bool BrisvaneBuildConfiguration::isJapaneseLocale()
{
    static const bool japanese = [] {
        for (const QString& language : QLocale::system().uiLanguages()) {
            if (language.startsWith(QLatin1String("ja"))) return true;
            if (language.startsWith(QLatin1String("en"))) return false;
        }
        return false;
    }();
    return japanese;
}

DashboardViewModel::Parameters agentHomeParameters(const QString& claudeHome)
{
    DashboardViewModel::Parameters p;
    p.claudeHome = claudeHome;
    p.sessionsDirectory = claudeHome + "/sessions";
    p.projectsDirectory = claudeHome + "/projects";
    p.statsCachePath = claudeHome + "/stats-cache.json";
    p.planUsagePath = claudeHome + "/brisvane-usage.json";
    p.conclusionDirectory = claudeHome + "/brisvane-say";
    p.fileSystem = std::make_shared<LocalFileSystemReader>();
    p.pathExistenceChecker = std::make_shared<LocalPathExistenceChecker>();
    p.clock = [] { return QDateTime::currentDateTimeUtc(); };
    p.calendar = Calendar::current();
    p.processTreeProvider = &ProcessTreeProvider::currentSnapshotResult;
    p.shellCwdProvider = &ShellCwdReader::currentWorkingDirectory;
    p.hookInstaller = std::make_shared<HookInstaller>(HookInstaller::makeDefault(claudeHome));
    p.homeDirectory = QDir::homePath();
    p.fileOpener = std::make_shared<DesktopServicesFileOpener>();
    p.focusedTileId = [] { return std::optional<QUuid>(); };
    // A new tile's shell starts in the home folder unless it is given one.
    p.terminalControllerFactory = [home = p.homeDirectory](const QUuid& id) {
        return std::make_unique<TerminalProcessController>(id, home);
    };
    return p;
}

DashboardViewModel::Parameters applicationParameters(const QString& home)
{
    DashboardViewModel::Parameters p = agentHomeParameters(home + "/.claude");
    p.watcher = std::make_unique<SessionWatcher>(p.sessionsDirectory, p.fileSystem, SessionWatcher::Options{});
    // Scripts already installed follow the application's copies; nothing new is installed.
    p.hookInstaller->syncInstalledScriptsIfNeeded();
    p.isJapaneseLocale = BrisvaneBuildConfiguration::isJapaneseLocale();
    p.userDefaults = std::make_shared<QSettingsPreferences>();
    p.appNotificationCenter = std::make_shared<AppNotificationCenter>([] { return QDateTime::currentDateTimeUtc(); });
    auto systemSpeaker = std::make_shared<QtSystemAnnouncementSpeaker>();
    // Silence without a word would leave the user waiting for announcements that never come.
    systemSpeaker->onUnspeakable = [center = std::weak_ptr(p.appNotificationCenter)] {
        if (const auto notifications = center.lock())
            notifications->post(AppNotificationSeverity::error, QStringLiteral("speech.system"),
                                QCoreApplication::translate("CompositionRoot", "システム音声で読み上げられません"));
    };
    p.announcementSpeaker = std::move(systemSpeaker);
    // One VOICEVOX speaker per voice, each falling back to the system voice and reporting its
    // failures to the notification centre.
    const auto makeVoice = [&](AnnouncementVoice voice) -> std::shared_ptr<AnnouncementSpeaking> {
        return std::make_shared<VoicevoxSpeaker>(*VoicevoxSpeaker::speakerId(voice),
                                                 std::make_shared<QtNetworkVoicevoxHTTPClient>(),
                                                 std::make_shared<QtAudioVoicevoxAudioPlayer>(), p.announcementSpeaker,
                                                 DashboardViewModel::makeAppNotificationReporter(p.appNotificationCenter));
    };
    p.zundamonSpeaker = makeVoice(AnnouncementVoice::zundamon);
    p.tohokuZunkoSpeaker = makeVoice(AnnouncementVoice::tohokuZunko);
    p.kuronoTakehiroSpeaker = makeVoice(AnnouncementVoice::kuronoTakehiro);
    p.aoyamaRyuuseiSpeaker = makeVoice(AnnouncementVoice::aoyamaRyuusei);
    p.kotoneNiaSpeaker = makeVoice(AnnouncementVoice::kotoneNia);
    p.voicevoxEngineProbe = std::make_shared<QtNetworkVoicevoxEngineProbe>();
    p.voicevoxAppLauncher = std::make_shared<QProcessVoicevoxAppLauncher>();
    p.debounceInterval = 0.2;
    p.terminatedRetention = 300;
    p.focusPollInterval = 0.3;
    p.voicevoxEnginePollInterval = 20;
    return p;
}

} // namespace brisvane
