#pragma once

#include "app/Models/FileSystemReadingError.hpp"
#include "app/Models/FileTail.hpp"
#include "app/Models/Result.hpp"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstdint>
#include <functional>

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
    // The regular file's bytes as it stood when opened, handed to `consume` in order, at most
    // `chunkBytes` (at least 1) at a time, so that a big file is never held whole; `consume`
    // returns false to stop early. This default goes through `readData` and its cap; readers of
    // big files override it.
    virtual Result<void, FileSystemReadingError> readChunks(const QString& path, int64_t chunkBytes,
                                                            const std::function<bool(QByteArrayView)>& consume) const
    {
        const auto data = readData(path);
        if (!data) return data.error();
        const qsizetype step = std::max<int64_t>(chunkBytes, 1);
        for (qsizetype offset = 0; offset < data->size(); offset += step) {
            if (!consume(QByteArrayView(*data).sliced(offset, std::min(step, data->size() - offset)))) break;
        }
        return {};
    }
    // Where a write to `path` has to go so that a symbolic link stays a link: the path itself, or,
    // when its last component is a link, the path the chain of links ends at (which need not
    // exist). This default suits readers that know no links.
    virtual Result<QString, FileSystemReadingError> resolvingSymbolicLinks(const QString& path) const { return path; }
    // The permission bits (0777) of the item, links followed, so that copies of a private file
    // stay private. This default suits readers that keep no modes: they cannot tell.
    virtual Result<int, FileSystemReadingError> permissions(const QString& path) const
    {
        return FileSystemReadingError{FileSystemReadingError::Kind::ioFailed, path};
    }
};

} // namespace brisvane
