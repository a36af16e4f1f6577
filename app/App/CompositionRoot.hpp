#pragma once

#include "app/ViewModels/DashboardViewModel.hpp"

#include <QString>

#include <memory>

namespace brisvane {

namespace BrisvaneBuildConfiguration {
// True when, of "ja" and "en", the user's preferred languages name "ja" first.
bool isJapaneseLocale();
} // namespace BrisvaneBuildConfiguration

// Builds every long-lived service once, and the one dashboard model over them. Starts nothing:
// the only side effect is bringing installed hook scripts up to date. `home` is the user's home
// folder (the agent's files live under "<home>/.claude").
std::unique_ptr<DashboardViewModel> makeViewModel(const QString& home);

} // namespace brisvane
