#pragma once

#include <QString>

#include <array>

namespace brisvane {

// The application's two integrations with the agent: the status-line command and the Stop hook.
enum class HookKind {
    statusLine,
    stop,
};

// Both kinds, in the order the settings show them.
inline constexpr std::array<HookKind, 2> kAllHookKinds{HookKind::statusLine, HookKind::stop};

// "statusLine" or "stop": the key of the kind's notifications.
QString rawValue(HookKind kind);
// The script the kind's entry runs: "brisvane-statusline.sh" or "brisvane-say.sh".
QString scriptFileName(HookKind kind);
// The localised name and one-paragraph description shown by the integration settings.
QString displayName(HookKind kind);
QString summary(HookKind kind);

} // namespace brisvane
