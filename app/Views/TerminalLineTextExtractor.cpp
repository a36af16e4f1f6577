#include "app/Views/TerminalLineTextExtractor.hpp"

#include "app/Services/tiles/FilePathDetector.hpp"
#include "terminal/engine/Terminal.hpp"

namespace brisvane::TerminalLineTextExtractor {

namespace {

std::optional<LocatedToken> located(const ExtractedLine& line, const FilePathToken& token)
{
    const int count = int(line.characterCellRanges.size());
    if (token.startColumn < 0 || token.startColumn >= token.endColumn || token.endColumn > count) return std::nullopt;
    return LocatedToken{token, line.characterCellRanges[token.startColumn].startCell,
                        line.characterCellRanges[token.endColumn - 1].endCell};
}

} // namespace

std::optional<ExtractedLine> extractLine(corvix::Terminal& terminal, int viewportRow)
{
    const corvix::BufferLine* bufferLine = terminal.getLine(viewportRow);
    if (!bufferLine) return std::nullopt;
    const int count = bufferLine->count();
    ExtractedLine line;
    line.characters.reserve(count);
    line.characterCellRanges.reserve(count);
    for (int i = 0; i < count;) {
        const corvix::CharData& cell = (*bufferLine)[i];
        // The right half of a wide character: the character was taken at its left half.
        if (cell.width == 0) {
            ++i;
            continue;
        }
        QString character;
        if (cell.code < corvix::CharData::kClusterBase) {
            const char32_t scalar = cell.getCharacter();
            character = scalar == 0 ? QStringLiteral(" ") : QString::fromUcs4(&scalar, 1);
        } else {
            const std::u32string cluster = terminal.getCharacter(cell);
            character = QString::fromUcs4(cluster.data(), qsizetype(cluster.size()));
        }
        const int end = cell.width >= 2 ? i + cell.width : i + 1;
        line.characters.append(character);
        line.characterCellRanges.append({i, end});
        i = end;
    }
    return line;
}

QList<LocatedToken> enumerateFilePathTokens(corvix::Terminal& terminal, int viewportRow)
{
    const std::optional<ExtractedLine> line = extractLine(terminal, viewportRow);
    return line ? enumerateFilePathTokens(*line) : QList<LocatedToken>();
}

QList<LocatedToken> enumerateFilePathTokens(const ExtractedLine& line)
{
    QList<LocatedToken> result;
    for (const FilePathToken& token : FilePathDetector::enumerateTokens(line.characters)) {
        if (std::optional<LocatedToken> cells = located(line, token)) result.append(*cells);
    }
    return result;
}

std::optional<LocatedToken> detectFilePathToken(corvix::Terminal& terminal, int viewportRow, int cellColumn)
{
    const std::optional<ExtractedLine> line = extractLine(terminal, viewportRow);
    if (!line) return std::nullopt;
    int index = -1;
    for (int i = 0; i < int(line->characterCellRanges.size()); ++i) {
        const CellRange& range = line->characterCellRanges[i];
        if (range.startCell <= cellColumn && cellColumn < range.endCell) {
            index = i;
            break;
        }
    }
    if (index < 0) return std::nullopt;
    const std::optional<FilePathToken> token = FilePathDetector::detectToken(line->characters, index);
    if (!token) return std::nullopt;
    return located(*line, *token);
}

} // namespace brisvane::TerminalLineTextExtractor
