#pragma once

#include "app/ViewModels/DashboardViewModel.hpp"
#include "app/Views/DashboardView.hpp"

#include <QString>

#include <memory>

namespace brisvane {

namespace BrisvaneBuildConfiguration {
// True when, of "ja" and "en", the user's preferred languages name "ja" first.
bool isJapaneseLocale();
} // namespace BrisvaneBuildConfiguration

// The model's parameters that follow from the agent's home `claudeHome` and this machine: the
// home's files, the local file reader and existence checks, the current time and calendar, the
// process table and the shells' folders from /proc, the hook installer over the home and the
// default support folder, the user's home folder and the desktop's opener. The watcher, preferences, notification centre, voices and engine are
// left to the caller.
DashboardViewModel::Parameters agentHomeParameters(const QString& claudeHome);

// Builds every long-lived service once, and the one dashboard model over them. Starts nothing:
// the only side effect is bringing installed hook scripts up to date. `home` is the user's home
// folder (the agent's files live under "<home>/.claude").
std::unique_ptr<DashboardViewModel> makeViewModel(const QString& home);

// What the window's views act through: the onboarding's editor of "<agent home>/CLAUDE.md" over
// the local file system, the model's preferences and opener for files and links, the
// settings window, the current time and this process's command search; the toasts' opener of the
// system settings' explanation.
DashboardView::Dependencies makeViewDependencies(DashboardViewModel& model);

} // namespace brisvane
