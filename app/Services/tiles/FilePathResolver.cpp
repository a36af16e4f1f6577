#include "app/Services/tiles/FilePathResolver.hpp"

#include <QDir>

namespace brisvane::FilePathResolver {

namespace {

QString standardized(const QString& path, const QString& homeDirectory)
{
    if (path == u"~") return QDir::cleanPath(homeDirectory);
    if (path.startsWith(u"~/")) return QDir::cleanPath(homeDirectory + path.mid(1));
    return QDir::cleanPath(path);
}

} // namespace

QStringList candidatePaths(const QString& token, const std::optional<QString>& cwd, const QString& homeDirectory)
{
    if (token.startsWith(u'/')) return {token};
    if (token == u"~") return {homeDirectory};
    if (token.startsWith(u"~/")) return {homeDirectory + u'/' + token.mid(2)};
    QStringList candidates;
    if (cwd && !cwd->isEmpty()) candidates.append(*cwd + u'/' + token);
    candidates.append(homeDirectory + QStringLiteral("/Desktop/") + token);
    candidates.append(homeDirectory + QStringLiteral("/Downloads/") + token);
    return candidates;
}

std::optional<ResolvedFilePath> resolve(const QString& token, const std::optional<QString>& cwd,
                                        const QString& homeDirectory, const PathExistenceChecking& existenceChecker)
{
    for (const QString& candidate : candidatePaths(token, cwd, homeDirectory)) {
        const QString path = standardized(candidate, homeDirectory);
        bool isDirectory = false;
        if (existenceChecker.fileExists(path, &isDirectory)) return ResolvedFilePath{path, isDirectory};
    }
    return std::nullopt;
}

} // namespace brisvane::FilePathResolver
