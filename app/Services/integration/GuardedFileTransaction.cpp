#include "app/Services/integration/GuardedFileTransaction.hpp"

#include <QUuid>

namespace brisvane::GuardedFileTransaction {

namespace {

// Enough for any burst of edits a person can make in one second.
constexpr int kMaxBackupsPerSecond = 100;

Result<void, Failure> createBackup(const Snapshot& snapshot, const QDateTime& now, const FileSystemWriting& writer)
{
    const QString base = snapshot.path + QStringLiteral(".brisvane-backup-") + backupTimestamp(now);
    for (int attempt = 1; attempt <= kMaxBackupsPerSecond; ++attempt) {
        const QString path = attempt == 1 ? base : base + u'-' + QString::number(attempt);
        const auto created = writer.createFile(*snapshot.content, path, snapshot.permissions);
        if (created) return {};
        if (created.error().kind != FileSystemWritingError::Kind::itemExists) break;
    }
    return Failure::backupFailed;
}

// Whether the file still holds what was read (and is still missing if it was).
bool isUnchanged(const Snapshot& snapshot, const FileSystemReading& reader)
{
    const auto current = reader.readData(snapshot.path);
    if (!snapshot.content) return !current && current.error().kind == FileSystemReadingError::Kind::fileNotFound;
    return current && *current == *snapshot.content;
}

} // namespace

QString backupTimestamp(const QDateTime& time)
{
    return time.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
}

Result<Snapshot, Failure> read(const QString& path, const FileSystemReading& reader)
{
    const auto resolved = reader.resolvingSymbolicLinks(path);
    if (!resolved) return Failure::unreadable;
    Snapshot snapshot{*resolved, std::nullopt, std::nullopt};
    auto content = reader.readData(snapshot.path);
    if (!content) {
        if (content.error().kind == FileSystemReadingError::Kind::fileNotFound) return snapshot;
        return Failure::unreadable;
    }
    const auto permissions = reader.permissions(snapshot.path);
    if (!permissions) return Failure::unreadable;
    snapshot.content = std::move(content).value();
    snapshot.permissions = *permissions;
    return snapshot;
}

Result<void, Failure> commit(const Snapshot& snapshot, const QByteArray& content, const QDateTime& now,
                             const FileSystemReading& reader, const FileSystemWriting& writer)
{
    if (snapshot.content) {
        if (auto backup = createBackup(snapshot, now, writer); !backup) return backup;
    }

    const QString temporary =
        snapshot.path + QStringLiteral(".brisvane-tmp-") + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    if (!writer.createFile(content, temporary, snapshot.permissions)) return Failure::writeFailed;
    const auto failing = [&](Failure failure) -> Result<void, Failure> {
        writer.removeItem(temporary);
        return failure;
    };

    const auto written = reader.readData(temporary);
    if (!written || *written != content) return failing(Failure::verificationFailed);
    // The last look before the rename: an edit made since the read is not overwritten.
    if (!isUnchanged(snapshot, reader)) return failing(Failure::changedSinceRead);
    if (!writer.replaceItem(snapshot.path, temporary)) return failing(Failure::writeFailed);
    return {};
}

} // namespace brisvane::GuardedFileTransaction
