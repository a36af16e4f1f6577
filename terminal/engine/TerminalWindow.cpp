// Window operations (not built yet).
#include "terminal/engine/Terminal.hpp"

namespace corvix {

void Terminal::csit(Params pars, Bytes collect)
{
}

} // namespace corvix
