#pragma once

#include "app/Services/voice/VoicevoxAppLaunching.hpp"

#include <QString>

#include <optional>

namespace brisvane {

// `VoicevoxAppLaunching` by starting the engine's executable as a detached process, with no
// argument and no shell. The program is the first of `voicevox` in a directory of PATH,
// ~/Applications/VOICEVOX.AppImage and ~/.local/bin/VOICEVOX.AppImage that is an executable file;
// looked up afresh each time, so an engine installed while the application runs is found.
class QProcessVoicevoxAppLauncher final : public VoicevoxAppLaunching {
public:
    // `searchPath`: a PATH value (relative and empty entries are skipped, so nothing is run from
    // the working directory); `homeDirectory`: where the AppImages are looked for, and the
    // program's working directory.
    QProcessVoicevoxAppLauncher(QString searchPath, QString homeDirectory);
    // With this process's PATH and the user's home.
    QProcessVoicevoxAppLauncher();

    bool isInstalled() const override;
    bool launch() override;

    // The program that `launch` would start.
    std::optional<QString> executablePath() const;

private:
    QString searchPath_;
    QString homeDirectory_;
};

} // namespace brisvane
