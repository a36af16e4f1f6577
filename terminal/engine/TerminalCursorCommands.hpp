#pragma once

#include <cstdint>
#include <span>

namespace corvix {

class Terminal;

// Cursor motion (the C0 moves, CUU...HVP, tab clear), index and reverse index, column index and
// column scroll, the scroll region and left/right margins, and the saved cursor. The cursor and
// margins are the active buffer's; this part holds nothing of its own. The terminal owns it
// (`cursorCommands_`): line feeds and carriage returns come with every line.
class TerminalCursorCommands {
public:
    using Params = std::span<const int32_t>;
    using Bytes = std::span<const uint8_t>;

    explicit TerminalCursorCommands(Terminal& terminal) : terminal_(terminal) {}

    // Primitives the other commands share.
    void restrictCursor(bool limitCols = true);
    void setCursor(int col, int row);
    void cursorForward(int count);
    void cursorBackward(int count);

    void cmdBackspace();
    void cmdCarriageReturn();
    void cmdLineFeedBasic();
    void cmdCursorUp(Params pars, Bytes collect);
    void cmdCursorDown(Params pars, Bytes collect);
    void cmdCursorCharAbsolute(Params pars, Bytes collect);
    void cmdCursorPosition(Params pars, Bytes collect);
    void cmdCharPosAbsolute(Params pars, Bytes collect);
    void cmdHPositionRelative(Params pars, Bytes collect);
    void cmdLinePosAbsolute(Params pars, Bytes collect);
    void cmdVPositionRelative(Params pars, Bytes collect);
    void cmdHVPosition(Params pars, Bytes collect);
    void cmdTabClear(Params pars, Bytes collect);
    void cmdIndex();
    void reverseIndex();
    void columnIndex(bool back);
    void columnScroll(bool back, int at);
    void cmdSetScrollRegion(Params pars, Bytes collect);
    void cmdSetMargins(Params pars, Bytes collect);
    void cmdSaveCursor(Params pars, Bytes collect);
    void cmdRestoreCursor(Params pars, Bytes collect);
    void cmdSelectCharacterPath(Params pars, Bytes collect);

private:
    void emitLineFeed();

    Terminal& terminal_;
};

} // namespace corvix
