// Designation (ESC ( F and its siblings) and invocation (SO, SI, LS2, ...) of character sets.
#include "terminal/engine/CharSets.hpp"

namespace corvix {

void CharacterSetState::setgLevel(int level)
{
    gLevel = uint8_t(level);
    charset = level >= 0 && size_t(level) < gCharsets.size() ? gCharsets[size_t(level)] : nullptr;
}

void CharacterSetState::setgCharset(int slot, const CharsetMap* set)
{
    if (slot < 0 || size_t(slot) >= gCharsets.size()) return;
    gCharsets[size_t(slot)] = set;
    if (slot == gLevel) charset = set;
}

void CharacterSetState::selectCharset(std::span<const uint8_t> designation)
{
    if (designation.size() != 2) {
        setgLevel(0);
        setgCharset(0, nullptr);
        return;
    }
    int slot;
    switch (designation[0]) {
    case '(': slot = 0; break;
    case ')':
    case '-': slot = 1; break;
    case '*':
    case '.': slot = 2; break;
    case '+':
    case '/': slot = 3; break;
    default: return;
    }
    setgCharset(slot, CharSets::find(designation[1]));
}

} // namespace corvix
