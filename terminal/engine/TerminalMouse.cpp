// Mouse and focus reports (not built yet).
#include "terminal/engine/Terminal.hpp"

namespace corvix {

void Terminal::sendEvent(int buttonFlags, int x, int y, int pixelX, int pixelY)
{
}

} // namespace corvix
