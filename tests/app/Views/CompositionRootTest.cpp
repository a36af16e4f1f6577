// The composition root gives the model every service and path: the model fills in nothing.
#include "app/App/ViewCompositionRoot.hpp"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace brisvane;

TEST(CompositionRoot, GivesTheModelEveryPathAndService)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const std::unique_ptr<DashboardViewModel> model = makeViewModel(home.path());
    const DashboardViewModel::Parameters& p = model->parameters();

    const QString agentHome = home.path() + "/.claude";
    EXPECT_EQ(p.claudeHome, agentHome);
    const std::pair<QString, QString> paths[] = {
        {p.sessionsDirectory, agentHome + "/sessions"},
        {p.projectsDirectory, agentHome + "/projects"},
        {p.statsCachePath, agentHome + "/stats-cache.json"},
        {p.planUsagePath, agentHome + "/brisvane-usage.json"},
        {p.conclusionDirectory, agentHome + "/brisvane-say"},
    };
    for (const auto& [given, expected] : paths) EXPECT_EQ(given, expected);

    for (const auto* speaker : {&p.announcementSpeaker, &p.zundamonSpeaker, &p.tohokuZunkoSpeaker,
                                &p.kuronoTakehiroSpeaker, &p.aoyamaRyuuseiSpeaker, &p.kotoneNiaSpeaker})
        EXPECT_NE(*speaker, nullptr);
    EXPECT_NE(p.zundamonSpeaker, p.kotoneNiaSpeaker) << "one VOICEVOX speaker per voice";
    EXPECT_TRUE(p.fileSystem && p.watcher && p.pathExistenceChecker && p.userDefaults && p.appNotificationCenter);
    EXPECT_TRUE(p.hookInstaller && p.voicevoxEngineProbe && p.voicevoxAppLauncher);
    EXPECT_TRUE(p.clock && p.processTreeProvider && p.shellCwdProvider && p.fileOpener);
    EXPECT_EQ(p.homeDirectory, QDir::homePath());
    EXPECT_EQ(p.hookInstaller->configuration().settingsPath, agentHome + "/settings.json");
}
