#pragma once

#include "app/Services/platform/FileSystemReading.hpp"

namespace brisvane {

// `FileSystemReading` over POSIX calls. Only regular files are read: a FIFO or device named like
// a session file fails at once instead of blocking the reader.
class LocalFileSystemReader final : public FileSystemReading {
public:
    // Whole-file reads stop here; transcripts are only ever read by their tails or in chunks.
    static constexpr int64_t kMaxWholeFileBytes = 16 * 1024 * 1024;
    // The largest chunk `readChunks` hands over, whatever is asked.
    static constexpr int64_t kMaxChunkBytes = 16 * 1024 * 1024;
    // The system's own limit on links followed in one path.
    static constexpr int kMaxSymbolicLinks = 40;

    Result<QStringList, FileSystemReadingError> contentsOfDirectory(const QString& path) const override;
    Result<QDateTime, FileSystemReadingError> modificationDate(const QString& path) const override;
    Result<FileTail, FileSystemReadingError> readTail(const QString& path, int64_t maxBytes) const override;
    Result<QByteArray, FileSystemReadingError> readData(const QString& path) const override;
    bool fileExists(const QString& path) const override;
    Result<FileVersion, FileSystemReadingError> fileVersion(const QString& path) const override;
    // Streams through one buffer; bytes appended after the open are left for the next read.
    Result<FileVersion, FileSystemReadingError> readChunks(const QString& path, int64_t chunkBytes,
                                                           const std::function<bool(QByteArrayView)>& consume,
                                                           const ChunkRange& range = {}) const override;
    // Follows at most kMaxSymbolicLinks links; a longer chain (a loop) is ioFailed.
    Result<QString, FileSystemReadingError> resolvingSymbolicLinks(const QString& path) const override;
    Result<int, FileSystemReadingError> permissions(const QString& path) const override;

    // The error value for a failed system call: ENOENT is fileNotFound, EACCES and EPERM are
    // permissionDenied, everything else ioFailed.
    static FileSystemReadingError errorFor(int errorNumber, const QString& path);
};

} // namespace brisvane
