// The parser's calls on the terminal: fixed tables from a finished control, ESC, CSI, OSC or
// DCS sequence to the terminal operation that carries it out, and the fallbacks that log what
// no table handles.
#include "terminal/engine/Terminal.hpp"
#include "terminal/engine/TerminalEditCommands.hpp"
#include "terminal/engine/TerminalKittyKeyboard.hpp"
#include "terminal/engine/TerminalModeCommands.hpp"
#include "terminal/engine/TerminalLineModes.hpp"
#include "terminal/engine/RectangularAreas.hpp"
#include "terminal/engine/TerminalColors.hpp"
#include "terminal/engine/TerminalOsc.hpp"
#include "terminal/engine/TerminalReports.hpp"

#include "terminal/engine/CharSets.hpp"
#include "terminal/graphics/SixelDecoder.hpp"
#include "terminal/screen/Utf8.hpp"

#include <algorithm>
#include <string>

namespace corvix {

namespace {

// UTF-8 text of an OSC argument; the empty string when it is not valid UTF-8.
std::string oscText(std::span<const uint8_t> data)
{
    std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
    return Utf8::isValid(text) ? std::string(text) : std::string();
}


const char* stateName(ParserState s)
{
    static constexpr const char* names[] = {
        "ground",          "escape",         "escapeIntermediate", "csiEntry",        "csiParam",
        "csiIntermediate", "csiIgnore",      "sosPmApcString",     "oscString",       "apcString",
        "dcsEntry",        "dcsParam",       "dcsIgnore",          "dcsIntermediate", "dcsPassthrough",
    };
    auto i = size_t(s);
    return i < std::size(names) ? names[i] : "?";
}

} // namespace

// ---- C0 and C1 controls -----------------------------------------------------------------------

void Terminal::dispatchExecute(uint8_t code)
{
    endJoinableText();
    Buffer& b = *buffer_;
    switch (code) {
    case 0x07:
        if (tdel) tdel->bell(*this);
        break;
    case 0x08: cursorCommands_.cmdBackspace(); break;
    case 0x09: {
        b.settleWrap();
        int t = b.nextTabStop(marginMode, -1);
        if (t >= 0) b.setX(t);
        break;
    }
    case 0x0A:
    case 0x0B:
    case 0x0C: cursorCommands_.cmdLineFeedBasic(); break;
    case 0x0D: cursorCommands_.cmdCarriageReturn(); break;
    case 0x0E: setgLevel(1); break;
    case 0x0F: setgLevel(0); break;
    case 0x84: cursorCommands_.cmdIndex(); break;
    case 0x85:
        // NEL: the index is decided at the cursor's column, as IND decides it, and only then
        // does the cursor return.
        cursorCommands_.cmdIndex();
        cursorCommands_.cmdCarriageReturn();
        break;
    case 0x88: b.tabSet(b.x()); break;
    default: break;
    }
}

// ---- ESC sequences ----------------------------------------------------------------------------

void Terminal::dispatchEsc(std::span<const uint8_t> collect, uint8_t code)
{
    endJoinableText();
    Buffer& b = *buffer_;
    if (collect.empty()) {
        switch (code) {
        case '6':
            if (b.x() != b.marginLeft())
                cursorCommands_.cursorBackward(1);
            else
                cursorCommands_.columnScroll(true, b.x());
            return;
        case '7': cursorCommands_.cmdSaveCursor({}, {}); return;
        case '8': cursorCommands_.cmdRestoreCursor({}, {}); return;
        case '9': cursorCommands_.columnIndex(false); return;
        case '=': applicationKeypad = true; return;
        case '>': applicationKeypad = false; return;
        case 'D': cursorCommands_.cmdIndex(); return;
        case 'E':
            cursorCommands_.cmdIndex(); // NEL, as the C1 control above
            cursorCommands_.cmdCarriageReturn();
            return;
        case 'H': b.tabSet(b.x()); return;
        case 'M': cursorCommands_.reverseIndex(); return;
        case '\\': return;
        case 'c':
            parser_->reset();
            resetToInitialState();
            collectUnusedCodes(); // the cells are blank: the code tables can be emptied
            return;
        case 'n':
        case '}': setgLevel(2); return;
        case 'o':
        case '|': setgLevel(3); return;
        case '~': setgLevel(1); return;
        default: break;
        }
    } else if (collect.size() == 1) {
        switch (collect[0]) {
        case '(':
        case ')':
        case '*':
        case '+':
        case '-':
        case '.':
        case '/':
            if (CharSets::find(code)) {
                const uint8_t designation[2] = {collect[0], code};
                selectCharset(designation);
                return;
            }
            break;
        case '#':
            switch (code) {
            case '3': TerminalLineModes(*this).setLineRenderMode(BufferLine::RenderLineMode::doubledTop); return;
            case '4': TerminalLineModes(*this).setLineRenderMode(BufferLine::RenderLineMode::doubledDown); return;
            case '5': TerminalLineModes(*this).setLineRenderMode(BufferLine::RenderLineMode::single); return;
            case '6': TerminalLineModes(*this).setLineRenderMode(BufferLine::RenderLineMode::doubleWidth); return;
            case '8': TerminalLineModes(*this).cmdScreenAlignmentPattern(); return;
            default: break;
            }
            break;
        case '%':
            if (code == '@' || code == 'G') {
                setgLevel(0);
                setgCharset(0, nullptr);
                return;
            }
            break;
        case ' ':
            if (code == 'F') {
                cc.send8bit = false;
                return;
            }
            if (code == 'G') {
                cc.send8bit = true;
                return;
            }
            break;
        default: break;
        }
    }
    escHandlerFallback(collect, code);
}

// ---- CSI sequences ----------------------------------------------------------------------------

// Every final byte but 'm' (SGR, the most frequent by far, is taken before this).
void Terminal::dispatchCsiTable(uint8_t code, std::span<const int32_t> pars, std::span<const uint8_t> collect)
{
    endJoinableText();
    Buffer& b = *buffer_;
    const int p0 = pars.empty() ? 0 : pars[0];
    switch (code) {
    case '@': TerminalEditCommands(*this).cmdInsertChars(pars, collect); break;
    case 'A': cursorCommands_.cmdCursorUp(pars, collect); break;
    case 'B': cursorCommands_.cmdCursorDown(pars, collect); break;
    case 'C': cursorCommands_.cursorForward(p0 == 0 ? 1 : p0); break;
    case 'D': cursorCommands_.cursorBackward(p0 == 0 ? 1 : p0); break;
    case 'E':
        cursorCommands_.cmdCursorDown(pars, collect);
        b.setX(b.marginLeft());
        break;
    case 'F':
        cursorCommands_.cmdCursorUp(pars, collect);
        b.setX(b.marginLeft());
        break;
    case 'G': cursorCommands_.cmdCursorCharAbsolute(pars, collect); break;
    case 'H': cursorCommands_.cmdCursorPosition(pars, collect); break;
    case 'I': {
        int n = p0 < 2 ? 1 : p0;
        n = std::min(n, cols - 1);
        b.settleWrap();
        for (int i = 0; i < n; i++) {
            int t = b.nextTabStop(marginMode, -1);
            if (t >= 0) b.setX(t);
        }
        break;
    }
    case 'J':
        TerminalEditCommands(*this).cmdEraseInDisplay(pars, collect);
        // The scroll-back is gone: give back the codes only it held.
        if (!pars.empty() && pars[0] == 3) collectUnusedCodes();
        break;
    case 'K': TerminalEditCommands(*this).cmdEraseInLine(pars, collect); break;
    case 'L': TerminalEditCommands(*this).cmdInsertLines(pars, collect); break;
    case 'M': TerminalEditCommands(*this).cmdDeleteLines(pars, collect); break;
    case 'P': TerminalEditCommands(*this).cmdDeleteChars(pars, collect); break;
    case 'S':
        if (collectIs(collect, " "))
            TerminalLineModes(*this).cmdSelectPresentationDirection(pars, collect);
        else
            TerminalEditCommands(*this).cmdScrollUp(pars, collect);
        break;
    case 'T':
        if (collect.empty()) {
            TerminalEditCommands(*this).cmdScrollDown(pars);
        } else if (collectIs(collect, ">")) {
            for (int32_t p : pars) {
                switch (p) {
                case 0: xtermTitleSetHex = false; break;
                case 1: xtermTitleQueryHex = false; break;
                case 2: xtermTitleSetUtf = false; break;
                case 3: xtermTitleQueryUtf = false; break;
                default: break;
                }
            }
        }
        break;
    case 'X': TerminalEditCommands(*this).cmdEraseChars(pars, collect); break;
    case 'Z':
        b.settleWrap();
        if (cols >= b.x()) {
            int n = std::min(p0 < 2 ? 1 : p0, b.cols());
            for (int i = 0; i < n; i++) {
                int t = b.previousTabStop(-1);
                if (t >= 0) b.setX(t);
            }
        }
        break;
    case '`': cursorCommands_.cmdCharPosAbsolute(pars, collect); break;
    case 'a': cursorCommands_.cmdHPositionRelative(pars, collect); break;
    case 'b': TerminalEditCommands(*this).cmdRepeatPrecedingCharacter(pars, collect); break;
    case 'c': TerminalReports(*this).cmdSendDeviceAttributes(pars, collect); break;
    case 'd': cursorCommands_.cmdLinePosAbsolute(pars, collect); break;
    case 'e': cursorCommands_.cmdVPositionRelative(pars, collect); break;
    case 'f': cursorCommands_.cmdHVPosition(pars, collect); break;
    case 'g': cursorCommands_.cmdTabClear(pars, collect); break;
    case 'h': TerminalModeCommands(*this).cmdSetMode(pars, collect); break;
    case 'k':
        if (collectIs(collect, " ")) cursorCommands_.cmdSelectCharacterPath(pars, collect);
        break;
    case 'l': TerminalModeCommands(*this).cmdResetMode(pars, collect); break;
    case 'n': TerminalReports(*this).cmdDeviceStatus(pars, collect); break;
    case 'p': TerminalModeCommands(*this).csiPHandler(pars, collect); break;
    case 'q': TerminalModeCommands(*this).cmdSetCursorStyle(pars, collect); break;
    case 'r':
        if (collectIs(collect, "?"))
            TerminalModeCommands(*this).cmdRestoreBidiPrivateModes(pars);
        else
            cursorCommands_.cmdSetScrollRegion(pars, collect);
        break;
    case 's':
        if (collectIs(collect, ">")) {
            if (p0 == 0)
                mouseShiftCapture = false;
            else if (p0 == 1)
                mouseShiftCapture = true;
        } else if (collectIs(collect, "?")) {
            TerminalModeCommands(*this).cmdSavePrivateModes(pars);
        } else if (collect.empty()) {
            if (marginMode)
                cursorCommands_.cmdSetMargins(pars, collect);
            else
                cursorCommands_.cmdSaveCursor(pars, collect);
        }
        break;
    case 't': TerminalReports(*this).csit(pars, collect); break;
    case 'u':
        if (!TerminalKittyKeyboard(*this).handle(pars, collect) && collect.empty()) cursorCommands_.cmdRestoreCursor(pars, collect);
        break;
    case 'v': RectangularAreas(*this).csiCopyRectangularArea(pars, collect); break;
    case 'x': RectangularAreas(*this).csiX(pars, collect); break;
    case 'y': RectangularAreas(*this).cmdDECRQCRA(pars, collect); break;
    case 'z': RectangularAreas(*this).csiZ(pars, collect); break;
    case '{': RectangularAreas(*this).csiOpenBrace(pars, collect); break;
    case '}': TerminalEditCommands(*this).csiCloseBrace(pars, collect); break;
    case '~': TerminalEditCommands(*this).cmdDeleteColumns(pars, collect); break;
    default: csiHandlerFallback(pars, collect, code); break;
    }
}

// ---- OSC strings ------------------------------------------------------------------------------

void Terminal::dispatchOsc(int64_t code, std::span<const uint8_t> data)
{
    switch (code) {
    case 0:
    case 2:
        TerminalOsc(*this).setTitle(oscText(data));
        break;
    case 1: TerminalOsc(*this).setIconTitle(oscText(data)); break;
    case 4: TerminalColors(*this).oscChangeOrQueryColorIndex(data); break;
    case 6: TerminalOsc(*this).oscSetCurrentDocument(data); break;
    case 7: TerminalOsc(*this).oscSetCurrentDirectory(data); break;
    case 8: TerminalOsc(*this).oscHyperlink(data); break;
    case 9:
        if (auto report = TerminalOsc(*this).parseProgressReport(data)) {
            if (tdel) tdel->progressReport(*this, *report);
        } else {
            oscHandlerFallback(9, data);
        }
        break;
    case 10:
    case 11:
    case 12: TerminalColors(*this).oscSetColors(data, int(code - 10)); break;
    case 52: TerminalOsc(*this).oscClipboard(data); break;
    case 104: TerminalColors(*this).oscResetColor(data); break;
    case 112:
        if (tdel) tdel->setCursorColor(*this, std::nullopt);
        break;
    case 777: TerminalOsc(*this).oscNotification(data); break;
    case 1337: TerminalOsc(*this).osciTerm2(data); break;
    default: oscHandlerFallback(code, data); break;
    }
}

// ---- DCS strings ------------------------------------------------------------------------------

namespace {

// A Sixel string: gathered and decoded by graphics' decoder, the bitmap handed to the delegate.
class SixelDcsHandler final : public DcsHandler {
public:
    // `terminal` is not owned and outlives the handler (the parser drops it first).
    explicit SixelDcsHandler(Terminal& terminal) : terminal_(terminal) {}

