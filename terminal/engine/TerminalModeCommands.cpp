// Mode sequences, mode reports, soft reset, cursor style (not built yet).
#include "terminal/engine/Terminal.hpp"

namespace corvix {

void Terminal::cmdSetMode(Params pars, Bytes collect)
{
}

void Terminal::cmdResetMode(Params pars, Bytes collect)
{
}

void Terminal::csiPHandler(Params pars, Bytes collect)
{
}

void Terminal::cmdSetCursorStyle(Params pars, Bytes collect)
{
}

void Terminal::setCursorStyle(CursorStyle style)
{
}

void Terminal::cmdSavePrivateModes(Params pars)
{
}

void Terminal::cmdRestoreBidiPrivateModes(Params pars)
{
}

void Terminal::softReset()
{
}

} // namespace corvix
