#pragma once

#include "app/Models/HookInstallState.hpp"

#include <QString>

namespace brisvane {

// The installed scripts against the application's own copies.
enum class HookScriptsState {
    notInstalled, // neither script is installed
    upToDate,
    outdated, // an installed script differs from the application's copy
};

// "未配置", "最新" or "更新あり", localised.
QString displayName(HookScriptsState state);

// What the integration settings show: whether the agent's settings could be read, and the state of
// the scripts and of each integration.
struct HookInstallationStatus {
    bool isSettingsReadable = true;
    bool settingsFileExists = false;
    HookScriptsState scripts = HookScriptsState::notInstalled;
    HookInstallState statusLine;
    HookInstallState stop;

    friend bool operator==(const HookInstallationStatus&, const HookInstallationStatus&) = default;
};

} // namespace brisvane
