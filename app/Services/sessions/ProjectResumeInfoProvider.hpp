#pragma once

#include "app/Services/platform/FileSystemReading.hpp"

#include <QDateTime>
#include <QString>

#include <optional>

namespace brisvane::ProjectResumeInfoProvider {

// When the agent last wrote a transcript for this working directory: the latest modification
// time of the ".jsonl" files in its project folder; nothing when there is none or the folder
// cannot be listed.
std::optional<QDateTime> lastConversationDate(const QString& cwd, const QString& projectsDirectory,
                                              const FileSystemReading& fileSystem);

} // namespace brisvane::ProjectResumeInfoProvider
