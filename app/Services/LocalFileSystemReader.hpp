#pragma once

#include "app/Services/FileSystemReading.hpp"

namespace brisvane {

// `FileSystemReading` over POSIX calls. Only regular files are read: a FIFO or device named like
// a session file fails at once instead of blocking the reader.
class LocalFileSystemReader final : public FileSystemReading {
public:
    // Whole-file reads stop here; transcripts are only ever read by their tails.
    static constexpr int64_t kMaxWholeFileBytes = 16 * 1024 * 1024;

    Result<QStringList, FileSystemReadingError> contentsOfDirectory(const QString& path) const override;
    Result<QDateTime, FileSystemReadingError> modificationDate(const QString& path) const override;
    Result<FileTail, FileSystemReadingError> readTail(const QString& path, int64_t maxBytes) const override;
    Result<QByteArray, FileSystemReadingError> readData(const QString& path) const override;
    bool fileExists(const QString& path) const override;

    // The error value for a failed system call: ENOENT is fileNotFound, EACCES and EPERM are
    // permissionDenied, everything else ioFailed.
    static FileSystemReadingError errorFor(int errorNumber, const QString& path);
};

} // namespace brisvane
