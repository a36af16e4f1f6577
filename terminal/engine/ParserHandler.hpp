#pragma once

#include "terminal/engine/DcsHandler.hpp"
#include "terminal/engine/ParsingState.hpp"

#include <cstdint>
#include <memory>
#include <span>

namespace corvix {

// What the escape-sequence parser calls on its owner (the terminal). Every span points into the
// parser or into the caller's input and is valid only during the call.
//
// The default bodies are the behaviour of a parser without a terminal: the dispatch operations go
// straight to their fallbacks, which do nothing (except the CSI one, which writes a diagnostic
// line), no DCS handler is made and errors never abort.
class ParserHandler {
public:
    virtual ~ParserHandler() = default;

    // A run of printable bytes (UTF-8 text; C1 bytes in text are part of it).
    virtual void printHandler(std::span<const uint8_t> data) {}
    // A run the parser found to be printable ASCII only (0x20..0x7E): the same as printHandler,
    // for a handler that can skip looking at the bytes.
    virtual void printAsciiHandler(std::span<const uint8_t> data) { printHandler(data); }
    // The parser cleared or ended a sequence: a partial UTF-8 character held back by the print
    // path must be dropped.
    virtual void printStateReset() {}

    // A C0 control, or a C1 control met outside the ground state.
    virtual void dispatchExecute(uint8_t code) {}
    // A complete CSI sequence. `pars` has at least one element (an omitted parameter is 0);
    // `parsTxt` holds the separator (';' or ':') that introduced each element after the first.
    virtual void dispatchCsi(uint8_t code, std::span<const int32_t> pars,
                             std::span<const uint8_t> parsTxt, std::span<const uint8_t> collect)
    {
        csiHandlerFallback(pars, collect, code);
    }
    virtual void dispatchEsc(std::span<const uint8_t> collect, uint8_t code)
    {
        escHandlerFallback(collect, code);
    }
    // An OSC string whose code no handler in the parser's `oscHandlers` took.
    virtual void dispatchOsc(int64_t code, std::span<const uint8_t> data)
    {
        oscHandlerFallback(code, data);
    }
    // An APC string whose command letter is 'G'; `data` is what follows the letter.
    virtual void handleKittyGraphics(std::span<const uint8_t> data)
    {
        apcHandlerFallback('G', data);
    }
    // The handler for a DCS string that starts now, or none to consume and drop the string. The
    // terminal gives a Sixel handler for final 'q' without intermediates and a status-string
    // request handler for the single intermediate '$' with final 'q'.
    virtual std::unique_ptr<DcsHandler> createDcsHandler(std::span<const uint8_t> collect,
                                                         uint8_t final)
    {
        return nullptr;
    }
    // Malformed input; the parser goes on unless the returned record has `abort` set.
    virtual ParsingState errorHandler(const ParsingState& state) { return state; }

    virtual void escHandlerFallback(std::span<const uint8_t> collect, uint8_t code) {}
    virtual void csiHandlerFallback(std::span<const int32_t> pars,
                                    std::span<const uint8_t> collect, uint8_t code);
    virtual void oscHandlerFallback(int64_t code, std::span<const uint8_t> data) {}
    virtual void apcHandlerFallback(uint8_t letter, std::span<const uint8_t> data) {}
};

} // namespace corvix
