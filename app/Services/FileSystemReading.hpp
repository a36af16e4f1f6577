#pragma once

#include "app/Models/FileSystemReadingError.hpp"
#include "app/Models/FileTail.hpp"
#include "app/Models/Result.hpp"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace brisvane {

// Reading files and listing folders. Implementations keep no mutable state and may be called
// from any thread at once.
class FileSystemReading {
public:
    virtual ~FileSystemReading() = default;

    // The names (not paths) of the folder's entries, hidden ones included, in the system's order.
    virtual Result<QStringList, FileSystemReadingError> contentsOfDirectory(const QString& path) const = 0;
    // The item's own modification time (a symbolic link is not followed).
    virtual Result<QDateTime, FileSystemReadingError> modificationDate(const QString& path) const = 0;
    // At most the last `maxBytes` bytes of a regular file (a negative count reads nothing).
    virtual Result<FileTail, FileSystemReadingError> readTail(const QString& path, int64_t maxBytes) const = 0;
    // The whole of a regular file, up to a cap.
    virtual Result<QByteArray, FileSystemReadingError> readData(const QString& path) const = 0;
    // Whether anything exists at the path (symbolic links followed).
    virtual bool fileExists(const QString& path) const = 0;
};

} // namespace brisvane
