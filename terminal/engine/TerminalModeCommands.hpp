#pragma once

#include "terminal/engine/Terminal.hpp"

#include <cstdint>
#include <span>

namespace corvix {

// The mode sequences (SM/RM, DECSET/DECRST), mode reports (DECRQM), XTSAVE/XTRESTORE of the
// bidi private modes, the conformance level (DECSCL) and the cursor style (DECSCUSR), with the
// screen switches and mode changes they make. The modes themselves are the terminal's fields;
// this part, made on demand, holds nothing of its own.
class TerminalModeCommands {
public:
    using Params = std::span<const int32_t>;
    using Bytes = std::span<const uint8_t>;

    explicit TerminalModeCommands(Terminal& terminal) : terminal_(terminal) {}

    void cmdSetMode(Params pars, Bytes collect);
    void cmdResetMode(Params pars, Bytes collect);
    void csiPHandler(Params pars, Bytes collect);
    void cmdSetCursorStyle(Params pars, Bytes collect);
    void setCursorStyle(CursorStyle style);
    void cmdSavePrivateModes(Params pars);
    // XTRESTORE of the bidi private modes (CSI ? Pm r).
    void cmdRestoreBidiPrivateModes(Params pars);
    // One mode each of SM/RM and DECSET/DECRST.
    void setMode(int par, Bytes collect);
    void resetMode(int par, Bytes collect);
    // DECLRMM off in the terminal and both buffers, with the left/right margins at full width.
    void resetMarginMode();
    // A change of the bidi state: both buffers and the paragraph at the cursor take it.
    void applyBidiUpdate(const Terminal::BidiStateProperties& changed);

private:
    // The mode report (DECRQM) and the values it reports.
    void cmdDecRqm(Params pars, bool decMode);
    int decModeValue(int mode) const;
    int ansiModeValue(int mode) const;
    // Screen switches and column mode.
    void enterAltScreen();
    void leaveAltScreen(int mode);
    // DECCOLM to `columns` wide.
    void switchColumnMode(int columns);

    Terminal& terminal_;
};

} // namespace corvix
