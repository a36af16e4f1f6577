// Mode sequences (SM/RM, DECSET/DECRST), mode reports (DECRQM), XTSAVE/XTRESTORE of the bidi
// private modes, soft reset (DECSTR), conformance level (DECSCL) and cursor style (DECSCUSR).
#include "terminal/engine/Terminal.hpp"
#include "terminal/engine/TerminalColors.hpp"
#include "terminal/engine/TerminalEditCommands.hpp"
#include "terminal/engine/TerminalModeCommands.hpp"

#include <string>

namespace corvix {

namespace {

bool isDecPrivate(std::span<const uint8_t> collect)
{
    return collect.size() == 1 && collect[0] == '?';
}

// Reverse video (DECSCNM) swaps the two default colours of the current attribute.
constexpr Attribute kReverseVideoAttribute{Attribute::Color::defaultInvertedColor(),
                                           Attribute::Color::defaultInvertedColor(), CharacterStyle::none,
                                           UnderlineStyle::none, std::nullopt};

} // namespace

// ---- SM / RM, DECSET / DECRST -----------------------------------------------------------------

void TerminalModeCommands::cmdSetMode(Params pars, Bytes collect)
{
    for (int32_t par : pars) setMode(par, collect);
}

void TerminalModeCommands::cmdResetMode(Params pars, Bytes collect)
{
    for (int32_t par : pars) resetMode(par, collect);
}

void TerminalModeCommands::setMode(int par, Bytes collect)
{
    if (collect.empty()) {
        switch (par) {
        case 2: break;
        case 4:
            terminal_.insertMode = terminal_.normalBuffer_->insertMode = terminal_.altBuffer_->insertMode = true;
            break;
        case 8:
            terminal_.currentBidiState.supportMode = BidiSupportMode::implicit;
            applyBidiUpdate({Terminal::BidiStateProperty::supportMode});
            break;
        case 20: terminal_.lineFeedMode = true; break;
        default:
            terminal_.logInfo("Unhandled verbatim setMode with " + std::to_string(par) + " and " + EngineDiagnostics::decimalList(collect));
            break;
        }
        return;
    }
    if (!isDecPrivate(collect)) {
        terminal_.logInfo("Unhandled setMode (SM) with " + std::to_string(par) + " and " + EngineDiagnostics::decimalList(collect));
        return;
    }

    switch (par) {
    case 1: terminal_.applicationCursor = true; break;
    case 2:
        for (int slot = 0; slot < 4; slot++) terminal_.setgCharset(slot, nullptr);
        break;
    case 3:
        if (terminal_.allow80To132) switchColumnMode(132);
        break;
    case 4: terminal_.smoothScroll = true; break;
    case 5: terminal_.curAttr = kReverseVideoAttribute; break;
    case 6: terminal_.originMode = true; break;
    case 7: terminal_.wraparound = terminal_.normalBuffer_->wraparound = terminal_.altBuffer_->wraparound = true; break;
    case 9: terminal_.setMouseMode(MouseMode::x10); break;
    case 12: terminal_.cursorBlink = true; break;
    case 25:
        terminal_.showCursor();
        break;
    case 40: terminal_.allow80To132 = true; break;
    case 45:
        if (terminal_.wraparound) terminal_.reverseWraparound = true;
        break;
    case 47:
    case 1047: enterAltScreen(); break;
    case 63:
    case 1034: break;
    case 66: terminal_.applicationKeypad = true; break;
    case 69:
        terminal_.marginMode = terminal_.normalBuffer_->marginMode = terminal_.altBuffer_->marginMode = true;
        break;
    case 95: terminal_.keepScreenOnColumnSwitch_ = true; break;
    case 1000: terminal_.setMouseMode(MouseMode::vt200); break;
    case 1002: terminal_.setMouseMode(MouseMode::buttonEventTracking); break;
    case 1003: terminal_.setMouseMode(MouseMode::anyEvent); break;
    case 1004:
        terminal_.sendFocus = true;
        terminal_.sendFocusReport();
        break;
    case 1005: terminal_.mouseProtocol = MouseProtocolEncoding::utf8; break;
    case 1006: terminal_.mouseProtocol = MouseProtocolEncoding::sgr; break;
    case 1015: terminal_.mouseProtocol = MouseProtocolEncoding::urxvt; break;
    case 1016: terminal_.mouseProtocol = MouseProtocolEncoding::sgrPixel; break;
    case 1048: terminal_.cursorCommands_.cmdSaveCursor({}, {}); break;
    case 1049:
        terminal_.cursorCommands_.cmdSaveCursor({}, {});
        enterAltScreen();
        break;
    case 1243: terminal_.bidiArrowKeySwap = true; break;
    case 2004: terminal_.bracketedPasteMode = true; break;
    case 2026: terminal_.synchronizedOutput_.begin(); break;
    case 2500:
        terminal_.currentBidiState.boxMirroring = true;
        applyBidiUpdate({Terminal::BidiStateProperty::boxMirroring});
        break;
    case 2501:
        terminal_.currentBidiState.autodetectDirection = true;
        applyBidiUpdate({Terminal::BidiStateProperty::autodetectDirection});
        break;
    default: terminal_.logInfo("Unhandled DEC Private Mode Set (DECSET) with " + std::to_string(par)); break;
    }
}

void TerminalModeCommands::resetMode(int par, Bytes collect)
{
    if (collect.empty()) {
        switch (par) {
        case 4:
            terminal_.insertMode = terminal_.normalBuffer_->insertMode = terminal_.altBuffer_->insertMode = false;
            break;
        case 8:
            terminal_.currentBidiState.supportMode = BidiSupportMode::explicit_;
            applyBidiUpdate({Terminal::BidiStateProperty::supportMode});
            break;
        case 20: terminal_.lineFeedMode = false; break;
        default: break;
        }
        return;
    }
    if (!isDecPrivate(collect)) return;

    switch (par) {
    case 1: terminal_.applicationCursor = false; break;
    case 3:
        if (terminal_.allow80To132) switchColumnMode(80);
        break;
    case 4: terminal_.smoothScroll = false; break;
    case 5: terminal_.curAttr = Attribute{}; break;
    case 6: terminal_.originMode = false; break;
    case 7:
        terminal_.wraparound = terminal_.normalBuffer_->wraparound = terminal_.altBuffer_->wraparound = false;
        break;
    case 9:
    case 1000:
    case 1002:
    case 1003: terminal_.setMouseMode(MouseMode::off); break;
    case 12: terminal_.cursorBlink = false; break;
    case 25:
        terminal_.hideCursor();
        break;
    case 40: terminal_.allow80To132 = false; break;
    case 41:
    case 1034: break;
    case 45: terminal_.reverseWraparound = false; break;
    case 47:
    case 1047:
    case 1049: leaveAltScreen(par); break;
    case 66: terminal_.applicationKeypad = false; break;
    case 69: resetMarginMode(); break;
    case 95: terminal_.keepScreenOnColumnSwitch_ = false; break;
    case 1004: terminal_.sendFocus = false; break;
    case 1005:
    case 1006:
    case 1015:
    case 1016: terminal_.mouseProtocol = MouseProtocolEncoding::x10; break;
    case 1048: terminal_.cursorCommands_.cmdRestoreCursor({}, {}); break;
    case 1243: terminal_.bidiArrowKeySwap = false; break;
    case 2004: terminal_.bracketedPasteMode = false; break;
    case 2026: terminal_.synchronizedOutput_.end(); break;
    case 2500:
        terminal_.currentBidiState.boxMirroring = false;
        applyBidiUpdate({Terminal::BidiStateProperty::boxMirroring});
        break;
    case 2501:
        terminal_.currentBidiState.autodetectDirection = false;
        applyBidiUpdate({Terminal::BidiStateProperty::autodetectDirection});
        break;
    default: terminal_.logInfo("Unhandled DEC Private Mode Reset (DECRST) with " + std::to_string(par)); break;
    }
}

void TerminalModeCommands::enterAltScreen()
{
    terminal_.activateAltBuffer(std::nullopt);
    terminal_.updateRange(0);
    terminal_.updateRange(terminal_.rows - 1);
    // Full-screen programs expect a visible cursor on the new screen.
    terminal_.showCursor();
    if (terminal_.tdel) terminal_.tdel->bufferActivated(terminal_);
}

void TerminalModeCommands::leaveAltScreen(int mode)
{
    terminal_.activateNormalBuffer(mode != 47);
    if (mode == 1049) terminal_.cursorCommands_.cmdRestoreCursor({}, {});
    terminal_.updateRange(0);
    terminal_.updateRange(terminal_.rows - 1);
    terminal_.showCursor();
    if (terminal_.tdel) terminal_.tdel->bufferActivated(terminal_);
}

void TerminalModeCommands::switchColumnMode(int columns)
{
    // DECCOLM changes the width and starts a fresh page; modes, scroll-back and character sets
    // stay. Keeping the screen (DECNCSM) is a level 5 feature.
    terminal_.resize(columns, terminal_.rows);
    Buffer& b = *terminal_.buffer_;
    b.setScrollTop(0);
    b.setScrollBottom(terminal_.rows - 1);
    b.setMarginLeft(0);
    b.setMarginRight(terminal_.cols - 1);
    if (!terminal_.keepScreenOnColumnSwitch_ || terminal_.conformance != TerminalConformance::vt500) {
        const int32_t entireScreen[] = {2};
        TerminalEditCommands(terminal_).cmdEraseInDisplay(entireScreen, {});
    }
    terminal_.cursorCommands_.setCursor(0, 0);
    if (terminal_.tdel) terminal_.tdel->sizeChanged(terminal_);
}

void TerminalModeCommands::resetMarginMode()
{
    terminal_.marginMode = terminal_.normalBuffer_->marginMode = terminal_.altBuffer_->marginMode = false;
    // Margins set while the mode was on must not come back with the next DECSET 69.
    for (Buffer* each : {terminal_.normalBuffer_.get(), terminal_.altBuffer_.get()}) {
        each->settleWrap(); // a wrap pending at the old right margin is not at the screen's edge
        each->setMarginLeft(0);
        each->setMarginRight(terminal_.cols - 1);
    }
}

void TerminalModeCommands::applyBidiUpdate(const Terminal::BidiStateProperties& changed)
{
    terminal_.normalBuffer_->defaultBidiState = terminal_.currentBidiState;
    terminal_.altBuffer_->defaultBidiState = terminal_.currentBidiState;
    terminal_.applyCurrentBidiStateAtParagraphStart(changed);
    terminal_.updateFullScreen();
}

// ---- DECRQM -----------------------------------------------------------------------------------

int TerminalModeCommands::ansiModeValue(int mode) const
{
    switch (mode) {
    // Modes whose set and reset change nothing report the state they are stuck in.
    case 1:
    case 2:
    case 3: return 4;
    case 4: return terminal_.insertMode ? 1 : 2;
    case 5:
    case 7:
    case 10:
    case 11:
    case 13:
    case 14:
    case 15:
    case 16:
    case 17:
    case 18:
    case 19: return 4;
    case 8: return terminal_.currentBidiState.supportMode == BidiSupportMode::implicit ? 1 : 2;
    case 12: return 3;
    case 20: return terminal_.lineFeedMode ? 1 : 2;
    default: return 0;
    }
}

int TerminalModeCommands::decModeValue(int mode) const
{
    auto flag = [](bool on) { return on ? 1 : 2; };
    switch (mode) {
    case 1: return flag(terminal_.applicationCursor);
    case 2: return 1;
    case 3: return flag(terminal_.buffer_->cols() == 132);
    case 4: return flag(terminal_.smoothScroll);
    case 5: return flag(terminal_.curAttr == kReverseVideoAttribute);
    case 6: return flag(terminal_.originMode);
    case 7: return flag(terminal_.wraparound);
    case 8: return 3; // keys repeat whatever the child asks
    case 9: return flag(terminal_.mouseMode() == MouseMode::x10);
    case 10: return 4;
    case 12: return flag(terminal_.cursorBlink);
    // Modes whose set and reset change nothing report the state they are stuck in; without a
    // printer the print modes (18, 19) are permanently reset.
    case 13:
    case 14:
    case 18:
    case 19:
    case 30:
    case 41: return 4;
    case 25: return terminal_.cursorHidden ? 2 : 1;
    case 40: return flag(terminal_.allow80To132);
    case 42:
    case 44:
    case 46:
    case 67:
    case 80: return 4;
    case 45: return flag(terminal_.reverseWraparound);
    case 47: return flag(terminal_.isCurrentBufferAlternate());
    case 66: return flag(terminal_.applicationKeypad);
    case 69: return flag(terminal_.marginMode);
    case 95: return flag(terminal_.keepScreenOnColumnSwitch_);
    case 1000: return flag(terminal_.mouseMode() == MouseMode::vt200);
    case 1001: return 4;
    case 1002: return flag(terminal_.mouseMode() == MouseMode::buttonEventTracking);
    case 1003: return flag(terminal_.mouseMode() == MouseMode::anyEvent);
    case 1004: return flag(terminal_.sendFocus);
    case 1005: return flag(terminal_.mouseProtocol == MouseProtocolEncoding::utf8);
    case 1006: return flag(terminal_.mouseProtocol == MouseProtocolEncoding::sgr);
    case 1015: return flag(terminal_.mouseProtocol == MouseProtocolEncoding::urxvt);
    case 1016: return flag(terminal_.mouseProtocol == MouseProtocolEncoding::sgrPixel);
    case 1034: return 4;
    case 1243: return flag(terminal_.bidiArrowKeySwap);
    case 2004: return flag(terminal_.bracketedPasteMode);
    case 2026: return flag(terminal_.synchronizedOutput_.active());
    case 2500: return flag(terminal_.currentBidiState.boxMirroring);
    case 2501: return flag(terminal_.currentBidiState.autodetectDirection);
    default: return 0; // 63, 1047, 1048, 1049 and every unknown mode
    }
}

void TerminalModeCommands::cmdDecRqm(Params pars, bool decMode)
{
    std::string reply(terminal_.replyCsi());
    // The parser hands a lone 0 for "no parameter"; mode 0 does not exist, so both read as none.
    if (pars.empty() || (pars.size() == 1 && pars[0] == 0)) {
        terminal_.sendResponse(reply + ";0$y");
        return;
    }
    // The mode number is re-formatted from the parsed value, never copied from the request.
    const int mode = pars[0];
    if (decMode) reply += '?';
    reply += std::to_string(mode) + ';' + std::to_string(decMode ? decModeValue(mode) : ansiModeValue(mode)) + "$y";
    terminal_.sendResponse(reply);
}

// ---- XTSAVE / XTRESTORE -----------------------------------------------------------------------

void TerminalModeCommands::cmdSavePrivateModes(Params pars)
{
    for (int32_t par : pars) {
        switch (par) {
        case 1243: terminal_.savedBidiPrivateModes[par] = terminal_.bidiArrowKeySwap; break;
        case 2500: terminal_.savedBidiPrivateModes[par] = terminal_.currentBidiState.boxMirroring; break;
        case 2501: terminal_.savedBidiPrivateModes[par] = terminal_.currentBidiState.autodetectDirection; break;
        default: break;
        }
    }
}

void TerminalModeCommands::cmdRestoreBidiPrivateModes(Params pars)
{
    Terminal::BidiStateProperties restored;
    for (int32_t par : pars) {
        auto it = terminal_.savedBidiPrivateModes.find(par);
        if (it == terminal_.savedBidiPrivateModes.end()) continue;
        switch (par) {
        case 1243: terminal_.bidiArrowKeySwap = it->second; break;
        case 2500:
            terminal_.currentBidiState.boxMirroring = it->second;
            restored.insert(Terminal::BidiStateProperty::boxMirroring);
            break;
        case 2501:
            terminal_.currentBidiState.autodetectDirection = it->second;
            restored.insert(Terminal::BidiStateProperty::autodetectDirection);
            break;
        default: break;
        }
    }
    if (!restored.empty()) applyBidiUpdate(restored);
}

// ---- CSI ... p --------------------------------------------------------------------------------

void TerminalModeCommands::csiPHandler(Params pars, Bytes collect)
{
    if (collect.size() == 1 && collect[0] == '!') {
        terminal_.softReset();
        return;
    }
    if (collect.size() == 1 && collect[0] == '"') {
        if (pars.empty()) return;
        switch (pars[0]) {
        case 61:
            terminal_.conformance = TerminalConformance::vt100;
            terminal_.cc.send8bit = false;
            return;
        case 62: terminal_.conformance = TerminalConformance::vt200; break;
        case 63: terminal_.conformance = TerminalConformance::vt300; break;
        case 64: terminal_.conformance = TerminalConformance::vt400; break;
        default: terminal_.conformance = TerminalConformance::vt500; break;
        }
        if (pars.size() > 1) terminal_.cc.send8bit = pars[1] == 0 || pars[1] == 2;
        return;
    }
    if (collect.size() == 2 && collect[0] == '?' && collect[1] == '$') {
        cmdDecRqm(pars, true);
        return;
    }
    if (collect.size() == 1 && collect[0] == '$') {
        cmdDecRqm(pars, false);
        return;
    }
    if (terminal_.silentLog) return;
    std::string bytes;
    for (uint8_t b : collect) bytes += std::to_string(b);
    terminal_.logInfo("Unhandled CSI " + bytes + " with pars=" + EngineDiagnostics::decimalList(pars));
}

// ---- DECSTR -----------------------------------------------------------------------------------

void Terminal::softReset()
{
    currentBidiState = options.initialBidiState;
    TerminalModeCommands(*this).applyBidiUpdate(allBidiStateProperties());
    bidiArrowKeySwap = options.initialBidiArrowKeySwap;
    savedBidiPrivateModes.clear();

    cursorHidden = false;
    originMode = false;
    // Insert mode goes off on the buffers too: printing reads the buffers' flag, so leaving it set
    // would keep inserting while the mode report says reset.
    insertMode = normalBuffer_->insertMode = altBuffer_->insertMode = false;
    wraparound = normalBuffer_->wraparound = altBuffer_->wraparound = true;
    reverseWraparound = false;
    TerminalModeCommands(*this).resetMarginMode();
    applicationKeypad = false;
    applicationCursor = false;

    buffer_->setScrollTop(0);
    buffer_->setScrollBottom(rows - 1);
    curAttr = Attribute{};
    buffer_->softReset();
    charset = nullptr;
    setgLevel(0);
    conformance = TerminalConformance::vt500;
    hyperLinkTracking.reset();
    lineFeedMode = options.convertEol;

    TerminalColors(*this).resetAllColors();

    if (tdel) tdel->showCursor(*this);
}

// ---- DECSCUSR ---------------------------------------------------------------------------------

void TerminalModeCommands::cmdSetCursorStyle(Params pars, Bytes collect)
{
    if (collect.size() != 1 || collect[0] != ' ') return;
    static constexpr CursorStyle kStyles[] = {CursorStyle::blinkBlock,      CursorStyle::blinkBlock,
                                              CursorStyle::steadyBlock,     CursorStyle::blinkUnderline,
                                              CursorStyle::steadyUnderline, CursorStyle::blinkBar,
                                              CursorStyle::steadyBar};
    const int ps = pars.empty() ? 0 : pars[0];
    if (ps < 0 || ps >= int(std::size(kStyles))) return;
    setCursorStyle(kStyles[ps]);
}

void TerminalModeCommands::setCursorStyle(CursorStyle style)
{
    if (style == terminal_.options.cursorStyle) return;
    if (terminal_.tdel) terminal_.tdel->cursorStyleChanged(terminal_, style);
    terminal_.options.cursorStyle = style;
}

} // namespace corvix
