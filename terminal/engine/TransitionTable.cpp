#include "terminal/engine/TransitionTable.hpp"

namespace corvix {

void TransitionTable::add(uint8_t code, ParserState state, ParserAction action, ParserState next)
{
    table[index(state, code)] = makeEntry(action, next);
}

void TransitionTable::addRange(int low, int high, ParserState state, ParserAction action,
                               ParserState next)
{
    for (int code = low; code < high; ++code) {
        add(static_cast<uint8_t>(code), state, action, next);
    }
}

void TransitionTable::addMany(std::initializer_list<uint8_t> codes, ParserState state,
                              ParserAction action, ParserState next)
{
    for (uint8_t code : codes) {
        add(code, state, action, next);
    }
}

} // namespace corvix
