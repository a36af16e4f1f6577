#pragma once

#include "terminal/engine/TerminalTypes.hpp"

namespace corvix {

class Terminal;

// Mouse tracking: the mode the child asked for, and the reports in the X10, UTF-8, SGR, urxvt
// and SGR-pixel encodings; and the focus reports (DECSET 1004). The view decides which events to
// report; these only encode and send them. A base of Terminal alone, whose replies carry the
// reports.
class MouseReports {
public:
    MouseMode mouseMode() const { return mouseMode_; }
    // Stores the mode and tells the delegate.
    void setMouseMode(MouseMode mode);
    MouseProtocolEncoding mouseProtocol = MouseProtocolEncoding::x10;
    bool mouseShiftCapture = false;

    // Button flags: low bits the button (3 = release), 4 Shift, 8 Meta, 16 Control, 32 motion,
    // 64 wheel. Modifier bits only in the modes that report them.
    int encodeButton(int button, bool release, bool shift, bool meta, bool control) const;
    // One report at a zero-based cell (and pixel, for the SGR-pixel encoding).
    void sendEvent(int buttonFlags, int x, int y, int pixelX, int pixelY);
    void sendEvent(int buttonFlags, int x, int y) { sendEvent(buttonFlags, x, y, x, y); }
    void sendMotion(int buttonFlags, int x, int y, int pixelX, int pixelY);
    // The view tells whether the terminal has focus; reported when the child asked for it.
    void setTerminalFocus(bool focused);

private:
    friend class Terminal;
    // Sends the focus state when the child turns the reports on.
    friend class TerminalModeCommands;
    MouseReports() = default;
    Terminal& terminal();
    void sendFocusReport();

    MouseMode mouseMode_ = MouseMode::off;
    bool reportedFocusState_ = true;
};

} // namespace corvix
