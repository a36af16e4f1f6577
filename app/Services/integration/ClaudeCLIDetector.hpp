#pragma once

#include "app/Models/ClaudeCLIDetectionResult.hpp"
#include "app/Services/platform/PathExistenceChecking.hpp"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <optional>

// Looks for the agent's command `claude` where it is usually installed. Runs nothing; only looks
// at the file system.
namespace brisvane::ClaudeCLIDetector {

// The agent vendor's setup page, offered when the command is not found.
QUrl officialInstallURL();

// The PATH entries (empty ones dropped), then <home>/.claude/local, <home>/.local/bin,
// <home>/.npm-global/bin, /usr/local/bin and /opt/homebrew/bin; repeated strings kept once, at
// their first place. Nothing is normalised: "/usr/local/bin/" and "/usr/local/bin" both stay.
QStringList searchDirectories(const std::optional<QString>& pathEnvironmentVariable, const QString& homeDirectory);
// The first `<directory>/claude` for which `exists` answers true.
ClaudeCLIDetectionResult detect(const std::optional<QString>& pathEnvironmentVariable, const QString& homeDirectory,
                                 const std::function<bool(const QString&)>& exists);
// `detect` with the environment's PATH and the checker's test (anything at the path counts, a
// folder too; the executable bit is not examined).
ClaudeCLIDetectionResult detectCurrentEnvironment(const PathExistenceChecking& pathExistenceChecker,
                                                  const QProcessEnvironment& environment, const QString& homeDirectory);

} // namespace brisvane::ClaudeCLIDetector
