#pragma once

#include "app/Services/platform/PathExistenceChecking.hpp"

#include <QList>
#include <QMap>
#include <QString>

#include <optional>
#include <variant>

namespace corvix {
class Terminal;
}

namespace brisvane {

// Finds the paths of existing files on the rows a terminal shows, caching each row's finds by
// the row's text, so an unchanged row costs one extraction and one hash per scan and asks the
// disk nothing. The cache is dropped whole when the shell's folder changes; a file created or
// removed since a row was scanned shows only once the row's text changes.
class FilePathHighlightScanner {
public:
    struct Highlight {
        // Viewport row (0 = top row shown).
        int row = 0;
        int startCell = 0;
        // Exclusive.
        int endCell = 0;
        friend bool operator==(const Highlight&, const Highlight&) = default;
    };

    // The highlights of rows [firstRow, endRow), top row first, left to right within a row.
    QList<Highlight> scan(corvix::Terminal& terminal, int firstRow, int endRow, const std::optional<QString>& cwd,
                          const QString& homeDirectory, const PathExistenceChecking& existenceChecker);

    // How many rows the cache holds now.
    int cachedRowCount() const { return int(cachePerRow_.size()); }

private:
    struct RowCache {
        size_t lineHash = 0;
        QList<Highlight> highlights;
    };
    struct NotScannedYet {};
    using CwdCacheState = std::variant<NotScannedYet, std::optional<QString>>;

    QMap<int, RowCache> cachePerRow_;
    CwdCacheState cwdCacheState_ = NotScannedYet{};
};

} // namespace brisvane
