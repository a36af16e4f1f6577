#pragma once

#include <QString>

namespace brisvane {

// Why a tile's shell was not started.
struct TerminalLaunchError {
    enum class Kind {
        // The folder lies where the shell must not start (a mounted volume).
        directoryRefused,
        // The shell could not be started; `detail` says why.
        shellNotStarted,
    };

    Kind kind = Kind::shellNotStarted;
    // The system's reason, for the notice's detail; empty for a refused folder.
    QString detail;

    friend bool operator==(const TerminalLaunchError&, const TerminalLaunchError&) = default;
};

} // namespace brisvane
