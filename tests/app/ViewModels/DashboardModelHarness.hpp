#pragma once

// A dashboard model for tests: in-memory preferences, a watcher moved by hand and a model that
// refreshes only when told. Nothing here touches the real home.
//
// The model fills in no parameter: `modelParameters` gives the agent home's as the application
// has them, and no VOICEVOX voices (a test that speaks in one gives it).

#include "app/App/CompositionRoot.hpp"
#include "app/Services/platform/InMemoryPreferences.hpp"
#include "app/ViewModels/DashboardViewModel.hpp"

#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace brisvane::test {

inline constexpr int kPatienceMs = 20'000;

class HandWatcher final : public SessionChangeWatching {
public:
    void start() override {}
    void stop() override {}
    void pollNow() override {}
};

inline DashboardViewModel::Parameters modelParameters(const QString& claudeHome,
                                                      std::shared_ptr<Preferences> preferences,
                                                      std::shared_ptr<AppNotificationCenter> center)
{
    DashboardViewModel::Parameters p = agentHomeParameters(claudeHome);
    p.watcher = std::make_unique<HandWatcher>();
    p.userDefaults = std::move(preferences);
    p.appNotificationCenter = std::move(center);
    p.focusedTileId = [] { return std::optional<QUuid>(); };
    return p;
}

// Waits until every pass started so far has come in (applied or dropped as stale).
inline bool waitForRefreshes(const DashboardViewModel& model)
{
    return QTest::qWaitFor([&] { return model.refreshesInFlight() == 0; }, kPatienceMs);
}

// One pass, waited for; whether it came in and was applied.
inline bool refreshAndWait(DashboardViewModel& model)
{
    model.refresh();
    return waitForRefreshes(model) && model.lastAppliedRefresh() == model.refreshCount();
}

} // namespace brisvane::test
