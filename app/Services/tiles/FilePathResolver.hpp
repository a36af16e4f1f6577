#pragma once

#include "app/Models/ResolvedFilePath.hpp"
#include "app/Services/platform/PathExistenceChecking.hpp"

#include <QString>
#include <QStringList>

#include <optional>

namespace brisvane::FilePathResolver {

// Where a path-like token could point, best first: an absolute token or one of "~" and "~/..."
// has one place; anything else is tried in the shell's folder (when known and not empty), then
// on the Desktop and in Downloads. Joined as they stand, not yet standardised.
QStringList candidatePaths(const QString& token, const std::optional<QString>& cwd, const QString& homeDirectory);
// The first candidate that exists, standardised. Standardising is lexical: a leading "~"
// expanded to the home folder, then "." and ".." and repeated or trailing "/" removed, with no
// look at symbolic links, so "a/link/.." names "a" even where the link leads elsewhere.
std::optional<ResolvedFilePath> resolve(const QString& token, const std::optional<QString>& cwd,
                                        const QString& homeDirectory, const PathExistenceChecking& existenceChecker);

} // namespace brisvane::FilePathResolver
