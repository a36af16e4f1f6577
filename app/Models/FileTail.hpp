#pragma once

#include <QByteArray>

namespace brisvane {

// The last bytes of a file. When `isTruncated` is set the file holds bytes before `data`, so the
// first line in `data` may be partial.
struct FileTail {
    QByteArray data;
    bool isTruncated = false;

    friend bool operator==(const FileTail&, const FileTail&) = default;
};

} // namespace brisvane
