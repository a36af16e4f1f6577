#pragma once

#include "app/Models/HookInstallationStatus.hpp"
#include "app/Models/HookInstallerError.hpp"
#include "app/Models/HookKind.hpp"
#include "app/Models/Result.hpp"
#include "app/Services/platform/FileSystemReading.hpp"
#include "app/Services/platform/FileSystemWriting.hpp"

#include <QDateTime>
#include <QJsonObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace brisvane {

struct HookInstallerConfiguration {
    // The agent's settings file.
    QString settingsPath;
    // Where the scripts are installed and run from.
    QString installedScriptsDirectory;
    // The application's own copies of the scripts (a resource folder); none: nothing to install.
    std::optional<QString> bundledScriptsDirectory;
    // The agent home: a command naming a script there still counts as the application's own;
    // nothing is ever written there.
    QString legacyScriptsDirectory;
};

// Installs and removes the status-line command and the Stop hook: copies the kind's script into
// the installed-scripts folder and merges an entry that runs it into the agent's settings. The
// settings change only through `GuardedFileTransaction`, refused when the edit would drop a
// top-level key it may not drop. Holds no state: every call reads the files afresh. Synchronous.
class HookInstaller {
public:
    using Outcome = Result<void, HookInstallerError>;

    HookInstaller(HookInstallerConfiguration configuration, std::shared_ptr<const FileSystemReading> reader,
                  std::shared_ptr<const FileSystemWriting> writer, std::function<QDateTime()> clock);

    // Settings at `claudeHome`/settings.json, scripts installed under `supportDirectory`/hooks
    // (absent: the application's data folder, QStandardPaths::AppDataLocation), the application's
    // copies from its resources, the local file system and the current time.
    static HookInstaller makeDefault(const QString& claudeHome, const std::optional<QString>& supportDirectory = {});

    const HookInstallerConfiguration& configuration() const { return configuration_; }

    // Rewrites each installed script that differs from the application's copy; installs none
    // that is missing. Failures are only logged.
    void syncInstalledScriptsIfNeeded() const;
    // Never fails: unreadable settings read as not readable with both integrations notInstalled.
    HookInstallationStatus currentStatus() const;
    // A foreign status line is replaced only when asked to; otherwise statusLineConflict, with
    // nothing written.
    Outcome install(HookKind kind, bool replacingConflictingStatusLine = false) const;
    // Removes the application's own entry of the kind; the script stays.
    Outcome uninstall(HookKind kind) const;
    // Removes both entries, then the installed-scripts folder.
    Outcome uninstallAll() const;

    // The installed script.
    QString scriptPath(HookKind kind) const;
    // What the settings run: the installed script's path quoted for the shell, which the agent
    // runs its commands through (a bare path with a space would never run).
    QString command(HookKind kind) const;
    // The strings that mark a command as the application's own: the installed path, the legacy
    // path, and the quoted command (a path holding a quote appears escaped in it).
    QStringList ownedCommands(HookKind kind) const;

private:
    Result<QJsonObject, HookInstallerError> loadSettings() const;
    std::optional<QByteArray> bundledScript(HookKind kind) const;
    Outcome installScript(HookKind kind) const;
    HookScriptsState scriptsState() const;
    Outcome updateSettings(const QSet<QString>& allowedRemovals,
                           const std::function<Result<QJsonObject, HookInstallerError>(QJsonObject)>& transform) const;

    HookInstallerConfiguration configuration_;
    std::shared_ptr<const FileSystemReading> reader_;
    std::shared_ptr<const FileSystemWriting> writer_;
    std::function<QDateTime()> clock_;
};

} // namespace brisvane
