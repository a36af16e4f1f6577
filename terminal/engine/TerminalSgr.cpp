// Character attributes (not built yet).
#include "terminal/engine/Terminal.hpp"

namespace corvix {

void Terminal::cmdCsiM(Params pars, Bytes collect)
{
}

} // namespace corvix
