#pragma once

#include "terminal/screen/BidiPresentationState.hpp"

#include <cstdint>
#include <optional>
#include <span>

namespace corvix {

class Terminal;

// Erase (ED, EL, ECH), insert and delete (ICH, DCH, IL, DL, DECIC, DECDC), the region scrolls
// (SU, SD) and repeat (REP) over the active buffer. Made on demand; holds nothing of its own.
class TerminalEditCommands {
public:
    using Params = std::span<const int32_t>;
    using Bytes = std::span<const uint8_t>;

    explicit TerminalEditCommands(Terminal& terminal) : terminal_(terminal) {}

    void cmdEraseInDisplay(Params pars, Bytes collect);
    void cmdEraseInLine(Params pars, Bytes collect);
    void cmdEraseChars(Params pars, Bytes collect);
    void cmdInsertChars(Params pars, Bytes collect);
    void cmdDeleteChars(Params pars, Bytes collect);
    void cmdInsertLines(Params pars, Bytes collect);
    void cmdDeleteLines(Params pars, Bytes collect);
    void cmdScrollUp(Params pars, Bytes collect);
    void cmdScrollDown(Params pars);
    void cmdRepeatPrecedingCharacter(Params pars, Bytes collect);
    void cmdDeleteColumns(Params pars, Bytes collect);
    void csiCloseBrace(Params pars, Bytes collect);

private:
    // Blanks screen row `y` whole (erase cells, no wrap, single render mode), optionally drops
    // its images and sets its bidi state.
    void resetBufferLine(int y, bool clearImages, std::optional<BidiPresentationState> bidiState);
    // Clear the wrap flag of lines that now start a block, so paragraphs do not join across it.
    void hardenBidiScrollBoundaries(bool insertedAtTop, int count);
    void hardenBidiLineShiftBoundaries(int firstChangedRow, std::optional<int> firstMovedRow, int lastChangedRow);
    // The shared body of IL and DL, and their dirty rows.
    void shiftLinesAtCursor(int count, bool insert);
    void markLineShiftDirty(int y);
    // The shared body of SU and SD.
    void scrollRegion(int count, bool down);

    Terminal& terminal_;
};

} // namespace corvix
