// Mode sequences (SM/RM, DECSET/DECRST), mode reports (DECRQM), XTSAVE/XTRESTORE of the bidi
// private modes, soft reset (DECSTR), conformance level (DECSCL) and cursor style (DECSCUSR).
#include "terminal/engine/Terminal.hpp"

#include <string>

namespace corvix {

namespace {

std::string byteList(std::span<const uint8_t> bytes)
{
    std::string s = "[";
    for (size_t i = 0; i < bytes.size(); i++) {
        if (i) s += ", ";
        s += std::to_string(bytes[i]);
    }
    return s + "]";
}

std::string paramList(std::span<const int32_t> values)
{
    std::string s = "[";
    for (size_t i = 0; i < values.size(); i++) {
        if (i) s += ", ";
        s += std::to_string(values[i]);
    }
    return s + "]";
}

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

void Terminal::cmdSetMode(Params pars, Bytes collect)
{
    for (int32_t par : pars) setMode(par, collect);
}

void Terminal::cmdResetMode(Params pars, Bytes collect)
{
    for (int32_t par : pars) resetMode(par, collect);
}

void Terminal::setMode(int par, Bytes collect)
{
    if (collect.empty()) {
        switch (par) {
        case 2: break;
        case 4: insertMode = normalBuffer_->insertMode = altBuffer_->insertMode = true; break;
        case 8:
            currentBidiState.supportMode = BidiSupportMode::implicit;
            applyBidiUpdate({BidiStateProperty::supportMode});
            break;
        case 20: lineFeedMode = true; break;
        default:
            logInfo("Unhandled verbatim setMode with " + std::to_string(par) + " and " + byteList(collect));
            break;
        }
        return;
    }
    if (!isDecPrivate(collect)) {
        logInfo("Unhandled setMode (SM) with " + std::to_string(par) + " and " + byteList(collect));
        return;
    }

    switch (par) {
    case 1: applicationCursor = true; break;
    case 2:
        for (int slot = 0; slot < 4; slot++) setgCharset(slot, nullptr);
        break;
    case 3:
        if (allow80To132) switchColumnMode(132);
        break;
    case 4: smoothScroll = true; break;
    case 5: curAttr = kReverseVideoAttribute; break;
    case 6: originMode = true; break;
    case 7: wraparound = normalBuffer_->wraparound = altBuffer_->wraparound = true; break;
    case 9: setMouseMode(MouseMode::x10); break;
    case 12: cursorBlink = true; break;
    case 25:
        showCursor();
        break;
    case 40: allow80To132 = true; break;
    case 45:
        if (wraparound) reverseWraparound = true;
        break;
    case 47:
    case 1047: enterAltScreen(); break;
    case 63:
    case 1034: break;
    case 66: applicationKeypad = true; break;
    case 69: marginMode = normalBuffer_->marginMode = altBuffer_->marginMode = true; break;
    case 95: keepScreenOnColumnSwitch = true; break;
    case 1000: setMouseMode(MouseMode::vt200); break;
    case 1002: setMouseMode(MouseMode::buttonEventTracking); break;
    case 1003: setMouseMode(MouseMode::anyEvent); break;
    case 1004:
        sendFocus = true;
        sendFocusReport();
        break;
    case 1005: mouseProtocol = MouseProtocolEncoding::utf8; break;
    case 1006: mouseProtocol = MouseProtocolEncoding::sgr; break;
    case 1015: mouseProtocol = MouseProtocolEncoding::urxvt; break;
    case 1016: mouseProtocol = MouseProtocolEncoding::sgrPixel; break;
    case 1048: cmdSaveCursor({}, {}); break;
    case 1049:
        cmdSaveCursor({}, {});
        enterAltScreen();
        break;
    case 1243: bidiArrowKeySwap = true; break;
    case 2004: bracketedPasteMode = true; break;
    case 2026: beginSynchronizedOutput(); break;
    case 2500:
        currentBidiState.boxMirroring = true;
        applyBidiUpdate({BidiStateProperty::boxMirroring});
        break;
    case 2501:
        currentBidiState.autodetectDirection = true;
        applyBidiUpdate({BidiStateProperty::autodetectDirection});
        break;
    default: logInfo("Unhandled DEC Private Mode Set (DECSET) with " + std::to_string(par)); break;
    }
}

void Terminal::resetMode(int par, Bytes collect)
{
    if (collect.empty()) {
        switch (par) {
        case 4: insertMode = normalBuffer_->insertMode = altBuffer_->insertMode = false; break;
        case 8:
            currentBidiState.supportMode = BidiSupportMode::explicit_;
            applyBidiUpdate({BidiStateProperty::supportMode});
            break;
        case 20: lineFeedMode = false; break;
        default: break;
        }
        return;
    }
    if (!isDecPrivate(collect)) return;

    switch (par) {
    case 1: applicationCursor = false; break;
    case 3:
        if (allow80To132) switchColumnMode(80);
        break;
    case 4: smoothScroll = false; break;
    case 5: curAttr = Attribute{}; break;
    case 6: originMode = false; break;
    case 7: wraparound = normalBuffer_->wraparound = altBuffer_->wraparound = false; break;
    case 9:
    case 1000:
    case 1002:
    case 1003: setMouseMode(MouseMode::off); break;
    case 12: cursorBlink = false; break;
    case 25:
        hideCursor();
        break;
    case 40: allow80To132 = false; break;
    case 41:
    case 1034: break;
    case 45: reverseWraparound = false; break;
    case 47:
    case 1047:
    case 1049: leaveAltScreen(par); break;
    case 66: applicationKeypad = false; break;
    case 69: resetMarginMode(); break;
    case 95: keepScreenOnColumnSwitch = false; break;
    case 1004: sendFocus = false; break;
    case 1005:
    case 1006:
    case 1015:
    case 1016: mouseProtocol = MouseProtocolEncoding::x10; break;
    case 1048: cmdRestoreCursor({}, {}); break;
    case 1243: bidiArrowKeySwap = false; break;
    case 2004: bracketedPasteMode = false; break;
    case 2026: endSynchronizedOutput(); break;
    case 2500:
        currentBidiState.boxMirroring = false;
        applyBidiUpdate({BidiStateProperty::boxMirroring});
        break;
    case 2501:
        currentBidiState.autodetectDirection = false;
        applyBidiUpdate({BidiStateProperty::autodetectDirection});
        break;
    default: logInfo("Unhandled DEC Private Mode Reset (DECRST) with " + std::to_string(par)); break;
    }
}

void Terminal::enterAltScreen()
{
    activateAltBuffer(std::nullopt);
    updateRange(0);
    updateRange(rows - 1);
    // Full-screen programs expect a visible cursor on the new screen.
    showCursor();
    if (tdel) tdel->bufferActivated(*this);
}

void Terminal::leaveAltScreen(int mode)
{
    activateNormalBuffer(mode != 47);
    if (mode == 1049) cmdRestoreCursor({}, {});
    updateRange(0);
    updateRange(rows - 1);
    showCursor();
    if (tdel) tdel->bufferActivated(*this);
}

void Terminal::switchColumnMode(int columns)
{
    // DECCOLM changes the width and starts a fresh page; modes, scroll-back and character sets
    // stay. Keeping the screen (DECNCSM) is a level 5 feature.
    resize(columns, rows);
    Buffer& b = *buffer_;
    b.setScrollTop(0);
    b.setScrollBottom(rows - 1);
    b.setMarginLeft(0);
    b.setMarginRight(cols - 1);
    if (!keepScreenOnColumnSwitch || conformance != TerminalConformance::vt500) {
        const int32_t entireScreen[] = {2};
        cmdEraseInDisplay(entireScreen, {});
    }
    setCursor(0, 0);
    if (tdel) tdel->sizeChanged(*this);
}

void Terminal::resetMarginMode()
{
    marginMode = normalBuffer_->marginMode = altBuffer_->marginMode = false;
    // Margins set while the mode was on must not come back with the next DECSET 69.
    for (Buffer* each : {normalBuffer_.get(), altBuffer_.get()}) {
        each->settleWrap(); // a wrap pending at the old right margin is not at the screen's edge
        each->setMarginLeft(0);
        each->setMarginRight(cols - 1);
    }
}

void Terminal::beginSynchronizedOutput()
{
    const bool wasActive = synchronizedOutputActive_;
    synchronizedOutputActive_ = true;
    scheduleSynchronizedOutputTimeout();
    if (!wasActive && tdel) tdel->synchronizedOutputChanged(*this, true);
}

void Terminal::applyBidiUpdate(const BidiStateProperties& changed)
{
    normalBuffer_->defaultBidiState = currentBidiState;
    altBuffer_->defaultBidiState = currentBidiState;
    applyCurrentBidiStateAtParagraphStart(changed);
    updateFullScreen();
}

// ---- DECRQM -----------------------------------------------------------------------------------

int Terminal::ansiModeValue(int mode) const
{
    switch (mode) {
    // Modes whose set and reset change nothing report the state they are stuck in.
    case 1:
    case 2:
    case 3: return 4;
    case 4: return insertMode ? 1 : 2;
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
    case 8: return currentBidiState.supportMode == BidiSupportMode::implicit ? 1 : 2;
    case 12: return 3;
    case 20: return lineFeedMode ? 1 : 2;
    default: return 0;
    }
}

int Terminal::decModeValue(int mode) const
{
    auto flag = [](bool on) { return on ? 1 : 2; };
    switch (mode) {
    case 1: return flag(applicationCursor);
    case 2: return 1;
    case 3: return flag(buffer_->cols() == 132);
    case 4: return flag(smoothScroll);
    case 5: return flag(curAttr == kReverseVideoAttribute);
    case 6: return flag(originMode);
    case 7: return flag(wraparound);
    case 8: return 3; // keys repeat whatever the child asks
    case 9: return flag(mouseMode_ == MouseMode::x10);
    case 10: return 4;
    case 12: return flag(cursorBlink);
    // Modes whose set and reset change nothing report the state they are stuck in; without a
    // printer the print modes (18, 19) are permanently reset.
    case 13:
    case 14:
    case 18:
    case 19:
    case 30:
    case 41: return 4;
    case 25: return cursorHidden ? 2 : 1;
    case 40: return flag(allow80To132);
    case 42:
    case 44:
    case 46:
    case 67:
    case 80: return 4;
    case 45: return flag(reverseWraparound);
    case 47: return flag(isCurrentBufferAlternate());
    case 66: return flag(applicationKeypad);
    case 69: return flag(marginMode);
    case 95: return flag(keepScreenOnColumnSwitch);
    case 1000: return flag(mouseMode_ == MouseMode::vt200);
    case 1001: return 4;
    case 1002: return flag(mouseMode_ == MouseMode::buttonEventTracking);
    case 1003: return flag(mouseMode_ == MouseMode::anyEvent);
    case 1004: return flag(sendFocus);
    case 1005: return flag(mouseProtocol == MouseProtocolEncoding::utf8);
    case 1006: return flag(mouseProtocol == MouseProtocolEncoding::sgr);
    case 1015: return flag(mouseProtocol == MouseProtocolEncoding::urxvt);
    case 1016: return flag(mouseProtocol == MouseProtocolEncoding::sgrPixel);
    case 1034: return 4;
    case 1243: return flag(bidiArrowKeySwap);
    case 2004: return flag(bracketedPasteMode);
    case 2026: return flag(synchronizedOutputActive_);
    case 2500: return flag(currentBidiState.boxMirroring);
    case 2501: return flag(currentBidiState.autodetectDirection);
    default: return 0; // 63, 1047, 1048, 1049 and every unknown mode
    }
}

void Terminal::cmdDecRqm(Params pars, bool decMode)
{
    std::string reply = cc.send8bit ? "\x9b" : "\x1b[";
    // The parser hands a lone 0 for "no parameter"; mode 0 does not exist, so both read as none.
    if (pars.empty() || (pars.size() == 1 && pars[0] == 0)) {
        sendResponse(reply + ";0$y");
        return;
    }
    // The mode number is re-formatted from the parsed value, never copied from the request.
    const int mode = pars[0];
    if (decMode) reply += '?';
    reply += std::to_string(mode) + ';' + std::to_string(decMode ? decModeValue(mode) : ansiModeValue(mode)) + "$y";
    sendResponse(reply);
}

// ---- XTSAVE / XTRESTORE -----------------------------------------------------------------------

void Terminal::cmdSavePrivateModes(Params pars)
{
    for (int32_t par : pars) {
        switch (par) {
        case 1243: savedBidiPrivateModes[par] = bidiArrowKeySwap; break;
        case 2500: savedBidiPrivateModes[par] = currentBidiState.boxMirroring; break;
        case 2501: savedBidiPrivateModes[par] = currentBidiState.autodetectDirection; break;
        default: break;
        }
    }
}

void Terminal::cmdRestoreBidiPrivateModes(Params pars)
{
    BidiStateProperties restored;
    for (int32_t par : pars) {
        auto it = savedBidiPrivateModes.find(par);
        if (it == savedBidiPrivateModes.end()) continue;
        switch (par) {
        case 1243: bidiArrowKeySwap = it->second; break;
        case 2500:
            currentBidiState.boxMirroring = it->second;
            restored.insert(BidiStateProperty::boxMirroring);
            break;
        case 2501:
            currentBidiState.autodetectDirection = it->second;
            restored.insert(BidiStateProperty::autodetectDirection);
            break;
        default: break;
        }
    }
    if (!restored.empty()) applyBidiUpdate(restored);
}

// ---- CSI ... p --------------------------------------------------------------------------------

void Terminal::csiPHandler(Params pars, Bytes collect)
{
    if (collect.size() == 1 && collect[0] == '!') {
        softReset();
        return;
    }
    if (collect.size() == 1 && collect[0] == '"') {
        if (pars.empty()) return;
        switch (pars[0]) {
        case 61:
            conformance = TerminalConformance::vt100;
            cc.send8bit = false;
            return;
        case 62: conformance = TerminalConformance::vt200; break;
        case 63: conformance = TerminalConformance::vt300; break;
        case 64: conformance = TerminalConformance::vt400; break;
        default: conformance = TerminalConformance::vt500; break;
        }
        if (pars.size() > 1) cc.send8bit = pars[1] == 0 || pars[1] == 2;
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
    if (silentLog) return;
    std::string bytes;
    for (uint8_t b : collect) bytes += std::to_string(b);
    logInfo("Unhandled CSI " + bytes + " with pars=" + paramList(pars));
}

// ---- DECSTR -----------------------------------------------------------------------------------

void Terminal::softReset()
{
    currentBidiState = options.initialBidiState;
    applyBidiUpdate(allBidiStateProperties());
    bidiArrowKeySwap = options.initialBidiArrowKeySwap;
    savedBidiPrivateModes.clear();

    cursorHidden = false;
    originMode = false;
    // Insert mode goes off on the buffers too: printing reads the buffers' flag, so leaving it set
    // would keep inserting while the mode report says reset.
    insertMode = normalBuffer_->insertMode = altBuffer_->insertMode = false;
    wraparound = normalBuffer_->wraparound = altBuffer_->wraparound = true;
    reverseWraparound = false;
    resetMarginMode();
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

    resetAllColors();

    if (tdel) tdel->showCursor(*this);
}

// ---- DECSCUSR ---------------------------------------------------------------------------------

void Terminal::cmdSetCursorStyle(Params pars, Bytes collect)
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

void Terminal::setCursorStyle(CursorStyle style)
{
    if (style == options.cursorStyle) return;
    if (tdel) tdel->cursorStyleChanged(*this, style);
    options.cursorStyle = style;
}

} // namespace corvix
