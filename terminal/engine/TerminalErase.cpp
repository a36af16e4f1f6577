// Erase in display, in line, and erase characters (not built yet).
#include "terminal/engine/Terminal.hpp"

namespace corvix {

void Terminal::cmdEraseInDisplay(Params pars, Bytes collect)
{
}

void Terminal::cmdEraseInLine(Params pars, Bytes collect)
{
}

void Terminal::cmdEraseChars(Params pars, Bytes collect)
{
}

} // namespace corvix
