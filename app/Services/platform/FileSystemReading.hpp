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
#include <limits>
#include <optional>

namespace brisvane {

// Which regular file stands at a path and how far it reaches: the device and inode tell a file
// replaced under the same name from one that grew.
struct FileVersion {
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t modifiedNanoseconds = 0;

    bool isSameFile(const FileVersion& other) const { return device == other.device && inode == other.inode; }
    friend bool operator==(const FileVersion&, const FileVersion&) = default;
};

// The part of a file `readChunks` reads: from `offset` on, at most `maxBytes`, and nothing (an
// ioFailed error) when the file at the path is no longer `sameFileAs`.
struct ChunkRange {
    int64_t offset = 0;
    int64_t maxBytes = std::numeric_limits<int64_t>::max();
    std::optional<FileVersion> sameFileAs;
};

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
    // The regular file at the path, symbolic links followed. This default, for readers without
    // inodes, reads the whole file for its size and calls every file the same.
    virtual Result<FileVersion, FileSystemReadingError> fileVersion(const QString& path) const
    {
        const auto modified = modificationDate(path);
        if (!modified) return modified.error();
        const auto data = readData(path);
        if (!data) return data.error();
        return FileVersion{0, 0, data->size(), modified->toMSecsSinceEpoch() * 1'000'000};
    }
    // The regular file's bytes within `range`, as the file stood when opened, handed to `consume`
    // in order, at most `chunkBytes` (at least 1) at a time, so that a big file is never held
    // whole; `consume` returns false to stop early. Gives the version of the file opened. This
    // default goes through `readData` and its cap; readers of big files override it.
    virtual Result<FileVersion, FileSystemReadingError> readChunks(const QString& path, int64_t chunkBytes,
                                                                   const std::function<bool(QByteArrayView)>& consume,
                                                                   const ChunkRange& range = {}) const
    {
        const auto version = fileVersion(path);
        if (!version) return version.error();
        if (range.sameFileAs && !version->isSameFile(*range.sameFileAs))
            return FileSystemReadingError{FileSystemReadingError::Kind::ioFailed, path};
        const auto data = readData(path);
        if (!data) return data.error();
        const qsizetype step = std::max<int64_t>(chunkBytes, 1);
        const qsizetype begin = std::clamp<int64_t>(range.offset, 0, data->size());
        const qsizetype end = begin + std::clamp<int64_t>(range.maxBytes, 0, data->size() - begin);
        for (qsizetype offset = begin; offset < end; offset += step) {
            if (!consume(QByteArrayView(*data).sliced(offset, std::min(step, end - offset)))) break;
        }
        return *version;
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
