#pragma once

#include <QString>

namespace brisvane {

// Why an edit of the agent's global CLAUDE.md failed; the file is unchanged in every case.
struct ClaudeMdEditorError {
    enum class Kind {
        readFailed, // the file exists but cannot be read, or is not UTF-8
        backupFailed,
        writeFailed,
        verificationFailed, // the new file does not read back, or the file changed while being edited
    };

    Kind kind = Kind::writeFailed;

    // The localised sentence the onboarding shows.
    QString userMessage() const;

    friend bool operator==(const ClaudeMdEditorError&, const ClaudeMdEditorError&) = default;
};

} // namespace brisvane
