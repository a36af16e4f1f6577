#pragma once

// Readable failure messages for the agent-integration types.

#include "app/Models/ClaudeCLIDetectionResult.hpp"
#include "app/Models/ClaudeMdEditorError.hpp"
#include "app/Models/HookInstallationStatus.hpp"
#include "app/Models/HookInstallerError.hpp"

#include <QString>

#include <ostream>

namespace brisvane {

inline void PrintTo(const HookInstallState& state, std::ostream* out)
{
    static const char* const kNames[] = {"conflicting", "notInstalled", "installed"};
    *out << kNames[static_cast<int>(state.kind)];
    if (state.kind == HookInstallState::Kind::conflicting) *out << "(" << state.existingCommand.toStdString() << ")";
}

inline void PrintTo(const HookInstallationStatus& status, std::ostream* out)
{
    static const char* const kScripts[] = {"notInstalled", "upToDate", "outdated"};
    *out << "{readable=" << status.isSettingsReadable << " exists=" << status.settingsFileExists
         << " scripts=" << kScripts[static_cast<int>(status.scripts)] << " statusLine=";
    PrintTo(status.statusLine, out);
    *out << " stop=";
    PrintTo(status.stop, out);
    *out << "}";
}

inline void PrintTo(const HookInstallerError& error, std::ostream* out)
{
    *out << "hook installer error " << static_cast<int>(error.kind) << " (" << error.detail.toStdString() << ")";
}

inline void PrintTo(const ClaudeMdEditorError& error, std::ostream* out)
{
    *out << "CLAUDE.md editor error " << static_cast<int>(error.kind);
}

inline void PrintTo(const ClaudeCLIDetectionResult& result, std::ostream* out)
{
    *out << (result.isFound ? "found " : "not found ") << result.path.value_or(QString()).toStdString();
}

} // namespace brisvane
