#include "app/Views/FilePathHighlightScanner.hpp"

#include "app/Services/tiles/FilePathResolver.hpp"
#include "app/Views/TerminalLineTextExtractor.hpp"

#include <QSet>

namespace brisvane {

QList<FilePathHighlightScanner::Highlight> FilePathHighlightScanner::scan(
    corvix::Terminal& terminal, int firstRow, int endRow, const std::optional<QString>& cwd,
    const QString& homeDirectory, const PathExistenceChecking& existenceChecker)
{
    // Relative paths mean something else in another folder.
    const auto* scannedFor = std::get_if<std::optional<QString>>(&cwdCacheState_);
    if (!scannedFor || *scannedFor != cwd) {
        cachePerRow_.clear();
        cwdCacheState_ = cwd;
    }

    QList<Highlight> result;
    QSet<int> seen;
    for (int row = firstRow; row < endRow; ++row) {
        seen.insert(row);
        const std::optional<TerminalLineTextExtractor::ExtractedLine> line =
            TerminalLineTextExtractor::extractLine(terminal, row);
        if (!line) {
            cachePerRow_.remove(row);
            continue;
        }
        const size_t hash = qHash(line->characters);
        if (const auto cached = cachePerRow_.constFind(row); cached != cachePerRow_.cend() && cached->lineHash == hash) {
            result.append(cached->highlights);
            continue;
        }
        QList<Highlight> highlights;
        for (const TerminalLineTextExtractor::LocatedToken& located :
             TerminalLineTextExtractor::enumerateFilePathTokens(*line)) {
            // As the resolver decides, so a highlighted path is one that a click opens.
            if (!FilePathResolver::resolve(located.token.text, cwd, homeDirectory, existenceChecker)) continue;
            highlights.append({row, located.startCell, located.endCell});
        }
        cachePerRow_.insert(row, {hash, highlights});
        result.append(highlights);
    }
    for (auto entry = cachePerRow_.begin(); entry != cachePerRow_.end();) {
        entry = seen.contains(entry.key()) ? std::next(entry) : cachePerRow_.erase(entry);
    }
    return result;
}

} // namespace brisvane
