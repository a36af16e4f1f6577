#pragma once

#include "terminal/engine/ParserAction.hpp"
#include "terminal/engine/ParserState.hpp"

#include <array>
#include <cstdint>
#include <initializer_list>

namespace corvix {

// The parser's flat transition table: entry = action << 4 | next state, indexed by
// state << 8 | min(byte, 0xA0). Every byte from 0xA0 up shares slot 0xA0, so only slots 0x00 to
// 0xA0 of each state are ever read. Built once per process and shared by every parser.
class TransitionTable {
public:
    static constexpr int kSize = 4095;
    static constexpr uint8_t kHighSlot = 0xA0;

    static constexpr int index(ParserState state, uint8_t code)
    {
        return static_cast<int>(state) << 8 | (code < kHighSlot ? code : kHighSlot);
    }

    uint8_t entry(ParserState state, uint8_t code) const { return table[index(state, code)]; }

    static constexpr ParserAction actionOf(uint8_t entry)
    {
        return static_cast<ParserAction>(entry >> 4);
    }
    static constexpr ParserState stateOf(uint8_t entry)
    {
        return static_cast<ParserState>(entry & 0x0F);
    }
    static constexpr uint8_t makeEntry(ParserAction action, ParserState next)
    {
        return static_cast<uint8_t>(static_cast<uint8_t>(action) << 4 | static_cast<uint8_t>(next));
    }

    // Sets one slot; a later call overwrites an earlier one.
    void add(uint8_t code, ParserState state, ParserAction action, ParserState next);
    // Sets the slots of every byte in [low, high) (empty when equal).
    void addRange(int low, int high, ParserState state, ParserAction action, ParserState next);
    void addMany(std::initializer_list<uint8_t> codes, ParserState state, ParserAction action,
                 ParserState next);

    std::array<uint8_t, kSize> table{};
};

} // namespace corvix
