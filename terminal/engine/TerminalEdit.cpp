// Insert, delete and scroll commands (not built yet).
#include "terminal/engine/Terminal.hpp"

namespace corvix {

void Terminal::cmdInsertChars(Params pars, Bytes collect)
{
}

void Terminal::cmdDeleteChars(Params pars, Bytes collect)
{
}

void Terminal::cmdInsertLines(Params pars, Bytes collect)
{
}

void Terminal::cmdDeleteLines(Params pars, Bytes collect)
{
}

void Terminal::cmdScrollUp(Params pars, Bytes collect)
{
}

void Terminal::cmdScrollDown(Params pars)
{
}

void Terminal::cmdRepeatPrecedingCharacter(Params pars, Bytes collect)
{
}

void Terminal::cmdDeleteColumns(Params pars, Bytes collect)
{
}

void Terminal::csiCloseBrace(Params pars, Bytes collect)
{
}

} // namespace corvix
