#pragma once

#include "app/Models/Result.hpp"
#include "app/Services/platform/FileSystemReading.hpp"
#include "app/Services/platform/FileSystemWriting.hpp"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

// The one way a file that belongs to the user (the agent's settings, its CLAUDE.md) is changed:
// read it, let the caller edit it in memory, keep a backup of the old bytes, write the new bytes
// to a temporary file beside it, read that back, check that the file still holds what was read,
// and only then put the new file in place. Until that last rename the file is never touched.
namespace brisvane::GuardedFileTransaction {

enum class Failure {
    unreadable,         // the file exists but cannot be read (or the path cannot be resolved)
    backupFailed,       // no backup could be created
    writeFailed,        // the temporary file could not be written, or could not replace the file
    verificationFailed, // the temporary file did not read back as written
    changedSinceRead,   // someone changed the file after it was read: their edit wins
};

// The file as read, and where its new content has to go.
struct Snapshot {
    // The path with a symbolic link followed to its end: writing there keeps the link a link
    // (users keep these files in a dotfiles repository). Backup and temporary file go beside it.
    QString path;
    // None when nothing is there yet.
    std::optional<QByteArray> content;
    // The file's permission bits, given to the backup and the temporary file so that a private
    // file (settings may hold secrets under "env") is never copied world-readable.
    std::optional<int> permissions;
};

// Reads the file at `path`; only a regular file of bounded size is read.
Result<Snapshot, Failure> read(const QString& path, const FileSystemReading& reader);

// Replaces the file read into `snapshot` by `content`. The backup (only when there was a file)
// is `<path>.brisvane-backup-<timestamp of now>`, with "-2", "-3", ... added when that name is
// taken: a backup is never overwritten. It stays in place whatever happens next. Any failure
// after it leaves the file as it was and removes the temporary file.
Result<void, Failure> commit(const Snapshot& snapshot, const QByteArray& content, const QDateTime& now,
                             const FileSystemReading& reader, const FileSystemWriting& writer);

// "20261209T085516Z": the time in UTC, to the second.
QString backupTimestamp(const QDateTime& time);

} // namespace brisvane::GuardedFileTransaction
