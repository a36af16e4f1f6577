// Device reports and responses (not built yet).
#include "terminal/engine/Terminal.hpp"

namespace corvix {

void Terminal::cmdSendDeviceAttributes(Params pars, Bytes collect)
{
}

void Terminal::cmdDeviceStatus(Params pars, Bytes collect)
{
}

std::unique_ptr<DcsHandler> Terminal::makeDecrqssHandler()
{
    return nullptr;
}

} // namespace corvix
