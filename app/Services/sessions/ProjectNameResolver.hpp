#pragma once

#include "app/Models/ProjectDisplayName.hpp"

#include <QString>

#include <optional>

namespace brisvane::ProjectNameResolver {

// The label of a session's project: the last folder of `cwd` as the primary line and the
// session's name as the second when it differs; without a folder, the name (or the localised
// "unknown project") marked as a fallback. Surrounding blanks of both inputs are ignored.
ProjectDisplayName resolve(const std::optional<QString>& cwd, const std::optional<QString>& name);
// The localised "unknown project".
QString unknownProjectName();

} // namespace brisvane::ProjectNameResolver
