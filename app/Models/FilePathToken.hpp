#pragma once

#include <QString>

namespace brisvane {

// A path-like piece of one line of text. Columns count user-perceived characters (grapheme
// clusters) of the line, not bytes and not terminal cells; `endColumn` is exclusive.
struct FilePathToken {
    // Without the quotes that surrounded it, if any.
    QString text;
    int startColumn = 0;
    int endColumn = 0;

    friend bool operator==(const FilePathToken&, const FilePathToken&) = default;
};

} // namespace brisvane
