#pragma once

#include "app/Models/SessionRecord.hpp"
#include "app/Services/platform/FileSystemReading.hpp"

#include <QList>
#include <QString>

#include <optional>

namespace brisvane::SessionRecordParser {

// Session files are the names ending in ".json", exactly (".JSON" or "a.json.tmp" are not).
bool isSessionFileName(const QString& name);
// The session's key: the file name without ".json".
QString sessionKey(const QString& fileName);
// One session file read whole and decoded; nothing when it cannot be read or decoded.
std::optional<SessionRecord> readRecord(const QString& path, const FileSystemReading& fileSystem);
// Every decodable session file of the folder, in listing order, non-interactive ones included.
// An unlistable folder gives none; the grid builder is the one that reports it.
QList<SessionRecord> parseAll(const QString& directory, const FileSystemReading& fileSystem);

} // namespace brisvane::SessionRecordParser