    void hook(std::span<const uint8_t>, std::span<const int32_t>, uint8_t) override { decoder_.begin(); }
    void put(std::span<const uint8_t> data) override { decoder_.put(data); }
    void unhook() override
    {
        TerminalDelegate* delegate = terminal_.delegate();
        if (!delegate) return;
        // Undefined registers take the generated palette, not the one the program may have changed.
        if (!decoder_.decode(terminal_.defaultAnsiColors)) return;
        delegate->createImageFromBitmap(terminal_, decoder_.pixels(), decoder_.width(), decoder_.height());
    }

private:
    Terminal& terminal_;
    SixelDecoder decoder_;
};

} // namespace

std::unique_ptr<DcsHandler> Terminal::createDcsHandler(std::span<const uint8_t> collect, uint8_t final)
{
    endJoinableText();
    if (final != 'q') return nullptr;
    if (collectIs(collect, "$")) return TerminalReports(*this).makeDecrqssHandler();
    if (collect.empty()) return std::make_unique<SixelDcsHandler>(*this);
    return nullptr;
}

// ---- Errors and fallbacks ---------------------------------------------------------------------

ParsingState Terminal::errorHandler(const ParsingState& state)
{
    if (!silentLog) {
        logInfo("Corvix: Parsing error, state: position=" + std::to_string(state.position) +
                " code=" + std::to_string(state.code) + " currentState=" + stateName(state.currentState) +
                " print=" + std::to_string(state.print) + " dcs=" + std::to_string(state.dcs) +
                " collect=" + decimalList(state.collect));
    }
    return state;
}

void Terminal::escHandlerFallback(std::span<const uint8_t> collect, uint8_t code)
{
    if (silentLog) return;
    logInfo(std::string("Corvix: Unknown ESC Code: ESC + ") + char(code) + " txt=" + decimalList(collect));
}

void Terminal::csiHandlerFallback(std::span<const int32_t> pars, std::span<const uint8_t> collect, uint8_t code)
{
    if (silentLog) return;
    logInfo("Corvix: Unknown CSI Code (collect=" + decimalList(collect) + " code=" + char(code) +
            " pars=" + decimalList(pars) + ")");
}

void Terminal::oscHandlerFallback(int64_t code, std::span<const uint8_t> data)
{
    if (silentLog) return;
    logInfo("Corvix: Unknown OSC code: " + std::to_string(code));
}

void Terminal::apcHandlerFallback(uint8_t letter, std::span<const uint8_t> data)
{
    if (silentLog) return;
    logInfo(std::string("Corvix: Unknown APC code: ") + char(letter));
}

} // namespace corvix
