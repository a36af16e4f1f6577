#pragma once

#include "app/ViewModels/DashboardViewModel.hpp"

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

// Builds every long-lived service once: the model's parameters for the application. Starts
// nothing: the only side effect is bringing installed hook scripts up to date. `home` is the
// user's home folder (the agent's files live under "<home>/.claude"). No tile has the focus until
// the views say which one does.
DashboardViewModel::Parameters applicationParameters(const QString& home);

} // namespace brisvane
