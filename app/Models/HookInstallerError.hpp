#pragma once

#include <QString>

namespace brisvane {

// Why an install or removal of an integration failed. No error of the file layer reaches the
// caller: each is mapped to one of these.
struct HookInstallerError {
    enum class Kind {
        bundledScriptMissing, // the application's copy of the script cannot be read
        scriptCopyFailed,     // the script cannot be placed in the installed-scripts folder
        statusLineConflict,   // another status-line command is set and replacing was not asked for
        settingsUnreadable,   // the settings file exists but cannot be read
        settingsInvalidJSON,  // the settings file is not JSON, or not an object at its top
        backupFailed,
        writeFailed,
        verificationFailed, // the edit would drop a key, the new file does not read back, or the file
                            // changed while it was being edited
    };

    Kind kind = Kind::writeFailed;
    // The script's file name for the two script errors, the other command for a conflict.
    QString detail;

    // The localised sentence shown as the notification's detail.
    QString userMessage() const;

    friend bool operator==(const HookInstallerError&, const HookInstallerError&) = default;
};

} // namespace brisvane
