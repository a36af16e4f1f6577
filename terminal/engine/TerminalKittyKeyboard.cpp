// The Kitty keyboard flag stack (not built yet).
#include "terminal/engine/Terminal.hpp"

namespace corvix {

bool Terminal::handleKittyKeyboardProtocol(Params pars, Bytes collect)
{
    return false;
}

} // namespace corvix
