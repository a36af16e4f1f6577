#pragma once

#include "app/Models/FileSystemWritingError.hpp"
#include "app/Models/Result.hpp"

#include <QByteArray>
#include <QString>

#include <optional>

namespace brisvane {

// Creating folders and writing, replacing and removing files. Implementations keep no mutable
// state and may be called from any thread at once.
class FileSystemWriting {
public:
    using Outcome = Result<void, FileSystemWritingError>;

    virtual ~FileSystemWriting() = default;

    // Writes the bytes atomically: the path holds either its old content or all of the new.
    virtual Outcome write(const QByteArray& data, const QString& path) const = 0;
    // Creates a new file holding the bytes, flushed to disk, with exactly the given permission
    // bits (0777), or the usual mode under the umask when none are given. Fails with itemExists
    // when anything is at the path already, a dangling symbolic link included; any other failure
    // leaves nothing behind. Backups never replace an earlier backup this way.
    virtual Outcome createFile(const QByteArray& data, const QString& path, std::optional<int> permissions) const = 0;
    // Creates the folder and any missing parents; an existing folder is success.
    virtual Outcome createDirectory(const QString& path) const = 0;
    // Puts the file at `source` in place of `target` (consuming `source`); an error names `target`.
    virtual Outcome replaceItem(const QString& target, const QString& source) const = 0;
    // Removes a file or a folder with its contents; nothing at the path is success.
    virtual Outcome removeItem(const QString& path) const = 0;
    // Sets the mode to rwxr-xr-x.
    virtual Outcome setExecutable(const QString& path) const = 0;
};

} // namespace brisvane
