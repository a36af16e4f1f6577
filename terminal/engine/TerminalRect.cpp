// Rectangular area operations (not built yet).
#include "terminal/engine/Terminal.hpp"

namespace corvix {

void Terminal::csiCopyRectangularArea(Params pars, Bytes collect)
{
}

void Terminal::csiX(Params pars, Bytes collect)
{
}

void Terminal::cmdDECRQCRA(Params pars, Bytes collect)
{
}

void Terminal::csiZ(Params pars, Bytes collect)
{
}

void Terminal::csiOpenBrace(Params pars, Bytes collect)
{
}

} // namespace corvix
