#include "terminal/engine/EscapeSequenceParserLoop.hpp"

#include "terminal/screen/Log.hpp"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>


namespace corvix {

namespace {

using S = ParserState;
using A = ParserAction;

constexpr uint8_t kBel = 0x07;
constexpr uint8_t kCan = 0x18;
constexpr uint8_t kSub = 0x1A;
constexpr uint8_t kEsc = 0x1B;

constexpr S kAllStates[] = {
    S::ground,         S::escape,    S::escapeIntermediate, S::csiEntry,  S::csiParam,
    S::csiIntermediate, S::csiIgnore, S::sosPmApcString,     S::oscString, S::apcString,
    S::dcsEntry,       S::dcsParam,  S::dcsIgnore,          S::dcsIntermediate,
    S::dcsPassthrough,
};

const TransitionTable& sharedTable()
{
    static const TransitionTable table = EscapeSequenceParser::buildVt500TransitionTable();
    return table;
}

} // namespace

TransitionTable EscapeSequenceParser::buildVt500TransitionTable()
{
    TransitionTable t;
    auto r = [&](int low, int high, S state, A action, S next) {
        t.addRange(low, high, state, action, next);
    };
    auto rinclusive = [](S low, S high) {
        std::vector<S> states;
        for (int s = static_cast<int>(low); s <= static_cast<int>(high); ++s) {
            states.push_back(static_cast<S>(s));
        }
        return states;
    };
    auto executables = [&](S state, A action, S next) {
        r(0x00, 0x19, state, action, next);
        r(0x1C, 0x20, state, action, next);
    };

    // Anything without a rule is an error.
    for (S state : kAllStates) {
        r(0x00, TransitionTable::kHighSlot + 1, state, A::error, S::ground);
    }
    r(0x20, 0x7F, S::ground, A::print, S::ground);

    // Controls that act in every state.
    for (S state : kAllStates) {
        t.addMany({0x18, 0x1A, 0x99, 0x9A}, state, A::execute, S::ground);
        r(0x80, 0x90, state, A::execute, S::ground);
        r(0x90, 0x98, state, A::execute, S::ground);
        t.add(0x9C, state, A::ignore, S::ground);
        t.add(kEsc, state, A::clear, S::escape);
        t.add(0x9D, state, A::oscStart, S::oscString);
        t.addMany({0x98, 0x9E}, state, A::ignore, S::sosPmApcString);
        t.add(0x9F, state, A::oscStart, S::apcString);
        t.add(0x9B, state, A::clear, S::csiEntry);
        t.add(0x90, state, A::clear, S::dcsEntry);
    }

    for (S state : rinclusive(S::ground, S::csiIgnore)) {
        executables(state, A::execute, state);
    }
    for (S state :
         {S::escape, S::escapeIntermediate, S::csiEntry, S::csiParam, S::csiIntermediate}) {
        t.add(0x7F, state, A::ignore, state);
    }

    // ESC sequences.
    t.add(kEsc, S::escape, A::clear, S::escape);
    r(0x20, 0x30, S::escape, A::collect, S::escapeIntermediate);
    r(0x30, 0x7F, S::escape, A::escDispatch, S::ground);
    t.add('P', S::escape, A::clear, S::dcsEntry);
    t.addMany({'X', '^'}, S::escape, A::ignore, S::sosPmApcString);
    t.add('[', S::escape, A::clear, S::csiEntry);
    t.add(']', S::escape, A::oscStart, S::oscString);
    t.add('_', S::escape, A::oscStart, S::apcString);
    r(0x20, 0x30, S::escapeIntermediate, A::collect, S::escapeIntermediate);
    r(0x30, 0x7F, S::escapeIntermediate, A::escDispatch, S::ground);

    // CSI sequences.
    r(0x20, 0x30, S::csiEntry, A::collect, S::csiIntermediate);
    r('0', '9' + 1, S::csiEntry, A::param, S::csiParam);
    t.add(';', S::csiEntry, A::param, S::csiParam);
    r('<', '?' + 1, S::csiEntry, A::collect, S::csiParam);
    r(0x40, 0x7F, S::csiEntry, A::csiDispatch, S::ground);

    r(0x20, 0x30, S::csiParam, A::collect, S::csiIntermediate);
    r('0', ';' + 1, S::csiParam, A::param, S::csiParam); // digits, ':' and ';'
    r('<', '?' + 1, S::csiParam, A::ignore, S::csiIgnore);
    r(0x40, 0x7F, S::csiParam, A::csiDispatch, S::ground);

    r(0x20, 0x30, S::csiIntermediate, A::collect, S::csiIntermediate);
    r(0x30, 0x40, S::csiIntermediate, A::ignore, S::csiIgnore);
    r(0x40, 0x7F, S::csiIntermediate, A::csiDispatch, S::ground);

    r(0x20, 0x40, S::csiIgnore, A::ignore, S::csiIgnore);
    t.add(0x7F, S::csiIgnore, A::ignore, S::csiIgnore);
    r(0x40, 0x7F, S::csiIgnore, A::ignore, S::ground);

    // SOS and PM strings: their content is ignored. Bytes 0x80 and up are content too (UTF-8
    // text), so only ESC, SUB or an error ends them; 0x9C would be a continuation byte.
    executables(S::sosPmApcString, A::ignore, S::sosPmApcString);
    r(0x20, 0x80, S::sosPmApcString, A::ignore, S::sosPmApcString);
    r(0x80, TransitionTable::kHighSlot + 1, S::sosPmApcString, A::ignore, S::sosPmApcString);

    // OSC and APC strings. Every byte from 0x80 up is string data wherever it falls (UTF-8
    // continuation bytes include 0x80-0x9F), so 8-bit ST does not end a string; BEL, CAN, SUB and
    // ESC do. Other C0 bytes, EM included, are dropped, as the sweep in putString drops them.
    for (S state : {S::oscString, S::apcString}) {
        executables(state, A::ignore, state);
        t.add(0x19, state, A::ignore, state);
        r(0x20, TransitionTable::kHighSlot + 1, state, A::oscPut, state);
        t.addMany({kBel, kCan, kSub}, state, A::oscEnd, S::ground);
        t.add(kEsc, state, A::oscEnd, S::escape);
    }

    // DCS introducer.
    for (S state : {S::dcsEntry, S::dcsParam, S::dcsIntermediate}) {
        executables(state, A::ignore, state);
        t.add(0x7F, state, A::ignore, state);
        r(0x20, 0x30, state, A::collect, S::dcsIntermediate);
        r(0x40, 0x7F, state, A::dcsHook, S::dcsPassthrough);
    }
    r('0', '9' + 1, S::dcsEntry, A::param, S::dcsParam);
    t.add(';', S::dcsEntry, A::param, S::dcsParam);
    t.add(':', S::dcsEntry, A::ignore, S::dcsIgnore);
    r('<', '?' + 1, S::dcsEntry, A::collect, S::dcsParam);
    r('0', '9' + 1, S::dcsParam, A::param, S::dcsParam);
    t.add(';', S::dcsParam, A::param, S::dcsParam);
    t.add(':', S::dcsParam, A::ignore, S::dcsIgnore);
    r('<', '?' + 1, S::dcsParam, A::ignore, S::dcsIgnore);
    r(0x30, 0x40, S::dcsIntermediate, A::ignore, S::dcsIgnore);

    executables(S::dcsIgnore, A::ignore, S::dcsIgnore);
    r(0x20, 0x80, S::dcsIgnore, A::ignore, S::dcsIgnore);

    // DCS data.
    executables(S::dcsPassthrough, A::dcsPut, S::dcsPassthrough);
    r(0x20, 0x7F, S::dcsPassthrough, A::dcsPut, S::dcsPassthrough);
    t.add(0x7F, S::dcsPassthrough, A::ignore, S::dcsPassthrough);
    t.add(kEsc, S::dcsPassthrough, A::dcsUnhook, S::escape);
    t.add(0x9C, S::dcsPassthrough, A::dcsUnhook, S::ground);

    // Bytes from 0xA0 up: text in ground, skipped while ignoring a CSI or DCS, data inside a DCS
    // string. (Ground never reaches the table for them: its print loop takes them first.)
    t.add(TransitionTable::kHighSlot, S::ground, A::print, S::ground);
    t.add(TransitionTable::kHighSlot, S::csiIgnore, A::ignore, S::csiIgnore);
    t.add(TransitionTable::kHighSlot, S::dcsIgnore, A::ignore, S::dcsIgnore);
    t.add(TransitionTable::kHighSlot, S::dcsPassthrough, A::dcsPut, S::dcsPassthrough);
    return t;
}

std::optional<int64_t> EscapeSequenceParser::parseDecimal(std::span<const uint8_t> bytes)
{
    if (bytes.empty()) {
        return std::nullopt;
    }
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    int64_t value = 0;
    for (uint8_t byte : bytes) {
        const int digit = byte - '0';
        if (digit < 0 || digit > 9 || value > (kMax - digit) / 10) {
            return std::nullopt;
        }
        value = value * 10 + digit;
    }
    return value;
}

EscapeSequenceParser::EscapeSequenceParser(ParserHandler* terminal)
    : terminal(terminal)
    , table(sharedTable())
{
}

ParserHandler& EscapeSequenceParser::handler()
{
    static ParserHandler none;
    return terminal != nullptr ? *terminal : none;
}

void EscapeSequenceParser::reset()
{
    currentState = initialState;
    activeDcsHandler.reset();
    clearSequence();
    releaseLargeStringBuffers();
    handler().printStateReset();
}

size_t EscapeSequenceParser::parse(std::span<const uint8_t> data)
{
    return parse(handler(), data);
}

bool EscapeSequenceParser::profilingEnabled()
{
    static const bool enabled = [] {
        const char* value = std::getenv("CORVIX_PROFILE");
        return value != nullptr && std::strcmp(value, "1") == 0;
    }();
    return enabled;
}

void EscapeSequenceParser::logProfile(size_t bytes, std::chrono::steady_clock::duration elapsed)
{
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count();
    log::write(log::Category::parser, log::Level::debug,
               "ParserProfile: Parser.Parse " + std::to_string(bytes) + " bytes " + std::to_string(ns) + " ns");
}

void EscapeSequenceParser::addParam(uint8_t code)
{
    if (code >= '0' && code <= '9') {
        if (!parameterLimitExceeded_) {
            int32_t& value = _pars[static_cast<size_t>(parameterCount_ - 1)];
            value = parser_detail::addDigit(value, code - '0');
        }
        return;
    }
    // ';' or ':' opens a new element.
    if (parameterLimitExceeded_ || parameterCount_ == kMaxParameters) {
        parameterLimitExceeded_ = true;
        return;
    }
    _parsTxt[static_cast<size_t>(parameterCount_ - 1)] = code;
    _pars[static_cast<size_t>(parameterCount_)] = 0;
    ++parameterCount_;
}

void EscapeSequenceParser::addCollect(uint8_t code)
{
    if (collectLength_ == kMaxCollect) {
        collectLimitExceeded_ = true; // no real sequence has this many; drop it
        return;
    }
    _collect[collectLength_++] = code;
}

size_t EscapeSequenceParser::putString(S state, const uint8_t* bytes, size_t i, size_t length)
{
    std::vector<uint8_t>& buffer = state == S::apcString ? _apc : _osc;
    while (i < length) {
        const size_t end = parser_detail::scanText(bytes, i, length).end;
        if (end > i) {
            appendString(buffer, state, bytes + i, end - i);
        }
        i = end;
        if (i == length) {
            break;
        }
        const uint8_t code = bytes[i];
        if (code == kBel || code == kCan || code == kSub || code == kEsc) {
            break;
        }
        ++i; // other C0 bytes are dropped
    }
    return i;
}

void EscapeSequenceParser::appendString(std::vector<uint8_t>& buffer, S state,
                                        const uint8_t* bytes, size_t count)
{
    if (stringAbandoned_) {
        return;
    }
    if (count > stringLimit_ - buffer.size()) {
        if (stringLimit_ == kMaxStringLength && carriesLargePayload(buffer, state, bytes, count)) {
            stringLimit_ = kMaxLargeStringLength;
        }
        if (count > stringLimit_ - buffer.size()) {
            stringAbandoned_ = true;
            buffer.clear();
            releaseLargeStringBuffers();
            return;
        }
    }
    buffer.insert(buffer.end(), bytes, bytes + count);
}

// Whether the string (what the buffer holds followed by the new bytes) is an image or clipboard
// payload: APC "G", OSC 52 or OSC 1337. Looked at once per string, when it passes the normal bound.
bool EscapeSequenceParser::carriesLargePayload(const std::vector<uint8_t>& buffer, S state,
                                               const uint8_t* bytes, size_t count) const
{
    const size_t total = buffer.size() + count;
    auto at = [&](size_t j) { return j < buffer.size() ? buffer[j] : bytes[j - buffer.size()]; };
    if (state == S::apcString) {
        return total > 0 && at(0) == 'G';
    }
    int64_t code = 0;
    for (size_t j = 0; j < total; ++j) {
        const uint8_t byte = at(j);
        if (byte == ';') {
            return j > 0 && (code == 52 || code == 1337);
        }
        if (byte < '0' || byte > '9') {
            return false;
        }
        code = std::min<int64_t>(code * 10 + (byte - '0'), 1'000'000);
    }
    return false;
}

void EscapeSequenceParser::endString(S state, uint8_t code)
{
    ParserHandler& h = handler();
    const bool dispatch = !stringAbandoned_ && code != kCan && code != kSub;
    if (state == S::apcString) {
        if (dispatch && !_apc.empty()) {
            const uint8_t letter = _apc[0];
            const std::span<const uint8_t> rest = std::span<const uint8_t>(_apc).subspan(1);
            if (letter == 'G') {
                h.handleKittyGraphics(rest);
            } else {
                h.apcHandlerFallback(letter, rest);
            }
        }
    } else if (dispatch && !_osc.empty()) {
        const std::span<const uint8_t> osc(_osc);
        const auto semicolon = std::find(osc.begin(), osc.end(), ';');
        const auto codeLength = static_cast<size_t>(semicolon - osc.begin());
        const std::span<const uint8_t> oscData =
            semicolon == osc.end() ? std::span<const uint8_t>() : osc.subspan(codeLength + 1);
        if (const auto oscCode = parseDecimal(osc.first(codeLength))) {
            dispatchOsc(*oscCode, oscData);
        }
    }
    // Kept whole for the next try.
    if (stringDeferred_) return;
    clearSequence();
    releaseLargeStringBuffers();
    h.printStateReset();
}

// A long image or clipboard string must not keep its memory for the parser's life; the usual
// short strings keep theirs for reuse.
void EscapeSequenceParser::releaseLargeStringBuffers()
{
    if (_osc.capacity() > kKeptStringCapacity) std::vector<uint8_t>().swap(_osc);
    if (_apc.capacity() > kKeptStringCapacity) std::vector<uint8_t>().swap(_apc);
}

void EscapeSequenceParser::dispatchOsc(int64_t code, std::span<const uint8_t> data)
{
    if (const auto found = oscHandlers.find(code); found != oscHandlers.end()) {
        found->second(data);
        return;
    }
    handler().dispatchOsc(code, data);
}

void EscapeSequenceParser::hookDcs(uint8_t code)
{
    activeDcsHandler.reset();
    if (sequenceDropped()) {
        return; // too many parameters or intermediates: the string is consumed and dropped
    }
    activeDcsHandler = handler().createDcsHandler(collect(), code);
    dcsLength_ = 0;
    if (activeDcsHandler) {
        activeDcsHandler->hook(collect(), pars(), code);
    }
    parameterLimitExceeded_ = false;
}

void EscapeSequenceParser::putDcs(std::span<const uint8_t> data)
{
    if (!activeDcsHandler || data.empty()) {
        return;
    }
    const size_t room = kMaxDcsLength - dcsLength_;
    if (data.size() <= room) {
        dcsLength_ += data.size();
        activeDcsHandler->put(data);
        return;
    }
    // Hand over exactly what fits, then abandon: the handler sees the same bytes wherever the
    // input was split.
    if (room > 0) {
        dcsLength_ = kMaxDcsLength;
        activeDcsHandler->put(data.first(room));
    }
    activeDcsHandler.reset();
}

} // namespace corvix
