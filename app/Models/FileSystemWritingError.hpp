#pragma once

#include <QString>

namespace brisvane {

// Why a write, replace, remove or folder creation failed, with the path concerned (the target for
// a replace). The system's own error is dropped once mapped.
struct FileSystemWritingError {
    enum class Kind {
        writeFailed = 0,
        replaceFailed = 1,
        removeFailed = 2,
        createDirectoryFailed = 3,
        itemExists = 4, // an exclusive creation found something at the path
    };

    Kind kind = Kind::writeFailed;
    QString path;

    friend bool operator==(const FileSystemWritingError&, const FileSystemWritingError&) = default;
};

} // namespace brisvane
