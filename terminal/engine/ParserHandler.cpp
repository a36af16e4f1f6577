#include "terminal/engine/ParserHandler.hpp"

#include "terminal/screen/Log.hpp"

#include <string>

namespace corvix {

void ParserHandler::csiHandlerFallback(std::span<const int32_t> pars,
                                       std::span<const uint8_t> collect, uint8_t code)
{
    log::write(log::Category::parser, log::Level::info, "Cannot handle ESC-" + std::to_string(code));
}

} // namespace corvix
