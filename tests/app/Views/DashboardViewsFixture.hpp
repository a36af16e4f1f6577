#pragma once

// A dashboard model for the dashboard's bars, popovers and page: an empty temporary agent home
// (HOME pointing at it), preferences in memory, a speech-engine probe and launcher whose answers
// the test sets, and a recording speaker. Tiles made through the model run real login shells in
// that home.

#include "app/Services/platform/InMemoryPreferences.hpp"
#include "app/ViewModels/DashboardViewModel.hpp"
#include "tests/app/AgentHome.hpp"
#include "tests/app/Services/ScopedHomeEnvironment.hpp"
#include "tests/app/ViewModels/DashboardModelHarness.hpp"
#include "tests/app/Views/SettingsModelFixture.hpp"

#include <gtest/gtest.h>

#include <memory>

namespace brisvane::test {

struct DashboardViewsFixture : ::testing::Test {
    TemporaryHome home{TemporaryHome::Content::empty};
    ScopedHomeEnvironment environment{home.path()};
    std::shared_ptr<InMemoryPreferences> prefs = std::make_shared<InMemoryPreferences>();
    std::shared_ptr<AppNotificationCenter> center =
        std::make_shared<AppNotificationCenter>([] { return QDateTime::currentDateTimeUtc(); });
    std::shared_ptr<ScriptedProbe> probe = std::make_shared<ScriptedProbe>();
    std::shared_ptr<CountingLauncher> launcher = std::make_shared<CountingLauncher>();
    std::shared_ptr<RecordingSpeaker> speaker = std::make_shared<RecordingSpeaker>();
    std::unique_ptr<DashboardViewModel> model;

    // A new model over the same home and preferences, as after a restart.
    void make()
    {
        model.reset();
        DashboardViewModel::Parameters p = modelParameters(home.claudeHome(), prefs, center);
        p.announcementSpeaker = speaker;
        for (auto* voice : {&p.zundamonSpeaker, &p.tohokuZunkoSpeaker, &p.kuronoTakehiroSpeaker,
                            &p.aoyamaRyuuseiSpeaker, &p.kotoneNiaSpeaker})
            *voice = speaker;
        p.voicevoxEngineProbe = probe;
        p.voicevoxAppLauncher = launcher;
        model = std::make_unique<DashboardViewModel>(std::move(p));
    }

    void SetUp() override { make(); }
    void TearDown() override { model.reset(); }

    // Tiles without controllers (no shells): enough for layout and paging.
    static QList<TerminalTile> plainTiles(int count)
    {
        QList<TerminalTile> tiles;
        for (int n = 1; n <= count; ++n) {
            TerminalTile tile;
            tile.id = QUuid(QStringLiteral("{00000000-0000-0000-0000-%1}").arg(n, 12, 10, QLatin1Char('0')));
            tile.projectName.primary = QStringLiteral("project-%1").arg(n);
            tiles << tile;
        }
        return tiles;
    }
};

} // namespace brisvane::test
