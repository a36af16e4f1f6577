// Palette and colour commands (not built yet).
#include "terminal/engine/Terminal.hpp"

namespace corvix {

void Terminal::oscChangeOrQueryColorIndex(Bytes data)
{
}

void Terminal::oscSetColors(Bytes data, int startAt)
{
}

void Terminal::oscResetColor(Bytes data)
{
}

} // namespace corvix
