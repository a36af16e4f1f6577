#pragma once

#include "terminal/engine/KittyKeyboardProtocol.hpp"
#include "terminal/engine/TerminalTypes.hpp"
#include "terminal/screen/BidiPresentationState.hpp"

#include <cstdint>
#include <map>
#include <set>
#include <vector>

namespace corvix {

// The terminal's modes as the mode sequences (TerminalModeCommands) leave them, for the engine's
// commands, the view and the app to read. The mode machinery (synchronized output, the bidi
// paragraph update) is in TerminalModes.cpp.
struct TerminalModes {
    bool applicationKeypad = false;
    bool applicationCursor = false;
    bool cursorHidden = false;
    bool originMode = false;
    bool marginMode = false;
    bool insertMode = false;
    bool wraparound = true;
    bool reverseWraparound = false;
    bool bracketedPasteMode = false;
    bool lineFeedMode = false;
    bool smoothScroll = false;
    bool cursorBlink = false;
    bool allow80To132 = false;
    bool sendFocus = false;
    bool userScrolling = false;
    TerminalConformance conformance = TerminalConformance::vt500;
    bool xtermTitleSetUtf = false;
    bool xtermTitleSetHex = false;
    bool xtermTitleQueryUtf = false;
    bool xtermTitleQueryHex = false;

    // Per-screen state of the Kitty keyboard protocol: the current flags and the pushed ones.
    struct KeyboardModeState {
        KittyKeyboardFlags flags{};
        std::vector<KittyKeyboardFlags> stack;
        friend bool operator==(const KeyboardModeState&, const KeyboardModeState&) = default;
    };
    KeyboardModeState keyboardModeNormal;
    KeyboardModeState keyboardModeAlt;

    // Bidirectional presentation.
    BidiPresentationState currentBidiState;
    bool bidiArrowKeySwap = false;
    std::map<int, bool> savedBidiPrivateModes;
    // Which member of the bidi state a mode change touches.
    enum class BidiStateProperty : uint8_t { supportMode, autodetectDirection, fallbackDirection, boxMirroring };
    using BidiStateProperties = std::set<BidiStateProperty>;
    static const BidiStateProperties& allBidiStateProperties();
    bool bidiSupportEnabled() const { return currentBidiState.supportMode == BidiSupportMode::implicit; }
    bool bidiAutodetectDirection() const { return currentBidiState.autodetectDirection; }
    bool bidiBoxMirroring() const { return currentBidiState.boxMirroring; }
};

} // namespace corvix
