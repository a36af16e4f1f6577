#include "app/Services/integration/ClaudeCLIDetector.hpp"

namespace brisvane::ClaudeCLIDetector {

QUrl officialInstallURL()
{
    static const QUrl url(QStringLiteral("https://docs.anthropic.com/en/docs/claude-code/setup"));
    return url;
}

QStringList searchDirectories(const std::optional<QString>& pathEnvironmentVariable, const QString& homeDirectory)
{
    QStringList candidates;
    if (pathEnvironmentVariable) candidates = pathEnvironmentVariable->split(u':', Qt::SkipEmptyParts);
    candidates << homeDirectory + QStringLiteral("/.claude/local") << homeDirectory + QStringLiteral("/.local/bin")
               << homeDirectory + QStringLiteral("/.npm-global/bin") << QStringLiteral("/usr/local/bin")
               << QStringLiteral("/opt/homebrew/bin");
    candidates.removeDuplicates();
    return candidates;
}

ClaudeCLIDetectionResult detect(const std::optional<QString>& pathEnvironmentVariable, const QString& homeDirectory,
                                const std::function<bool(const QString&)>& exists)
{
    for (const QString& directory : searchDirectories(pathEnvironmentVariable, homeDirectory)) {
        const QString candidate = directory + QStringLiteral("/claude");
        if (exists(candidate)) return {true, candidate};
    }
    return {false, std::nullopt};
}

ClaudeCLIDetectionResult detectCurrentEnvironment(const PathExistenceChecking& pathExistenceChecker,
                                                  const QProcessEnvironment& environment, const QString& homeDirectory)
{
    std::optional<QString> path;
    if (environment.contains(QStringLiteral("PATH"))) path = environment.value(QStringLiteral("PATH"));
    return detect(path, homeDirectory, [&](const QString& candidate) { return pathExistenceChecker.fileExists(candidate); });
}

} // namespace brisvane::ClaudeCLIDetector
