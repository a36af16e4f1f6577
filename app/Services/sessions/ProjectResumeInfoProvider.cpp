#include "app/Services/sessions/ProjectResumeInfoProvider.hpp"

#include "app/Services/sessions/ClaudeProjectDirectoryNameEncoder.hpp"

namespace brisvane::ProjectResumeInfoProvider {

std::optional<QDateTime> lastConversationDate(const QString& cwd, const QString& projectsDirectory,
                                              const FileSystemReading& fileSystem)
{
    const QString directory = projectsDirectory + u'/' + ClaudeProjectDirectoryNameEncoder::encode(cwd);
    const auto names = fileSystem.contentsOfDirectory(directory);
    if (!names) return std::nullopt;
    std::optional<QDateTime> latest;
    for (const QString& name : *names) {
        if (!name.endsWith(QLatin1String(".jsonl"))) continue;
        const auto date = fileSystem.modificationDate(directory + u'/' + name);
        if (date && (!latest || *date > *latest)) latest = *date;
    }
    return latest;
}

} // namespace brisvane::ProjectResumeInfoProvider
