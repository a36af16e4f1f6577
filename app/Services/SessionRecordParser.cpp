#include "app/Services/SessionRecordParser.hpp"

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
    const auto names = fileSystem.contentsOfDirectory(directory);
    if (!names) return records;
    for (const QString& name : *names) {
        if (!isSessionFileName(name)) continue;
        if (auto record = readRecord(directory + u'/' + name, fileSystem)) records.append(std::move(*record));
    }
    return records;
}

} // namespace brisvane::SessionRecordParser
