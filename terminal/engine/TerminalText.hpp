#pragma once

#include "terminal/engine/TerminalTypes.hpp"
#include "terminal/screen/Line.hpp"
#include "terminal/screen/Position.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace corvix {

class Buffer;
class Terminal;

// Buffer cells read back as text: copied ranges, selections, single rows and whole-buffer dumps.
// A base of Terminal alone, whose buffers and cluster table it reads.
class TerminalText {
public:
    // Text of the active buffer from the earlier to the later position (its column exclusive).
    std::string getText(Position start, Position end);
    // The selection's rows as lines of fragments; `start` not after `end`, both rows of `buffer`.
    std::vector<Line> _getSelectedLines(Position start, Position end, Buffer& buffer);
    // Row `line` from column `start` up to `end` (-1: the row's end), trailing null cells trimmed,
    // inner ones read as spaces.
    std::string translateBufferLineToString(Buffer& buffer, int line, int start, int end);
    // Every line of the buffer, oldest first, each followed by a line feed; lines the encoding
    // cannot represent are left out.
    std::vector<uint8_t> getBufferAsData(BufferKind kind, TextEncoding encoding);

private:
    friend class Terminal;
    TerminalText() = default;
    Terminal& terminal();
};

} // namespace corvix
