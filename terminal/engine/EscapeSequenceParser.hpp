#pragma once

#include "terminal/engine/DcsHandler.hpp"
#include "terminal/engine/ParserHandler.hpp"
#include "terminal/engine/ParserState.hpp"
#include "terminal/engine/TransitionTable.hpp"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <unordered_map>
#include <vector>

namespace corvix {

// Turns the bytes a child program writes into calls on the terminal: print runs, controls, ESC,
// CSI, OSC, APC and DCS sequences. A table-driven state machine after the DEC VT500 diagram; it
// keeps its state between calls, so input may be split anywhere. Not thread-safe.
class EscapeSequenceParser {
public:
    using OscHandler = std::function<void(std::span<const uint8_t> data)>;

    static constexpr int kMaxParameters = 24;        // sub-parameters included
    static constexpr int32_t kMaxParameterValue = 65535;
    static constexpr size_t kMaxCollect = 4;         // private prefix and intermediates
    // What a program can make the parser (or a DCS handler) hold for one string. Past the bound
    // the string is abandoned. Image and clipboard payloads get the larger bound.
    static constexpr size_t kMaxStringLength = size_t{8} << 20;
    static constexpr size_t kMaxLargeStringLength = size_t{64} << 20; // OSC 52, OSC 1337, APC G
    static constexpr size_t kMaxDcsLength = size_t{64} << 20;
    // A string buffer that grew past this is released when its string ends.
    static constexpr size_t kKeptStringCapacity = size_t{64} << 10;

    // `terminal` is not owned and may be null: then only the default handler bodies run.
    explicit EscapeSequenceParser(ParserHandler* terminal = nullptr);
    EscapeSequenceParser(const EscapeSequenceParser&) = delete;
    EscapeSequenceParser& operator=(const EscapeSequenceParser&) = delete;

    // Runs the machine over one chunk. Print runs and DCS data are handed on as slices of
    // `data`, never copied. Returns the bytes taken: all of them, unless a handler deferred a
    // string (deferString), when the chunk stops at that string's terminator.
    size_t parse(std::span<const uint8_t> data);
    // The same with the calls on `handler`, the parser's own, bound statically (the terminal's
    // feed). Defined in EscapeSequenceParserLoop.hpp.
    template <class Handler>
    size_t parse(Handler& handler, std::span<const uint8_t> data);

    // Called by the handler of an OSC or APC string while it runs: the string is kept, the
    // parse stops before its terminator, and the string is handed over again when parsing goes
    // on from there (the caller passes the rest of the chunk later).
    void deferString() { stringDeferred_ = true; }

    // Back to the initial state; an unfinished DCS string is dropped without unhook.
    void reset();

    static TransitionTable buildVt500TransitionTable();
    // The decimal value of the bytes, or none when empty, not all digits, or past int64.
    static std::optional<int64_t> parseDecimal(std::span<const uint8_t> bytes);

    // Handlers by OSC code; they take precedence over the terminal's own OSC commands.
    std::unordered_map<int64_t, OscHandler> oscHandlers;

    // Memory held for OSC and APC strings (in progress or kept for reuse), for bound checks.
    size_t stringBufferBytes() const { return _osc.capacity() + _apc.capacity(); }

    ParserState initialState = ParserState::ground;
    ParserState currentState = ParserState::ground;

private:
    ParserHandler& handler();

    template <class Handler>
    size_t parseChunk(Handler& h, std::span<const uint8_t> data);
    static bool profilingEnabled();
    static void logProfile(size_t bytes, std::chrono::steady_clock::duration elapsed);
    size_t addParams(const uint8_t* bytes, size_t i, size_t length);
    void addParam(uint8_t code);
    void addCollect(uint8_t code);
    size_t putString(ParserState state, const uint8_t* bytes, size_t i, size_t length);
    void appendString(std::vector<uint8_t>& buffer, ParserState state, const uint8_t* bytes,
                      size_t count);
    bool carriesLargePayload(const std::vector<uint8_t>& buffer, ParserState state,
                             const uint8_t* bytes, size_t count) const;
    void endString(ParserState state, uint8_t code);
    void releaseLargeStringBuffers();
    void dispatchOsc(int64_t code, std::span<const uint8_t> data);
    void hookDcs(uint8_t code);
    void putDcs(std::span<const uint8_t> data);
    // Inline: they run for every sequence.
    void clearParameters()
    {
        _pars[0] = 0;
        parameterCount_ = 1;
        collectLength_ = 0;
        parameterLimitExceeded_ = false;
        collectLimitExceeded_ = false;
    }
    void clearSequence()
    {
        _osc.clear();
        _apc.clear();
        clearParameters();
        stringAbandoned_ = false;
        stringLimit_ = kMaxStringLength;
    }
    bool sequenceDropped() const { return parameterLimitExceeded_ || collectLimitExceeded_; }

    std::span<const int32_t> pars() const
    {
        return {_pars.data(), static_cast<size_t>(parameterCount_)};
    }
    std::span<const uint8_t> parsTxt() const
    {
        return {_parsTxt.data(), static_cast<size_t>(parameterCount_ - 1)};
    }
    std::span<const uint8_t> collect() const { return {_collect.data(), collectLength_}; }

    std::unique_ptr<DcsHandler> activeDcsHandler;
    ParserHandler* terminal;
    std::vector<uint8_t> _osc;
    std::vector<uint8_t> _apc;
    bool stringDeferred_ = false;
    std::array<int32_t, kMaxParameters> _pars{};
    int parameterCount_ = 1;
    // The separator that opened each element after the first.
    std::array<uint8_t, kMaxParameters - 1> _parsTxt{};
    std::array<uint8_t, kMaxCollect> _collect{};
    size_t collectLength_ = 0;
    bool parameterLimitExceeded_ = false;
    bool collectLimitExceeded_ = false;
    bool stringAbandoned_ = false;           // the OSC or APC string passed its bound
    size_t stringLimit_ = kMaxStringLength;  // bound of the OSC or APC string in progress
    size_t dcsLength_ = 0;                   // bytes handed to the active DCS handler so far
    const TransitionTable& table;
};

} // namespace corvix
