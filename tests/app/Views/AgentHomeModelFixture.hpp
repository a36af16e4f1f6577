#pragma once

// A dashboard model over a fresh, empty agent home of its own: the agent's settings, its
// CLAUDE.md and the installed hook scripts all live in a temporary folder that each test owns.

#include "app/Services/integration/HookInstaller.hpp"
#include "tests/app/AgentHome.hpp"
#include "tests/app/Views/SettingsModelFixture.hpp"

namespace brisvane::test {

struct AgentHomeModelFixture : ::testing::Test {
    TemporaryHome home{TemporaryHome::Content::empty};
    std::shared_ptr<CountingPreferences> prefs = std::make_shared<CountingPreferences>();
    std::unique_ptr<DashboardViewModel> model;
    // What the model (and the onboarding's command search) asks whether a path exists.
    std::shared_ptr<const PathExistenceChecking> pathExistenceChecker = std::make_shared<LocalPathExistenceChecker>();

    QString claudeHome() const { return home.claudeHome(); }
    QString settingsPath() const { return home.claudeHome() + QStringLiteral("/settings.json"); }
    QString supportDirectory() const { return home.path() + QStringLiteral("/support"); }
    QString scriptsDirectory() const { return supportDirectory() + QStringLiteral("/hooks"); }

    // `claudeHome` replaces the home's agent folder (a path with unusual characters, say).
    void make(bool isJapaneseLocale = true, std::optional<QString> claudeHome = std::nullopt)
    {
        model.reset();
        DashboardViewModel::Parameters p = modelParameters(
            claudeHome.value_or(home.claudeHome()), prefs, std::make_shared<AppNotificationCenter>([] { return QDateTime::currentDateTimeUtc(); }));
        p.isJapaneseLocale = isJapaneseLocale;
        p.pathExistenceChecker = pathExistenceChecker;
        p.hookInstaller = std::make_shared<HookInstaller>(HookInstaller::makeDefault(p.claudeHome, supportDirectory()));
        p.voicevoxEngineProbe = std::make_shared<ScriptedProbe>();
        p.voicevoxAppLauncher = std::make_shared<CountingLauncher>();
        model = std::make_unique<DashboardViewModel>(std::move(p));
    }

    void SetUp() override { make(); }

    void writeSettings(const QByteArray& json) { writeFile(settingsPath(), json); }
    QByteArray settings() const { return readFile(settingsPath()); }
};

} // namespace brisvane::test
