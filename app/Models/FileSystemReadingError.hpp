#pragma once

#include <QString>

namespace brisvane {

// Why a read, a listing or a stat failed, with the path concerned.
struct FileSystemReadingError {
    enum class Kind {
        fileNotFound,      // nothing at the path (or a missing folder on the way)
        directoryNotFound, // kept for readers other than the local one; the local reader says fileNotFound
        permissionDenied,  // EACCES or EPERM
        notRegularFile,    // a FIFO, device or folder where a file's bytes were asked for
        tooLarge,          // a whole-file read beyond the cap
        ioFailed,          // any other failure of the system (EIO, EMFILE, ENOTDIR, ...)
    };

    Kind kind = Kind::ioFailed;
    QString path;

    // Whether the thing itself is absent, as opposed to present but unreadable.
    bool isNotFound() const { return kind == Kind::fileNotFound || kind == Kind::directoryNotFound; }

    friend bool operator==(const FileSystemReadingError&, const FileSystemReadingError&) = default;
};

} // namespace brisvane
