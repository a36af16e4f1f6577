#include "app/Services/sessions/SessionRecordParser.hpp"

#include "app/Services/tiles/TerminalSessionRegistry.hpp"

namespace brisvane::SessionRecordParser {

namespace {
const QString kSuffix = QStringLiteral(".json");
} // namespace

bool isSessionFileName(const QString& name)
{
    return name.endsWith(kSuffix, Qt::CaseSensitive);
}

QString sessionKey(const QString& fileName)
{
    return fileName.chopped(kSuffix.size());
}

std::optional<SessionRecord> readRecord(const QString& path, const FileSystemReading& fileSystem)
{
    const auto data = fileSystem.readData(path);
    if (!data) return std::nullopt;
    return SessionRecord::decode(*data);
}

QList<SessionRecord> parseAll(const QString& directory, const FileSystemReading& fileSystem)
{
    QList<SessionRecord> records;
    for (SessionFileRecord& file : TerminalSessionRegistry::readSessionFiles(directory, fileSystem))
        records.append(std::move(file.record));
    return records;
}

} // namespace brisvane::SessionRecordParser
